%HESSEFORM  Hesse normal form of homogeneous 2D lines.
%   N = HESSEFORM(L) scales each row (a, b, c) of L, the line a x + b y + c = 0,
%   by 1 / sqrt(a^2 + b^2), so that (a, b) becomes a unit normal and
%   a x + b y + c the signed distance of the point (x, y) from the line. The
%   sign of a row is kept.
%
%   Input
%     L       M x 3 double, full, one line per row. Only the real part of a
%             complex input is read. An empty L (no rows or no columns) is
%             answered with an empty double array of its own size.
%
%   Output
%     N       M x 3 double. Rows are never rejected: a row with a = b = 0
%             becomes (NaN, NaN, c / 0), a NaN in a or b gives a NaN row, and
%             an infinite a or b gives NaN in its place and zeros elsewhere.
%
%   Precision
%     a^2 + b^2 is formed in doubles: a row with |a| or |b| above about
%     1.3e154 comes back as zeros ([1e200 1e200 1] gives [0 0 0]); below about
%     1e-154 it loses digits ([3e-160 4e-160 1] is off by 5.6e-6, relatively)
%     and below about 2e-162 it becomes infinite ([1e-200 1e-200 1] gives
%     [Inf Inf Inf]). Remedy: scale the rows first, which leaves the lines as
%     they are: hesseform(L ./ max(abs(L(:, 1:2)), [], 2)).
%
%   Trap
%     L holds one line per row, while XPROD3 returns one vector per column:
%     write hesseform(xprod3(A, B)'). With exactly three lines the call
%     without the transpose is accepted and gives a wrong answer.
%
%   Errors, in the order they are tested
%     One input required.
%     Input must be Mx3 matrix.            not empty, and not 3 columns
%     Input must be a full double matrix.  of another class, or sparse
%     Out of memory.
%
%   Example
%     hesseform([3 4 10; -3 -4 5; 0 0 1])    % [0.6 0.8 2; -0.6 -0.8 1; NaN NaN Inf]
%
%   Reference: hesseform.md in the doc folder installed with the commands (the
%   package's folder, the folder of build_mex, doc/ of the source tree):
%   reference_page hesseform prints it and where it lies.
%   See also XPROD3, PLUCKRESID, PATCHCORR, STRIPFILT.

%!assert (hesseform ([3 4 10; -3 -4 5]), [0.6 0.8 2; -0.6 -0.8 1], eps)
%!assert (hesseform ([1 0 -7; 0 -1 2]), [1 0 -7; 0 -1 2])
%!assert (hesseform ([0 0 1; 0 0 -1; 0 0 0; 6 8 0]),
%!        [NaN NaN Inf; NaN NaN -Inf; NaN NaN NaN; 0.6 0.8 0])
%!assert (size (hesseform (zeros (0, 7))), [0 7])

%!test  # the result measures signed distances: points on the line give 0
%! l = hesseform ([2 -5 3]);
%! x = [1 -1 4];  y = (2 * x + 3) / 5;
%! assert (l * [x; y; ones(1, 3)], zeros (1, 3), 4 * eps);
%! assert (l * [1 + l(1); 1 + l(2); 1], 1 + l * [1; 1; 1], 4 * eps);

%!error <One input required\.> hesseform ()
%!error <One input required\.> hesseform ([3 4 5], [3 4 5])
%!error <Input must be Mx3 matrix\.> hesseform (ones (3, 5))
%!error <Input must be a full double matrix\.> hesseform (single ([3 4 5]))

%!demo
%! % Distances of points from a line through (0, 1) and (2, 2).
%! l = hesseform (xprod3 ([0 2; 1 2; 1 1])')
%! points = [0 2 1 -1; 1 2 4 0];
%! distances = l * [points; ones(1, 4)]
