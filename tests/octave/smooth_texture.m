function v = smooth_texture(x, y)
  % smooth_texture(x, y): a smooth, random-looking texture at the positions (x, y), values about
  % -0.5 to 0.5: bumps of radius about 2 on a jittered grid of 4 units, from whole-number
  % arithmetic and divisions alone, so that every host computes the same bits.
  v = zeros(size(x));
  k = 0;
  for i = 0:17
    for j = 0:17
      k = k + 1;
      cx = 4 * i - 2 + mod(k * 37, 7) / 3;
      cy = 4 * j - 2 + mod(k * 53, 5) / 2;
      a = mod(k * 7919, 97) / 97 - 0.5;
      v = v + a ./ (1 + ((x - cx) .^ 2 + (y - cy) .^ 2) / 3);
    end
  end
end
