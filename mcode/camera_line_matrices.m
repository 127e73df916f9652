function A = camera_line_matrices(C)
%CAMERA_LINE_MATRICES  PLUCKRESID's camera line matrices A from 3 x 4 camera matrices.
%   A = CAMERA_LINE_MATRICES(C) turns the 3 x 4 camera matrix C, a 3 x 4 x N
%   stack of N cameras, or a cell array of N 3 x 4 matrices, into the
%   6 x 3 x N array A of PLUCKRESID: slice i is the transpose of camera i's
%   line projection matrix, so that A(:,:,i)' * L' is the image in camera i
%   of the 3D line with the Pluecker coordinates L, the same 2D line as
%   cross(C * P', C * Q') for two points P, Q of the 3D line.
%
%   PLUCKRESID's end points E are then in the pixel frame of C, the (u, v)
%   that C maps to: for most cameras (x, y) = (column, row), from 0 or 1 as
%   C was made. Scaling a camera by a positive factor leaves its residuals
%   unchanged; a negative factor negates them.
%
%   The algebra, for C with rows c1, c2, c3 (row 4-vectors):
%     f = @(a, b) [cross(a(1:3), b(1:3)), a(1:3) * b(4) - a(4) * b(1:3)]';
%     A(:,:,i) = [f(c2, c3), f(c3, c1), f(c1, c2)]
%   f(P, Q)' is also the line L through the points P and Q, as PLUCKRESID
%   forms it.
%
%   Example
%     C = [800 0 320 0; 0 800 240 0; 0 0 1 0];   % sees the line y = 0, z = 4 as v = 240
%     [x, T] = line_basis([0 0 4], [1 0 4]);
%     E = cat(3, [400; 240], [400; 250]);        % a segment from (400, 240) to (400, 250)
%     pluckresid(x, camera_line_matrices(C), T, E)   % [0; 10]
%
%   Reference: conversions.md in the doc folder installed with the commands
%   (reference_page conversions prints it and where it lies).
%   See also PLUCKRESID, LINE_BASIS, LINE_POINTS, REFERENCE_PAGE.

if iscell(C)
  if ~all(cellfun(@(c) isnumeric(c) && isequal(size(c), [3 4]), C(:)'))
    error('camera_line_matrices: C must hold 3 x 4 matrices.');
  end
  C = cat(3, zeros(3, 4, 0), C{:});
end
if ~(isnumeric(C) && isreal(C)) || size(C, 1) ~= 3 || size(C, 2) ~= 4 || ndims(C) > 3
  error('camera_line_matrices: C must be 3 x 4 or 3 x 4 x N.');
end
C = double(full(C));
N = size(C, 3);
A = zeros(6, 3, N);
% Image line coordinate j comes from the two camera rows other than j, in cyclic order.
pairs = [2 3; 3 1; 1 2];
for j = 1:3
  a = reshape(C(pairs(j, 1), :, :), 4, N);
  b = reshape(C(pairs(j, 2), :, :), 4, N);
  moment = a(1:3, :) .* b(4, :) - a(4, :) .* b(1:3, :);
  A(:, j, :) = reshape([xprod3(a(1:3, :), b(1:3, :)); moment], 6, 1, N);
end
end

%!test  % the image line of P and Q, for one camera and for a stack
%! C = [800 0 320 10; 0 800 240 -20; 0 0 1 4];
%! P = [0.1 -0.2 1 1];  Q = [0.5 0.3 2 1];
%! L = [cross(P(1:3), Q(1:3)), P(1:3) * Q(4) - P(4) * Q(1:3)];
%! l = cross(C * P', C * Q');
%! assert(camera_line_matrices(C)' * L', l, 1e-12 * norm(l));
%! A = camera_line_matrices(cat(3, C, 2 * C));
%! assert(size(A), [6 3 2]);
%! assert(A(:, :, 2), 4 * A(:, :, 1));
