function xy = rowcol_to_xy(u, origin)
%ROWCOL_TO_XY  The commands' 1-based (row, column) points as (x, y) points of other tools.
%   XY = ROWCOL_TO_XY(U) turns the 2 x K array U of 1-based (row, column)
%   points, one per column, into the K x 2 list of (x, y) points, one per
%   row, whose first pixel has its centre at (0, 0):
%     XY = [U(2, :)', U(1, :)'] - 1
%   XY = ROWCOL_TO_XY(U, ORIGIN) puts the first pixel's centre at
%   (ORIGIN, ORIGIN) instead: XY = [U(2, :)', U(1, :)'] - 1 + ORIGIN. The
%   inverse of XY_TO_ROWCOL with the same ORIGIN.
%
%   Errors: "u must have 2 rows, one (row, column) point per column.",
%   "origin must be a finite number."
%
%   Example
%     rowcol_to_xy([21 1; 11 4.5])     % [10 20; 3.5 0]
%
%   Reference: conversions.md in the doc folder installed with the commands
%   (reference_page conversions prints it and where it lies).
%   See also XY_TO_ROWCOL, ROWCOL_HOMOGRAPHY_TO_XY, REFERENCE_PAGE.

if nargin < 2
  origin = 0;
end
if ~(isnumeric(u) && isreal(u)) || ~ismatrix(u) || size(u, 1) ~= 2
  error('rowcol_to_xy: u must have 2 rows, one (row, column) point per column.');
end
if ~(isnumeric(origin) && isreal(origin) && isscalar(origin) && isfinite(origin))
  error('rowcol_to_xy: origin must be a finite number.');
end
u = double(full(u));
xy = [u(2, :)', u(1, :)'] - (1 - double(origin));
end

%!assert(rowcol_to_xy([21 1; 11 4.5]), [10 20; 3.5 0])
%!assert(rowcol_to_xy(xy_to_rowcol([7 -2; 0.25 9], 1), 1), [7 -2; 0.25 9])
%!error <u must have 2 rows> rowcol_to_xy([1 2 3])
