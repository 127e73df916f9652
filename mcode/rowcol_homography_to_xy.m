function Hxy = rowcol_homography_to_xy(H, origin)
%ROWCOL_HOMOGRAPHY_TO_XY  PATCHCORR's H as an (x, y) homography of other tools.
%   HXY = ROWCOL_HOMOGRAPHY_TO_XY(H) turns PATCHCORR's homography H (1-based
%   (row, column, 1) of X to homogeneous (row, column, w) of Y) into the
%   homography HXY between (x, y) frames whose first pixel has its centre at
%   (0, 0); ROWCOL_HOMOGRAPHY_TO_XY(H, ORIGIN) at (ORIGIN, ORIGIN). The
%   inverse of XY_HOMOGRAPHY_TO_ROWCOL with the same ORIGIN: with S and B as
%   there, HXY = S * (B \ H * B) * S.
%
%   Errors: "H must be a 3 x 3 matrix.", "origin must be a finite number."
%
%   Example
%     rowcol_homography_to_xy([1 0 0.5; 0 1 2; 0 0 1])   % [1 0 2; 0 1 0.5; 0 0 1]
%
%   Reference: conversions.md in the doc folder installed with the commands
%   (reference_page conversions prints it and where it lies).
%   See also XY_HOMOGRAPHY_TO_ROWCOL, ROWCOL_TO_XY, PATCHCORR, REFERENCE_PAGE.

if nargin < 2
  origin = 0;
end
if ~(isnumeric(H) && isreal(H)) || ~isequal(size(H), [3 3])
  error('rowcol_homography_to_xy: H must be a 3 x 3 matrix.');
end
if ~(isnumeric(origin) && isreal(origin) && isscalar(origin) && isfinite(origin))
  error('rowcol_homography_to_xy: origin must be a finite number.');
end
t = 1 - double(origin);
Hxy = double(full(H));
% inv(B) * H: rows 1 and 2 lose t times row 3; then * B: column 3 gains t times columns 1 and 2.
Hxy(1:2, :) = Hxy(1:2, :) - t * Hxy(3, :);
Hxy(:, 3) = Hxy(:, 3) + t * (Hxy(:, 1) + Hxy(:, 2));
Hxy = Hxy([2 1 3], [2 1 3]);
end

%!test  % the inverse of xy_homography_to_rowcol
%! Hxy = [1.1 0.2 3; -0.1 0.9 -2; 1e-3 2e-3 1];
%! for origin = [0 1 0.5]
%!   back = rowcol_homography_to_xy(xy_homography_to_rowcol(Hxy, origin), origin);
%!   assert(back, Hxy, 1e-14);
%! end

%!error <H must be a 3 x 3 matrix\.> rowcol_homography_to_xy(ones(3, 4))
