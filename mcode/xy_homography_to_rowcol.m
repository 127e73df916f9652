function H = xy_homography_to_rowcol(Hxy, origin)
%XY_HOMOGRAPHY_TO_ROWCOL  An (x, y) homography of other tools as PATCHCORR's H.
%   H = XY_HOMOGRAPHY_TO_ROWCOL(HXY) turns the 3 x 3 homography HXY, which
%   maps (x, y, 1) of one image to homogeneous (x, y, w) of the other, the
%   centre of the first pixel at (0, 0) as in OpenCV and scikit-image, into
%   PATCHCORR's H, which maps 1-based (row, column, 1) of X to homogeneous
%   (row, column, w) of Y. XY_TO_ROWCOL turns the points likewise.
%
%   H = XY_HOMOGRAPHY_TO_ROWCOL(HXY, ORIGIN) takes (x, y) frames whose first
%   pixel has its centre at (ORIGIN, ORIGIN): 0 (the default, see
%   XY_TO_ROWCOL for why), 1 for MATLAB's own (x, y), 0.5 where pixel corners
%   lie on whole numbers.
%
%   The algebra: with S = [0 1 0; 1 0 0; 0 0 1] (the exchange of x and y) and
%   B = [1 0 1-ORIGIN; 0 1 1-ORIGIN; 0 0 1] (the shift to 1-based),
%     H = B * S * HXY * S / B
%   computed here entry by entry, the same numbers in every host. H keeps
%   the scale of HXY.
%
%   Errors: "Hxy must be a 3 x 3 matrix.", "origin must be a finite number."
%
%   Example
%     Hxy = [1 0 2; 0 1 0.5; 0 0 1];          % 2 pixels along x, half a pixel along y
%     xy_homography_to_rowcol(Hxy)            % [1 0 0.5; 0 1 2; 0 0 1]
%     % twice the size, about the first pixel:
%     xy_homography_to_rowcol(diag([2 2 1]))  % [2 0 -1; 0 2 -1; 0 0 1]
%
%   Reference: conversions.md in the doc folder installed with the commands
%   (reference_page conversions prints it and where it lies).
%   See also XY_TO_ROWCOL, ROWCOL_HOMOGRAPHY_TO_XY, PATCHCORR, REFERENCE_PAGE.

if nargin < 2
  origin = 0;
end
if ~(isnumeric(Hxy) && isreal(Hxy)) || ~isequal(size(Hxy), [3 3])
  error('xy_homography_to_rowcol: Hxy must be a 3 x 3 matrix.');
end
if ~(isnumeric(origin) && isreal(origin) && isscalar(origin) && isfinite(origin))
  error('xy_homography_to_rowcol: origin must be a finite number.');
end
t = 1 - double(origin);
H = double(full(Hxy([2 1 3], [2 1 3])));
% B * H: rows 1 and 2 gain t times row 3; then * inv(B): column 3 loses t times columns 1 and 2.
H(1:2, :) = H(1:2, :) + t * H(3, :);
H(:, 3) = H(:, 3) - t * (H(:, 1) + H(:, 2));
end

%!test  % the same map as the recipe, on points of either frame
%! Hxy = [1.1 0.2 3; -0.1 0.9 -2; 1e-3 2e-3 1];
%! for origin = [0 1 0.5]
%!   H = xy_homography_to_rowcol(Hxy, origin);
%!   S = [0 1 0; 1 0 0; 0 0 1];
%!   B = [1 0 1 - origin; 0 1 1 - origin; 0 0 1];
%!   assert(H, B * S * Hxy * S / B, 1e-14);
%!   g = Hxy * [5; 7; 1];
%!   h = H * [xy_to_rowcol([5 7], origin); 1];
%!   assert(h(1:2) / h(3), xy_to_rowcol(g(1:2)' / g(3), origin), 1e-13);
%! end

%!error <Hxy must be a 3 x 3 matrix\.> xy_homography_to_rowcol(eye(2))
