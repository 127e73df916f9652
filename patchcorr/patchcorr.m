%PATCHCORR  Weighted correlation of image windows under a homography.
%   S = PATCHCORR(X, Y, H, W, U) scores every point (column) of U: S(k) is the
%   weighted correlation coefficient between the window W laid about the point
%   U(:,k) in image X and the corresponding window in image Y. The window in Y
%   is the local affine approximation of the homography H at the point: its
%   centre is the image of U(:,k) under H, its offsets go through the Jacobian
%   of H there. Samples are read by bilinear interpolation.
%
%   S = PATCHCORR(X, Y, H, W, U, 'nearest') reads the samples by truncation to
%   the grid instead. Only the exact text 'nearest' selects it; any other sixth
%   input (another text, another case, a number) selects bilinear sampling.
%
%   Inputs
%     X, Y    the two images, double or uint8, full (not sparse), of any size;
%             uint8 values are taken as 0 to 255, not scaled. An M x N x 3
%             array is read as one M x 3N image.
%     H       3 x 3 double: maps the 1-based position (row, column, 1) of X
%             to homogeneous (row, column, w) of Y.
%     W       3 x nW double, one window sample per column: row offset, column
%             offset, weight. Weights may be zero or negative.
%     U       2 x K double, the points in 1-based coordinates of X, row first;
%             or empty.
%
%   Output
%     S       1 x K double row of scores, in [-1, 1] when no weight is
%             negative, up to the rounding that Precision below measures
%             (negative weights can take a score outside). A sample
%             counts when its position lies in [2, M) along the rows and
%             [2, N) along the columns of both images (M x N the image's size,
%             1-based coordinates); a sample at a NaN or infinite position is
%             skipped, so a non-finite offset in a column of W drops that
%             sample only. S(k) is NaN when fewer than three samples count,
%             when either window is flat (weighted variance at most 1e-9), or
%             when a used sample has a NaN or infinite weight or reads a NaN.
%             An empty U of 0 x K gives K zeros.
%
%   Traps
%     (x, y) order: positions are (row, column). A homography written for
%       (x, y) is accepted and scores near 0: pass xy_homography_to_rowcol(Hxy)
%       and xy_to_rowcol(XY) (K x 2 points, 0-based as in OpenCV unless told
%       otherwise); by hand, with S = [0 1 0; 1 0 0; 0 0 1], S * Hxy * S and
%       XY(:, [2 1])' (plus 1 for a 0-based frame: see xy_to_rowcol).
%     'nearest' truncates, it does not round: rows 2 to 2.99 read row 2, so a
%       search for the best shift is biased by half a pixel. To round, pass
%       U + 0.5 and S * H / S with S = [1 0 0.5; 0 1 0.5; 0 0 1].
%     Only the exact lower-case 'nearest' selects it; 'Nearest' is bilinear.
%     A colour image M x N x 3 is read as one M x 3N image: make it grey.
%
%   Precision
%     The moments are sums of squares less squared means, in doubles: a score
%     is off by about 2e-16 (m/s)^2 and at most 1.2e-15 (m/s)^2 in the
%     measurements, m the mean of a window's values and s their standard
%     deviation. Measured on images of values 0.37 to 0.62
%     (s 0.013 to 0.05 in 7 x 7 windows, 2,000 points): offset by 1e4 the
%     largest error is 2.8e-4; by 1e5 it is 0.034, and 906 scores exceed 1 (up
%     to 1.025); by 1e6 the scores are noise (up to 4.2, 378 NaN). Remedy:
%     subtract a constant near the values from each image first, which leaves
%     the exact score unchanged: patchcorr(X - cx, Y - cy, ...). uint8 images
%     are far from it. Images scaled until s exceeds about 1e77 score 0 (the
%     variances' product overflows), and NaN once the squares summed over a
%     window overflow (values above about 2e153 for 49 samples); s below
%     about 3e-5 makes a flat window (NaN). Remedy: rescale the images.
%
%   Errors, in the order they are tested
%     Bad number of input parameters.      not 5 or 6 inputs
%     X must be either double or uint8.    X of another class
%     X must not be sparse.
%     X is too large.                      more than 2^31-1 rows or columns
%     (the same three for Y)
%     H must be 3x3 matrix.
%     H must be a full double matrix.
%     W must have 3 rows.
%     W must be a full double matrix.
%     W has too many columns.              more than 2^31-1 columns
%     Out of memory.
%     Bad size of u.                       U not empty and not 2 rows
%     u must be a full double matrix.      U of another class, or sparse
%
%   Threads
%     PATCHCORR runs on the calling thread unless the environment variable
%     MEXGEOM_THREADS asks for more: setenv('MEXGEOM_THREADS', '4') for up to
%     4 threads, 'auto' (or '0') for one per processor this process may use;
%     unset, empty, '1' or anything but a positive integer means one thread.
%     It is read at every call. The points are shared among the threads and
%     every score has the same bits for every thread count. Calls too small
%     to gain (a few hundred window samples per thread) stay on one thread.
%     Leave it unset when calls already run in parallel processes (parfor,
%     parcellfun).
%
%   Example
%     X = reshape(0:24, 5, 5);
%     H = [1 0 0.5; 0 1 0; 0 0 1];     % a shift by half a row
%     W = [0 0.5 1; 0 0 0; 1 1 1];     % three samples along the rows
%     patchcorr(X, X, H, W, [3; 3])             % 1
%     patchcorr(X, X, H, W, [3; 3], 'nearest')  % 0.5
%
%   Reference: patchcorr.md in the doc folder installed with the commands (the
%   package's folder, the folder of build_mex, doc/ of the source tree):
%   reference_page patchcorr prints it and where it lies.
%   See also XY_TO_ROWCOL, XY_HOMOGRAPHY_TO_ROWCOL, STRIPFILT, PLUCKRESID,
%   XPROD3, HESSEFORM.

%!shared X, H, W
%! X = reshape (0:24, 5, 5);
%! H = [1 0 0.5; 0 1 0; 0 0 1];
%! W = [0 0.5 1; 0 0 0; 1 1 1];

%!assert (patchcorr (X, X, H, W, [3; 3]), 1)
%!assert (patchcorr (X, X, H, W, [3; 3], 'nearest'), 0.5)
%!assert (patchcorr (X, X, H, W, [3; 3], 'Nearest'), 1)
%!assert (patchcorr (X, X, H, W, zeros (0, 4)), zeros (1, 4))

%!test  # too few samples inside, or a flat window: NaN, the other points still scored
%! s = patchcorr (X, X, H, W, [1.9 3 3.5; 3 3 3]);
%! assert (isnan (s([1 3])) && s(2) == 1);
%! assert (isnan (patchcorr (ones (5), X, H, W, [3; 3])));

%!test  # a uint8 image scores like the double image of the same numbers
%! Y = 7 * magic (6);
%! u = [3 3.5; 3 4.25];
%! assert (patchcorr (uint8 (Y), Y, eye (3), W, u), patchcorr (Y, Y, eye (3), W, u));

%!test  # every thread count gives the bits of one thread
%! Z = 255 * rand (120);
%! [dr, dc] = ndgrid (-7:7);
%! V = [dr(:)'; dc(:)'; ones(1, 225)];
%! u = 150 * rand (2, 3000) - 15;
%! s = patchcorr (Z, Z', H, V, u);
%! unwind_protect
%!   for t = {'2', '3', 'auto', '1000'}
%!     setenv ('MEXGEOM_THREADS', t{1});
%!     assert (isequaln (patchcorr (Z, Z', H, V, u), s));
%!   end
%! unwind_protect_cleanup
%!   unsetenv ('MEXGEOM_THREADS');
%! end_unwind_protect

%!error <Bad number of input parameters\.> patchcorr (X, X, H, W)
%!error <X must be either double or uint8\.> patchcorr (single (X), X, H, W, [3; 3])
%!error <H must be 3x3 matrix\.> patchcorr (X, X, eye (2), W, [3; 3])
%!error <W must have 3 rows\.> patchcorr (X, X, H, W(1:2, :), [3; 3])
%!error <Bad size of u\.> patchcorr (X, X, H, W, [3; 3; 3])

%!demo
%! % Y is X moved down by 1.5 rows. The right homography scores near 1 at every
%! % point, a wrong one does not; truncation to the grid costs a little.
%! f = @(r, c) sin (r / 2) .* cos (c / 3) + 0.5 * sin ((r + 2 * c) / 3);
%! [r, c] = ndgrid (1:40, 1:40);
%! X = f (r, c);
%! Y = f (r - 1.5, c);
%! [dr, dc] = ndgrid (-3:3, -3:3);
%! W = [dr(:)'; dc(:)'; exp(-(dr(:)' .^ 2 + dc(:)' .^ 2) / 8)];   % 7 x 7 Gaussian
%! u = [10 20 30; 10 20 30];
%! right = patchcorr (X, Y, [1 0 1.5; 0 1 0; 0 0 1], W, u)
%! wrong = patchcorr (X, Y, [1 0 -1.5; 0 1 0; 0 0 1], W, u)
%! nearest = patchcorr (X, Y, [1 0 1.5; 0 1 0; 0 0 1], W, u, 'nearest')
