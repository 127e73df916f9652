% pluckresid_linefit: fitting a 3D line to segments seen in several cameras.
%
% Six synthetic cameras look at a 3D line; in each image a segment of the line is measured by its
% two end points. Gauss-Newton steps driven by the residuals and the Jacobian of pluckresid move a
% wrong initial line onto the measured segments, once with exact end points and once with end
% points disturbed by noise of 0.5 pixels. The helpers set the fit up: camera_line_matrices turns
% the 3 x 4 cameras into pluckresid's A, line_basis two points of the initial line into its x and
% T, and line_points the fitted x back into two points. Prints the residual norm per iteration and writes
% build/pluckresid_linefit.png: the residual norm per iteration, and camera 1's image with the
% measured segment and the line before and after the fit.
%
% Run after examples/demo.sh (or another build of the commands):
%   octave-cli -q --norc examples/pluckresid_linefit.m

root = fileparts(fileparts(mfilename('fullpath')));
if exist('pluckresid') ~= 3   % not on the path: take those of the builds in this tree, native first
  for build = fullfile(root, 'build', {'octave', 'native'}, 'octave')
    if isfolder(build{1}), addpath(build{1}); end
  end
end
if exist('camera_line_matrices') ~= 2   % the helpers: those of this tree
  addpath(fullfile(root, 'mcode'));
end
outdir = getenv('MEXGEOM_EXAMPLES_OUTPUT');
if isempty(outdir)
  outdir = fullfile(root, 'build');
end
rand('state', 1);
randn('state', 1);

% Six cameras on a ring 8 units from the origin, looking at it; 640 x 480 pixel images.
K = [800 0 320; 0 800 240; 0 0 1];
N = 6;
cameras = cell(1, N);
for i = 1:N
  a = 2 * pi * (i - 1) / N;
  centre = [8 * cos(a); 8 * sin(a); 2 + (-1) ^ i];
  z = -centre / norm(centre);                 % the viewing direction
  x = cross(z, [0; 0; 1]);                     % image rows run down, columns right
  x = x / norm(x);
  R = [x'; cross(z, x)'; z'];
  cameras{i} = K * [R, -R * centre];
end
A = camera_line_matrices(cameras);           % pluckresid's 6 x 3 x N camera line matrices

% The true line, and the part of it that each camera sees: a segment between two points of it.
P0 = [-1.0 -0.5 -0.3 1];
Q0 = [1.2 0.6 0.4 1];
project = @(C, X) (C(1:2, :) * X') / (C(3, :) * X');
E = zeros(2, N, 2);
for i = 1:N
  s = sort(rand(1, 2)) .* [0.4 0.6] + [0 0.4];  % two points, at least 0.4 apart along the line
  E(:, i, 1) = project(cameras{i}, (1 - s(1)) * P0 + s(1) * Q0);
  E(:, i, 2) = project(cameras{i}, (1 - s(2)) * P0 + s(2) * Q0);
end

% The true line lies on every measured segment: its residuals are zero.
[xTrue, Ttrue] = line_basis(P0, Q0);
worst = max(abs(pluckresid(xTrue, A, Ttrue, E)));
printf('residuals of the true line: largest %.1e pixels\n', worst);
if worst > 1e-9
  error('pluckresid_linefit: the true line does not meet its segments');
end

% The line basis about a wrong initial line: P moves in the plane through P1 across the initial
% direction, Q in the parallel plane through Q1, so x = 0 is the initial line and every line that
% crosses both planes has parameters.
P1 = P0 + [0.3 -0.2 0.25 0];
Q1 = Q0 + [-0.25 0.3 -0.2 0];
[x0, T] = line_basis(P1, Q1);

% Gauss-Newton: x <- x - J \ r, with the exact end points and with noisy ones.
iterations = 8;
noise = 0.5;
Enoisy = E + noise * randn(size(E));
norms = zeros(iterations + 1, 2);
fits = zeros(4, 2);
for run = 1:2
  measured = E;
  if run == 2
    measured = Enoisy;
  end
  x = x0;
  for k = 0:iterations
    [r, J] = pluckresid(x, A, T, measured);
    norms(k + 1, run) = norm(r);
    x = x - J \ r;
  end
  fits(:, run) = x;
end
printf('\nGauss-Newton on %d cameras (%d residuals)\n', N, 2 * N);
printf('%9s %14s %14s\n', 'iteration', '|r| exact', sprintf('|r| noise %.1f', noise));
printf('%9d %14.3e %14.3e\n', [(0:iterations)', norms]');
printf(['(with noise the norm settles near %.1f: the noise of %d residuals, less the 4 ' ...
        'fitted)\n'], noise * sqrt(2 * N - 4), 2 * N);

% The fitted line against the true one: both of its points lie on the true line.
[P, Q] = line_points(fits(:, 1), T);
u = (Q0(1:3) - P0(1:3)) / norm(Q0(1:3) - P0(1:3));
offTrue = @(X) norm(cross(X(1:3) - P0(1:3), u));
printf('exact end points: the fitted points lie %.1e and %.1e from the true line\n', ...
       offTrue(P), offTrue(Q));
if norms(end, 1) > 1e-6 || max(offTrue(P), offTrue(Q)) > 1e-8
  error('pluckresid_linefit: the fit did not reach the true line');
end

% The picture: residual norms, and camera 1 with its segment and the lines before and after the
% fits.
warning('off', 'Octave:gnuplot-graphics');
fig = figure('visible', 'off', 'position', [0 0 1100 440]);
subplot(1, 2, 1);
semilogy(0:iterations, norms(:, 1), 'o-', 'linewidth', 2, ...
         0:iterations, norms(:, 2), 's-', 'linewidth', 2);
hold on;
semilogy([0 iterations], noise * sqrt(2 * N - 4) * [1 1], 'k--');
grid on;
xlabel('Gauss-Newton iteration');
ylabel('residual norm |r| (pixels)');
title(sprintf('fitting a 3D line to segments in %d cameras', N));
legend('exact end points', sprintf('end points with noise %.1f px', noise), 'noise level', ...
       'location', 'east');

subplot(1, 2, 2);
hold on;
imageLine = @(l) [0 640; -(l(3) + l(1) * [0 640]) / l(2)];   % (u, v) at u = 0 and u = 640
[Pn, Qn] = line_points(fits(:, 2), T);
lines = {P1, Q1; P, Q; Pn, Qn};
styles = {'r-', 'b-', 'g--'};
for j = 1:3
  l = cross(cameras{1} * lines{j, 1}', cameras{1} * lines{j, 2}');   % the image of the line
  ends = imageLine(l);
  plot(ends(1, :), ends(2, :), styles{j}, 'linewidth', 1.5);
end
plot(squeeze(Enoisy(1, 1, :)), squeeze(Enoisy(2, 1, :)), 'k-o', 'linewidth', 3);
axis([0 640 0 480]);
axis ij;
axis equal;
box on;
xlabel('u (pixels)');
ylabel('v (pixels)');
title('camera 1');
legend('initial line', 'fitted to exact end points', 'fitted to noisy end points', ...
       'measured segment (noisy)', 'location', 'northwest');

png = fullfile(outdir, 'pluckresid_linefit.png');
print(fig, png, '-dpng', '-r100');
close(fig);
printf('\nwrote %s\n', png);
