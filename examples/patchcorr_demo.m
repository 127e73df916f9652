% patchcorr_demo: verifying a homography with patchcorr.
%
% Image Y is image X warped through a known homography H. Every point of a grid is scored with
% patchcorr under the true H and under a slightly wrong one: the true H scores near 1 almost
% everywhere, the wrong one does not. Prints a table and writes build/patchcorr_scores.png: the
% images X and Y, and the two score maps (blue for -1 to red for +1, black where a score is
% undefined).
%
% Run after examples/demo.sh (or another build of the commands):
%   octave-cli -q --norc examples/patchcorr_demo.m

root = fileparts(fileparts(mfilename('fullpath')));
if exist('patchcorr') ~= 3   % not on the path: take those of the builds in this tree, native first
  for build = fullfile(root, 'build', {'octave', 'native'}, 'octave')
    if isfolder(build{1}), addpath(build{1}); end
  end
end
outdir = getenv('MEXGEOM_EXAMPLES_OUTPUT');
if isempty(outdir)
  outdir = fullfile(root, 'build');
end

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

% The picture: X and Y in grey, and the two bilinear score maps, each point a 6 x 6 block. All
% four are colour images with values in [0, 1]: the colour axis stays [0, 1] (gnuplot scales a
% colour image's values by it too) and the colour bar is labelled with the scores.
cmap = [linspace(0, 1, 128)', linspace(0, 1, 128)', ones(128, 1);
        ones(128, 1), linspace(1, 0, 128)', linspace(1, 0, 128)'];
panels = {repmat(X / 255, [1, 1, 3]), repmat(Y / 255, [1, 1, 3])};
for i = 1:2
  s = kron(maps{i}, ones(6));
  idx = round((s + 1) / 2 * 255) + 1;
  idx(~isfinite(idx)) = 1;
  img = reshape(cmap(idx, :), [size(s), 3]);
  img(repmat(~isfinite(s), [1, 1, 3])) = 0;
  panels{end + 1} = img;
end
titles = {'X', 'Y: X warped by H', ...
          sprintf('scores under the true H (median %.3f)', median(maps{1}(isfinite(maps{1})))), ...
          sprintf('scores under H shifted by 2 px (median %.3f)', ...
                  median(maps{2}(isfinite(maps{2}))))};
warning('off', 'Octave:gnuplot-graphics');
fig = figure('visible', 'off', 'position', [0 0 1100 760]);
colormap(cmap);
for i = 1:4
  subplot(2, 2, i);
  image(min(max(panels{i}, 0), 1));
  axis image off;
  caxis([0 1]);
  title(titles{i});
  if i > 2
    colorbar('ytick', [0 0.25 0.5 0.75 1], 'yticklabel', {'-1', '-0.5', '0', '0.5', '1'});
  end
end
png = fullfile(outdir, 'patchcorr_scores.png');
print(fig, png, '-dpng', '-r100');
close(fig);
printf('\nwrote %s\n', png);
