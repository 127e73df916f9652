% The conversions of mcode/ in GNU Octave: cameras to pluckresid's A, points to its x and T and
% back, (x, y) points and homographies to patchcorr's u and H and back.

%!shared cameras, P0, Q0
%! % Six cameras on a ring 8 units from the origin, looking at it, with 640 x 480 pixels; the
%! % line through P0 and Q0 lies in view of all of them.
%! K = [800 0 320; 0 800 240; 0 0 1];
%! cameras = zeros(3, 4, 6);
%! for i = 1:6
%!   a = 2 * pi * (i - 1) / 6;
%!   centre = [8 * cos(a); 8 * sin(a); 2 + (-1) ^ i];
%!   z = -centre / norm(centre);
%!   x = cross(z, [0; 0; 1]);
%!   x = x / norm(x);
%!   R = [x'; cross(z, x)'; z'];
%!   cameras(:, :, i) = K * [R, -R * centre];
%! end
%! P0 = [-1 -0.5 -0.3 1];
%! Q0 = [1.2 0.6 0.4 1];

%!function E = segments(cameras, P, Q)
%!  % E of pluckresid: in each camera, the images of P and Q
%!  E = zeros(2, size(cameras, 3), 2);
%!  for i = 1:size(cameras, 3)
%!    p = cameras(:, :, i) * P(:);
%!    q = cameras(:, :, i) * Q(:);
%!    E(:, i, 1) = p(1:2) / p(3);
%!    E(:, i, 2) = q(1:2) / q(3);
%!  end
%!endfunction

%!test  % messages, each naming its input
%! cases = {
%!   'camera_line_matrices', 'C must be 3 x 4 or 3 x 4 x N.', {ones(4, 3)};
%!   'camera_line_matrices', 'C must be 3 x 4 or 3 x 4 x N.', {repmat('a', 3, 4)};
%!   'camera_line_matrices', 'C must be 3 x 4 or 3 x 4 x N.', {ones(3, 4, 2, 2)};
%!   'camera_line_matrices', 'C must be 3 x 4 or 3 x 4 x N.', {complex(ones(3, 4))};
%!   'camera_line_matrices', 'C must hold 3 x 4 matrices.', {{eye(3, 4), eye(3)}};
%!   'line_basis', 'P must have 3 or 4 elements.', {[1 2], [1 2 3]};
%!   'line_basis', 'Q must have 3 or 4 elements.', {[1 2 3], ones(1, 5)};
%!   'line_basis', 'P must have 3 or 4 elements.', {'abc', [1 2 3]};
%!   'line_basis', 'P must be finite.', {[NaN 2 3], [1 2 3]};
%!   'line_basis', 'Q must be finite.', {[1 2 3], [Inf 0 0 0]};
%!   'line_basis', 'P must not be zero.', {[0 0 0 0], [1 2 3]};
%!   'line_basis', 'P and Q must not both be directions.', {[1 0 0 0], [0 1 0 0]};
%!   'line_basis', 'P and Q must be distinct points.', {[1 2 3], [2 4 6 2]};
%!   'line_points', 'x must have at least 4 elements.', {[1 2 3], zeros(3, 4, 2)};
%!   'line_points', 'T must have at least 24 elements.', {zeros(4, 1), zeros(3, 4)};
%!   'xy_to_rowcol', 'xy must have 2 columns, one (x, y) point per row.', {[1; 2]};
%!   'xy_to_rowcol', 'xy must have 2 columns, one (x, y) point per row.', {ones(2, 2, 2)};
%!   'xy_to_rowcol', 'origin must be a finite number.', {[1 2], NaN};
%!   'xy_to_rowcol', 'origin must be a finite number.', {[1 2], [0 1]};
%!   'rowcol_to_xy', 'u must have 2 rows, one (row, column) point per column.', {[1 2]};
%!   'rowcol_to_xy', 'origin must be a finite number.', {[1; 2], 'a'};
%!   'xy_homography_to_rowcol', 'Hxy must be a 3 x 3 matrix.', {ones(3, 4)};
%!   'xy_homography_to_rowcol', 'origin must be a finite number.', {eye(3), Inf};
%!   'rowcol_homography_to_xy', 'H must be a 3 x 3 matrix.', {eye(2)};
%! };
%! for i = 1:rows(cases)
%!   expect_error(cases{i, 1}, cases{i, 2}, cases{i, 3}{:});
%! end

%!test  % every camera sees the line of P and Q as cross(C P, C Q): single, stacked or in a cell
%! A = camera_line_matrices(cameras);
%! L = [cross(P0(1:3), Q0(1:3)), P0(1:3) * Q0(4) - P0(4) * Q0(1:3)]';
%! for i = 1:6
%!   l = cross(cameras(:, :, i) * P0', cameras(:, :, i) * Q0');
%!   assert(A(:, :, i)' * L, l, 1e-12 * norm(l));
%!   assert(camera_line_matrices(cameras(:, :, i)), A(:, :, i));
%! end
%! assert(camera_line_matrices(num2cell(cameras, [1 2])), A);
%! assert(size(camera_line_matrices(zeros(3, 4, 0))), [6 3 0]);
%! assert(size(camera_line_matrices({})), [6 3 0]);

%!test  % x = 0 of line_basis is the line itself, whichever way its points are given
%! A = camera_line_matrices(cameras);
%! d = Q0(1:3) - P0(1:3);
%! n = d / norm(d);
%! % name, P, Q, then the points T must start from (w = 1, directions of unit length) and a
%! % finite point and the direction of the line
%! cases = {
%!   'two points',               P0(1:3),    Q0(1:3),    P0,         Q0,         P0, d;
%!   'homogeneous, any w',       -2 * P0,    0.5 * Q0,   P0,         Q0,         P0, d;
%!   'a point and a direction',  P0,         [3 * d 0],  P0,         [n 0],      P0, d;
%!   'a direction and a point',  [-d 0],     Q0,         [-n 0],     Q0,         Q0, d;
%!   'along the x axis',         [0 0 4],    [1 0 4],    [0 0 4 1],  [1 0 4 1],  [0 0 4 1], [1 0 0];
%!   'along the y axis',         [1 2 3],    [1 5 3],    [1 2 3 1],  [1 5 3 1],  [1 2 3 1], [0 1 0];
%!   'along the z axis',         [1 2 3 1],  [0 0 -2 0], [1 2 3 1],  [0 0 -1 0], [1 2 3 1], [0 0 1];
%! };
%! for i = 1:rows(cases)
%!   [name, P, Q, Pw, Qw, p, along] = cases{i, :};
%!   try
%!     [x, T] = line_basis(P, Q);
%!     assert(x, zeros(4, 1));
%!     assert([T(1, :, 1); T(1, :, 2)], [Pw; Qw], 4 * eps);
%!     B = T(2:3, 1:3, 1);
%!     assert(B * B', eye(2), 4 * eps);
%!     assert(B * along', [0; 0], 4 * eps * norm(along));
%!     assert(T(2:3, :, 2), T(2:3, :, 1));
%!     assert(T(2:3, 4, :), zeros(2, 1, 2));
%!     E = segments(cameras, [p(1:3) + 0.3 * along, 1], [p(1:3) - 0.2 * along, 1]);
%!     assert(pluckresid(x, A, T, E), zeros(12, 1), 1e-9 * norm(along));
%!   catch err
%!     error('%s: %s', name, err.message);
%!   end
%! end
%! % exchanging the points negates the residuals
%! E = segments(cameras, P0 + [0 0.1 0 0], Q0);
%! [x, T] = line_basis(P0, Q0);
%! [y, U] = line_basis(Q0, P0);
%! r = pluckresid(x, A, T, E);
%! assert(all(abs(r(1:2:end)) > 1));
%! assert(pluckresid(y, A, U, E), -r, 1e-12 * norm(r));

%!test  % line_points undoes line_basis: P and Q scaled to w = 1, directions kept
%! [x, T] = line_basis(-2 * P0, [1 2 2 0]);
%! [P, Q] = line_points(x, T);
%! assert(P, P0, eps);
%! assert(Q, [1 2 2 0] / 3, eps);
%! [P, Q] = line_points([0.5; -1; 2; 0], reshape(T, 1, 24));
%! assert(P, P0 + 0.5 * T(2, :, 1) - T(3, :, 1), 4 * eps);
%! assert(Q, Q(4) * 0 + [1 2 2 0] / 3 + 2 * T(2, :, 2), 4 * eps);

%!test  % a newcomer's line fit: cameras, two rough points, Gauss-Newton, two points back
%! A = camera_line_matrices(num2cell(cameras, [1 2]));
%! E = segments(cameras, 0.9 * P0 + 0.1 * Q0, 0.3 * P0 + 0.7 * Q0);
%! [x, T] = line_basis(P0 + [0.3 -0.2 0.25 0], Q0 + [-0.25 0.3 -0.2 0]);
%! for step = 1:8
%!   [r, J] = pluckresid(x, A, T, E);
%!   x = x - J \ r;
%! end
%! assert(norm(pluckresid(x, A, T, E)) < 1e-6);
%! [P, Q] = line_points(x, T);
%! d = (Q0(1:3) - P0(1:3)) / norm(Q0(1:3) - P0(1:3));
%! assert(norm(cross(P(1:3) - P0(1:3), d)) < 1e-8);
%! assert(norm(cross(Q(1:3) - P0(1:3), d)) < 1e-8);

%!test  % (x, y) points and homographies: the documented scores of each mistake
%! % A textured image X and its view Y through a homography Hxy of 0-based (x, y) frames.
%! [r, c] = ndgrid(1:64, 1:64);
%! X = smooth_texture(c - 1, r - 1);
%! Hxy = [1.1 0.1 2.5; -0.1 1.05 -1.25; 2e-4 -1e-4 1];
%! g = Hxy \ [c(:)' - 1; r(:)' - 1; ones(1, 64^2)];
%! Y = reshape(smooth_texture(g(1, :) ./ g(3, :), g(2, :) ./ g(3, :)), 64, 64);
%! [gx, gy] = ndgrid(8:4:52, 8:4:52);
%! xy = [gx(:) gy(:)];
%! [dr, dc] = ndgrid(-3:3);
%! W = [dr(:)'; dc(:)'; ones(1, 49)];
%! right = patchcorr(X, Y, xy_homography_to_rowcol(Hxy), W, xy_to_rowcol(xy));
%! one_based = patchcorr(X, Y, xy_homography_to_rowcol(Hxy, 1), W, xy_to_rowcol(xy, 1));
%! unswapped = patchcorr(X, Y, Hxy, W, xy');
%! assert(round(1e4 * median([right; one_based; unswapped], 2)'), [9986 9926 -2494]);

%!test  % points against the recipe (the homographies' blocks test theirs): swap, shift by
%! % 1 - origin; and back
%! xy = [0 0; 10.25 3; -1 7.5];
%! for origin = [0 1 0.5 -3]
%!   u = xy_to_rowcol(xy, origin);
%!   assert(u, [xy(:, 2)'; xy(:, 1)'] + 1 - origin);
%!   assert(rowcol_to_xy(u, origin), xy, 1e-15);
%! end
%! assert(xy_to_rowcol(int16([3 4])), [5; 4]);
%! assert(size(rowcol_to_xy(zeros(2, 0))), [0 2]);
