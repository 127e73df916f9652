% stripfilt_edges: edge strength along line segments of a real image.
%
% Every 8 pixels of the picture of a sombrero that Octave ships, eight segments of 12 pixels are
% laid through the point, one every 22.5 degrees. stripfilt measures, for each segment, the edge
% filter [1 2 0 -2 -1] / 3 applied across it and averaged along it: large where an edge runs along
% the segment, small on flat ground and where the segment crosses an edge. At each point the
% segment with the strongest response is kept. Prints a summary and writes
% build/stripfilt_edges.png: the image in grey with the kept segments drawn over it, thick, in the
% colour of their edge strength (those below 0.3 of the strongest are left out).
%
% Run after examples/demo.sh (or another build of the commands):
%   octave-cli -q --norc examples/stripfilt_edges.m

root = fileparts(fileparts(mfilename('fullpath')));
if exist('stripfilt') ~= 3   % not on the path: take those of the builds in this tree, native first
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
I = 0.299 * double(rgb(:, :, 1)) + 0.587 * double(rgb(:, :, 2)) + 0.114 * double(rgb(:, :, 3));
[rows, cols] = size(I);

% The segments: through each point of the grid, eight directions d = (sin a, cos a) in (row,
% column); each runs from u1 to u2 in 1-based (row, column) positions.
step = 8;
half = 6;
[r, c] = ndgrid(step:step:rows - step, step:step:cols - step);
points = [r(:)'; c(:)'];
angles = (0:7) * pi / 8;
count = columns(points);
u1 = zeros(2, count * 8);
u2 = zeros(2, count * 8);
for j = 1:8
  d = half * [sin(angles(j)); cos(angles(j))];
  u1(:, (j - 1) * count + (1:count)) = points - d;
  u2(:, (j - 1) * count + (1:count)) = points + d;
end

% The filter across the segment: a smoothed difference of the two sides, so that a step edge of
% height 1 along the segment answers about 1 (the sign tells which side is the brighter one).
h = [1 2 0 -2 -1] / 3;
s = stripfilt(I, h, u1, u2);
[strength, best] = max(reshape(abs(s), count, 8), [], 2);
kept = (best' - 1) * count + (1:count);       % the strongest segment at each point
u1 = u1(:, kept);
u2 = u2(:, kept);
strength = strength';
top = max(strength);
low = 0.3 * top;
shown = strength >= low;
printf('stripfilt on a %d x %d image: %d segments of %g pixels, filter [%s] / 3\n', rows, cols, ...
       numel(s), 2 * half, num2str(h * 3));
printf('strongest edge per point: median %.1f, largest %.1f\n', median(strength), top);
printf('%d of %d points above 0.3 of the largest\n', sum(shown), count);

% The picture: the image in grey (as a colour image, so that the colour map is free for the
% segments), the kept segments drawn thick over it in colours from blue (0.3 of the strongest) to
% red, and beside the image a colour bar labelled with the strengths, drawn as an image of its own.
scale = 2;                                    % screen pixels per image pixel
bar = 22;
margin = 40;
labels = 60;
figw = scale * cols + 2 * margin + bar + labels;
figh = scale * rows + 2 * margin;
warning('off', 'Octave:gnuplot-graphics');
fig = figure('visible', 'off', 'position', [0 0 figw figh]);
axes('position', [margin / figw, margin / figh, scale * cols / figw, scale * rows / figh]);
image(repmat(0.15 + 0.7 * I / 255, [1, 1, 3]));
hold on;
map = jet(80)(9:72, :);                       % without the darkest blues and reds
level = 1 + floor(63 * (strength - low) / (top - low));
for j = unique(level(shown))
  k = find(shown & level == j);
  % One line object per colour: the segments of this level, separated by NaN.
  x = [u1(2, k); u2(2, k); NaN(1, numel(k))];
  y = [u1(1, k); u2(1, k); NaN(1, numel(k))];
  plot(x(:), y(:), '-', 'color', map(j, :), 'linewidth', 14);
end
axis off;
title(sprintf(['stripfilt: at every %dth pixel the strongest of 8 segments, coloured by its ' ...
               'edge strength'], step));
axes('position', [(2 * margin + scale * cols) / figw, margin / figh, bar / figw, ...
                  scale * rows / figh]);
image(reshape(flipud(map), [], 1, 3));
ticks = 0:0.25:1;
set(gca, 'xtick', [], 'yaxislocation', 'right', 'ytick', 1 + 63 * (1 - ticks), 'yticklabel', ...
    arrayfun(@(t) sprintf('%.0f', low + t * (top - low)), ticks, 'uniformoutput', false));
png = fullfile(outdir, 'stripfilt_edges.png');
print(fig, png, '-dpng', '-r100');
close(fig);
printf('\nwrote %s\n', png);
