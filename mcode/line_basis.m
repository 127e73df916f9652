function [x, T] = line_basis(P, Q)
%LINE_BASIS  PLUCKRESID's parameters x and line basis T for the 3D line through two points.
%   [X, T] = LINE_BASIS(P, Q) returns X = zeros(4, 1) and the 3 x 4 x 2 line
%   basis T of PLUCKRESID that together give the 3D line through P and Q:
%   the starting point of a line fit. P and Q are 3D points, each of 3
%   numbers (x, y, z) or 4 homogeneous numbers (x, y, z, w); a homogeneous
%   point with w = 0 is a direction, so LINE_BASIS(P, [D 0]) is the line
%   through P with the direction D.
%
%   Each point moves in the plane through it across the line: slice 1 of T
%   is [P; B1 0; B2 0], slice 2 [Q; B1 0; B2 0], with B1, B2 two unit vectors
%   perpendicular to the line and to each other. So X(1:2) moves P and X(3:4)
%   moves Q, in the units of the points' coordinates, and every line that
%   crosses both planes has parameters. A finite point is scaled to w = 1; a
%   direction to unit length, whose moves then tilt the line about the other
%   point (by atan of their length). Exchanging P and Q negates the
%   residuals. LINE_POINTS turns a solved X back into two points.
%
%   The algebra, for readers who build T by hand: with D the direction of
%   the line, B = null(D / norm(D)) gives two such vectors (in another
%   order and sign), and T = cat(3, [P; B' zeros(2, 1)], [Q; B' zeros(2, 1)]).
%   This function instead takes B1 = D x E / norm(D x E), E the axis along
%   which D is smallest, and B2 = (D / norm(D)) x B1, the same in every host.
%
%   Errors: "P must have 3 or 4 elements." (likewise Q), "P must be finite.",
%   "P must not be zero.", "P and Q must not both be directions.", "P and Q
%   must be distinct points."
%
%   Example
%     [x, T] = line_basis([0 0 4], [1 0 4]);   % the line y = 0, z = 4
%     x                                        % [0; 0; 0; 0]
%     [P, Q] = line_points(x, T)               % P = [0 0 4 1]
%     [x, T] = line_basis([0 0 4], [1 0 0 0]); % through (0, 0, 4) along x: the same line
%     [P, Q] = line_points(x, T)               % Q = [1 0 0 0]
%
%   Reference: conversions.md in the doc folder installed with the commands
%   (reference_page conversions prints it and where it lies).
%   See also PLUCKRESID, LINE_POINTS, CAMERA_LINE_MATRICES, REFERENCE_PAGE.

P = homogeneous_point(P, 'P');
Q = homogeneous_point(Q, 'Q');
if P(4) == 0 && Q(4) == 0
  error('line_basis: P and Q must not both be directions.');
end
if P(4) == 0
  d = P(1:3);
elseif Q(4) == 0
  d = Q(1:3);
else
  d = Q(1:3) - P(1:3);
end
if ~any(d)
  error('line_basis: P and Q must be distinct points.');
end
% Two unit vectors across the line, from the axis least aligned with it: never a degenerate
% cross product, and the same numbers wherever this runs.
[~, k] = min(abs(d));
e = zeros(1, 3);
e(k) = 1;
b1 = unit(cross(d, e));
b2 = unit(cross(unit(d), b1));
moves = [b1 0; b2 0];
x = zeros(4, 1);
T = cat(3, [P; moves], [Q; moves]);
end

% A 3D point as a homogeneous row: finite points with w = 1, directions of unit length.
function p = homogeneous_point(p, name)
  if ~(isnumeric(p) && isreal(p)) || ~any(numel(p) == [3 4])
    error('line_basis: %s must have 3 or 4 elements.', name);
  end
  p = double(full(p(:)'));
  if numel(p) == 3
    p(4) = 1;
  end
  if ~all(isfinite(p))
    error('line_basis: %s must be finite.', name);
  end
  if p(4) ~= 0
    p = p / p(4);
  elseif any(p(1:3))
    p = [unit(p(1:3)), 0];
  else
    error('line_basis: %s must not be zero.', name);
  end
end

% v / |v|, summed in the order that every host sums it.
function v = unit(v)
  v = v / sqrt(v(1) * v(1) + v(2) * v(2) + v(3) * v(3));
end

%!test  % x = 0 is the line through P and Q; the moves are unit vectors across it
%! [x, T] = line_basis([1 2 3], [2 0 5 2]);
%! assert(x, zeros(4, 1));
%! assert(T(1, :, 1), [1 2 3 1]);
%! assert(T(1, :, 2), [1 0 2.5 1]);
%! B = T(2:3, 1:3, 1);
%! assert(B * B', eye(2), 4 * eps);
%! assert(B * [0; -2; -0.5], [0; 0], 4 * eps);
%! assert(T(2:3, :, 2), T(2:3, :, 1));

%!error <P must have 3 or 4 elements\.> line_basis([1 2], [1 2 3])
%!error <P and Q must be distinct points\.> line_basis([1 2 3], [2 4 6 2])
