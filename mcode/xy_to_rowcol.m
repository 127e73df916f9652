function u = xy_to_rowcol(xy, origin)
%XY_TO_ROWCOL  (x, y) points of other tools as the 1-based (row, column) points of the commands.
%   U = XY_TO_ROWCOL(XY) turns the K x 2 list XY, one (x, y) point per row
%   as OpenCV, scikit-image and most vision code hold them (x along the
%   columns, y down the rows, the centre of the first pixel at (0, 0)), into
%   the 2 x K array U of PATCHCORR and STRIPFILT: one point per column, row
%   first, the centre of the first element at (1, 1):
%     U = [XY(:, 2)'; XY(:, 1)'] + 1
%
%   U = XY_TO_ROWCOL(XY, ORIGIN) takes (x, y) whose first pixel has its
%   centre at (ORIGIN, ORIGIN): 0 (the default), 1 for MATLAB's own (x, y)
%   (intrinsic coordinates), 0.5 where pixel corners lie on whole numbers.
%   U = [XY(:, 2)'; XY(:, 1)'] + 1 - ORIGIN.
%
%   Why 0 by default: (x, y) points mostly come from 0-based tools, and
%   there the wrong frame fails quietly: one pixel off, a homography still
%   scored 0.9926 where the right frame scored 0.9986 (conversions.md), so
%   no one can tell from the answer.
%
%   A 2 x 2 XY is two points, one per row. The scores of PATCHCORR and
%   STRIPFILT come in the order of the points: they need no conversion back.
%   ROWCOL_TO_XY turns positions back.
%
%   Errors: "xy must have 2 columns, one (x, y) point per row.", "origin
%   must be a finite number."
%
%   Example
%     xy_to_rowcol([10 20; 3.5 0])     % [21 1; 11 4.5]
%     xy_to_rowcol([10 20], 1)         % [20; 10]
%
%   Reference: conversions.md in the doc folder installed with the commands
%   (reference_page conversions prints it and where it lies).
%   See also ROWCOL_TO_XY, XY_HOMOGRAPHY_TO_ROWCOL, PATCHCORR, STRIPFILT,
%   REFERENCE_PAGE.

if nargin < 2
  origin = 0;
end
if ~(isnumeric(xy) && isreal(xy)) || ~ismatrix(xy) || size(xy, 2) ~= 2
  error('xy_to_rowcol: xy must have 2 columns, one (x, y) point per row.');
end
if ~(isnumeric(origin) && isreal(origin) && isscalar(origin) && isfinite(origin))
  error('xy_to_rowcol: origin must be a finite number.');
end
xy = double(full(xy));
u = [xy(:, 2)'; xy(:, 1)'] + (1 - double(origin));
end

%!assert(xy_to_rowcol([10 20; 3.5 0]), [21 1; 11 4.5])
%!assert(xy_to_rowcol([10 20], 0.5), [20.5; 10.5])
%!assert(size(xy_to_rowcol(zeros(0, 2))), [2 0])
%!error <xy must have 2 columns> xy_to_rowcol([1; 2])
