% patchcorr_demo: verifying a homography with patchcorr.
%
% Image Y is image X warped through a known homography H. Every point of a grid is scored with
% patchcorr under the true H and under a slightly wrong one: the true H scores near 1 almost
% everywhere, the wrong one does not. Prints a table and writes build/patchcorr_scores.png: the
% images X and Y, and below them the two score maps at the images' size (blue for -1, white for
% 0, red for +1, grey where a score is undefined).
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

% A 15 x 15 window of Gaussian weights, and a point in the middle of every 6 x 6 block of the
% image (the points near the border have too few samples inside and score NaN).
[dr, dc] = ndgrid(-7:7, -7:7);
W = [dr(:)'; dc(:)'; exp(-(dr(:)' .^ 2 + dc(:)' .^ 2) / 50)];
block = 6;
[gr, gc] = ndgrid(4:block:rows, 4:block:cols);
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

% The picture: X and Y in grey above, the two bilinear score maps below them at the same size:
% each score fills its point's 6 x 6 block. All four are colour images; the colour bar beside the
% maps is an image of its own, with a grey swatch for the undefined scores below it.
cmap = [linspace(0, 1, 128)', linspace(0, 1, 128)', ones(128, 1);
        ones(128, 1), linspace(1, 0, 128)', linspace(1, 0, 128)'];
undefined = [0.55 0.55 0.55];
panels = {repmat(X / 255, [1, 1, 3]), repmat(Y / 255, [1, 1, 3])};
% The point whose block holds each pixel (the last partial block belongs to the last point).
[br, bc] = ndgrid(min(ceil((1:rows) / block), size(gr, 1)), ...
                  min(ceil((1:cols) / block), size(gr, 2)));
for i = 1:2
  s = maps{i}(sub2ind(size(gr), br, bc));
  idx = round((min(max(s, -1), 1) + 1) / 2 * 255) + 1;
  idx(~isfinite(s)) = 1;
  img = reshape(cmap(idx, :), [rows, cols, 3]);
  img(repmat(~isfinite(s), [1, 1, 3])) = repmat(reshape(undefined, 1, 1, 3), ...
                                                [nnz(~isfinite(s)), 1, 1])(:);
  panels{end + 1} = img;
end
titles = {'X', 'Y: X warped by H', ...
          sprintf('scores under the true H (median %.3f)', median(maps{1}(isfinite(maps{1})))), ...
          sprintf('scores under H shifted by 2 px (median %.3f)', ...
                  median(maps{2}(isfinite(maps{2}))))};

% The layout in pixels: two columns of panels at the images' aspect, a title above each, the
% colour bar to the right of the lower row.
width = 480;
height = round(width * rows / cols);
margin = 12;
titled = 28;
bar = 22;
labels = 90;
figw = 2 * width + 3 * margin + bar + labels;
figh = 2 * (height + titled) + 2 * margin;
warning('off', 'Octave:gnuplot-graphics');
fig = figure('visible', 'off', 'position', [0 0 figw figh]);
for i = 1:4
  x = margin + mod(i - 1, 2) * (width + margin);
  y = margin + (i <= 2) * (height + titled);
  axes('position', [x / figw, y / figh, width / figw, height / figh]);
  image(min(max(panels{i}, 0), 1));
  axis off;
  title(titles{i});
end
% The colour bar: the colours of the scores from 1 at the top to -1 (an image's first row is
% drawn at the top), and below it a swatch of the colour of the undefined scores.
left = (2 * width + 3 * margin) / figw;
swatch = 24;
axes('position', [left, (margin + swatch + margin) / figh, bar / figw, ...
                  (height - swatch - margin) / figh]);
image(reshape(flipud(cmap), [], 1, 3));
set(gca, 'xtick', [], 'yaxislocation', 'right', 'ytick', [1, 64.75, 128.5, 192.25, 256], ...
    'yticklabel', {'1', '0.5', '0', '-0.5', '-1'});
axes('position', [left, margin / figh, bar / figw, swatch / figh]);
image(reshape(undefined, 1, 1, 3));
set(gca, 'xtick', [], 'yaxislocation', 'right', 'ytick', 1, 'yticklabel', {'undefined'});
png = fullfile(outdir, 'patchcorr_scores.png');
print(fig, png, '-dpng', '-r100');
close(fig);
printf('\nwrote %s\n', png);
