function [P, Q] = line_points(x, T)
%LINE_POINTS  Two points of the 3D line that PLUCKRESID's parameters x give.
%   [P, Q] = LINE_POINTS(X, T) returns the two homogeneous 3D points (row
%   4-vectors) that span the line with the parameters X in the line basis T
%   of PLUCKRESID, as it forms them:
%     P = T(1,:,1) + X(1) * T(2,:,1) + X(2) * T(3,:,1)
%     Q = T(1,:,2) + X(3) * T(2,:,2) + X(4) * T(3,:,2)
%   each scaled to w = 1 when it is finite (w not 0), so that P(1:3) and
%   Q(1:3) are then the points' coordinates; a point with w = 0 is a
%   direction. Like PLUCKRESID, it reads the first 4 numbers of X and the
%   first 24 of T, column-major.
%
%   Errors: "x must have at least 4 elements.", "T must have at least 24
%   elements."
%
%   Example
%     [x, T] = line_basis([0 0 0], [0 0 1]);
%     x(1) = 2;                            % P moves 2 units across the line
%     [P, Q] = line_points(x, T)           % P = [0 2 0 1]
%
%   Reference: conversions.md in the doc folder installed with the commands
%   (reference_page conversions prints it and where it lies).
%   See also PLUCKRESID, LINE_BASIS, CAMERA_LINE_MATRICES, REFERENCE_PAGE.

if ~(isnumeric(x) && isreal(x)) || numel(x) < 4
  error('line_points: x must have at least 4 elements.');
end
if ~(isnumeric(T) && isreal(T)) || numel(T) < 24
  error('line_points: T must have at least 24 elements.');
end
x = double(full(x(1:4)));
T = reshape(double(full(T(1:24))), 3, 4, 2);
P = T(1, :, 1) + x(1) * T(2, :, 1) + x(2) * T(3, :, 1);
Q = T(1, :, 2) + x(3) * T(2, :, 2) + x(4) * T(3, :, 2);
if P(4) ~= 0
  P = P / P(4);
end
if Q(4) ~= 0
  Q = Q / Q(4);
end
end

%!test  % the points that pluckresid forms, scaled to w = 1
%! T = reshape([0 1 0 0 0 1 0 0 0 1 0 0 0 1 0 0 0 1 1 0 0 1 0 0], 3, 4, 2);
%! [P, Q] = line_points([1 2 3 4], T);
%! assert(P, [1 2 0 1]);
%! assert(Q, [3 4 1 1]);
%! [P, Q] = line_points([1 2 3 4], 2 * T);
%! assert([P; Q], [1 2 0 1; 3 4 1 1]);

%!error <x must have at least 4 elements\.> line_points([1 2 3], zeros(3, 4, 2))
%!error <T must have at least 24 elements\.> line_points(zeros(4, 1), zeros(3, 4))
