% patchcorr_demo: verifying a homography with patchcorr.
%
% Image Y is image X warped through a known homography H. Every point of a grid is scored with
% patchcorr under the true H and under a slightly wrong one: the true H scores near 1 almost
% everywhere, the wrong one does not. Prints a table and writes build/patchcorr_scores.png (the
% two score maps side by side, blue for -1 to red for +1, black where a score is undefined).
%
% Run after building the Octave commands (see README): octave-cli examples/patchcorr_demo.m

root = fileparts(fileparts(mfilename('fullpath')));
addpath(fullfile(root, 'build', 'native', 'octave'));

rgb = imread(fullfile(OCTAVE_HOME, 'share', 'octave', OCTAVE_VERSION, 'imagelib', ...
                      'octave-sombrero.png'));
X = 0.299 * double(rgb(:, :, 1)) + 0.587 * double(rgb(:, :, 2)) + 0.114 * double(rgb(:, :, 3));
% A light blur: the plot's one-pixel lines would otherwise alias under resampling.
g = exp(-(-3:3) .^ 2 / 4);
X = conv2(g / sum(g), g / sum(g), X, 'same');
[rows, cols] = size(X);

% The true homography: a rotation by 4 degrees and a scale of 1.05 about the image centre, with a
% touch of perspective. H maps 1-based (row, column) positions of X to those of Y.
c = [rows; cols] / 2;
a = 4 * pi / 180;
A = 1.05 * [cos(a) -sin(a); sin(a) cos(a)];
H = [A, c - A * c; 2e-5, -1e-5, 1];

% Y(q) = X(H^-1 q): warp X by sampling it bilinearly at the preimage of every pixel of Y.
[qr, qc] = ndgrid(1:rows, 1:cols);
p = H \ [qr(:)'; qc(:)'; ones(1, numel(qr))];
Y = interp2(X, p(2, :) ./ p(3, :), p(1, :) ./ p(3, :), 'linear', 0);
Y = reshape(Y, rows, cols);

% A 15 x 15 window of Gaussian weights and a grid of points every 6 pixels.
[dr, dc] = ndgrid(-7:7, -7:7);
W = [dr(:)'; dc(:)'; exp(-(dr(:)' .^ 2 + dc(:)' .^ 2) / 50)];
[gr, gc] = ndgrid(10:6:rows - 10, 10:6:cols - 10);
u = [gr(:)'; gc(:)'];

% A wrong homography: the true one followed by a shift of 2 pixels along both axes.
Hwrong = [1 0 2; 0 1 2; 0 0 1] * H;

printf('\npatchcorr on a %d x %d image, %d points, window of %d samples\n', rows, cols, ...
       columns(u), columns(W));
printf('%-22s %-9s %8s %10s %8s\n', 'homography', 'sampling', 'median', 'share>0.9', 'NaN');
printf('(NaN: a flat window, such as the white background, has no correlation)\n');
maps = {};
for h = {{'true H', H}, {'H shifted by 2 px', Hwrong}}
  for m = {'bilinear', 'nearest'}
    s = patchcorr(X, Y, h{1}{2}, W, u, m{1});
    printf('%-22s %-9s %8.3f %10.3f %8d\n', h{1}{1}, m{1}, median(s(isfinite(s))), ...
           mean(s(isfinite(s)) > 0.9), sum(isnan(s)));
    if strcmp(m{1}, 'bilinear')
      maps{end + 1} = reshape(s, size(gr));
    end
  end
end

% The two bilinear score maps, each point a 6 x 6 block, with a gap between them.
cmap = [linspace(0, 1, 128)', linspace(0, 1, 128)', ones(128, 1);
        ones(128, 1), linspace(1, 0, 128)', linspace(1, 0, 128)'];
picture = zeros(0, 0, 3);
for i = 1:2
  s = kron(maps{i}, ones(6));
  idx = round((s + 1) / 2 * 255) + 1;
  idx(~isfinite(idx)) = 1;
  img = reshape(cmap(idx, :), [size(s), 3]);
  img(repmat(~isfinite(s), [1, 1, 3])) = 0;
  if i == 1
    picture = img;
  else
    picture = [picture, ones(size(img, 1), 12, 3), img];
  end
end
imwrite(picture, fullfile(root, 'build', 'patchcorr_scores.png'));
printf('\nwrote build/patchcorr_scores.png (left: true H, right: H shifted by 2 px)\n');
