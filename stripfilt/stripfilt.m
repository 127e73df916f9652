%STRIPFILT  A one-dimensional filter applied across line segments of an image.
%   S = STRIPFILT(I, H, U1, U2) measures, for each segment from U1(:,k) to
%   U2(:,k), the response of the odd-length filter H applied along the
%   segment's normal and averaged along the segment: with H = [1 0 -1] it is
%   the strength of an edge that runs along the segment.
%
%   The image is sampled bilinearly at unit steps along the segment, starting
%   at U1(:,k), on 2m+1 lines parallel to it (H has 2m+1 taps): the segment
%   itself and its copies moved sideways by 1, 2, ..., m units to either side.
%   Each line's samples inside the image are averaged; the averages are
%   weighted by the taps and summed. H(1) belongs to the line on the right of
%   the walk from U1(:,k) to U2(:,k) as the image is shown (rows downwards),
%   H(end) to the line on its left: with d the unit direction (row, column),
%   line i = -m..m is moved by i * (-d(2), d(1)) and takes the tap H(i+m+1).
%
%   Inputs
%     I       2-D image, double or uint8, full; uint8 values are taken as 0 to
%             255, not scaled.
%     H       double, full, an odd number of taps in storage order (any shape).
%     U1, U2  2 x K double, the end points in 1-based (row, column) positions
%             of I; they need not be integers.
%
%   Output
%     S       1 x K double. The samples lie at distances 0, 1, ..., n-1 from
%             U1(:,k), n the segment's length rounded (halves up), so U2(:,k)
%             itself is not sampled. A sample is inside when it lies strictly
%             between 0 and M along the rows and between 0 and N along the
%             columns of the M x N image (between 0 and 1 the value is
%             extrapolated from the first two rows or columns). S(k) is NaN
%             when the segment is shorter than 0.5, when any of its lines has
%             no sample inside, when a NaN of the image is read, and when its
%             end points are not finite or so far apart that the length does
%             not fit 32 bits.
%
%   Traps
%     (x, y) order: the end points are (row, column). Points in (x, y) order
%       measure another part of the image without an error: pass
%       xy_to_rowcol(XY) for K x 2 (x, y) points (0-based unless told
%       otherwise), or swap the rows of 1-based 2 x K points, XY1([2 1], :).
%     A sample whose value is exactly -1234567 is left out like one outside
%       the image (a line of only such samples gives NaN): shift such an
%       image by a constant first.
%     Single or integer end points are answered with "Bad size(s) of u1,
%       u2." although their size is right: pass double(U1), double(U2).
%     Exchanging U1 and U2 exchanges the sides: [1 0 -1] changes sign.
%
%   Precision
%     Each line's samples are summed in doubles: the sum overflows when n
%     samples of |h v| exceed 1.8e308 in all (180 samples of 1e306 give Inf,
%     and with [1 0 -1] NaN): scale the image down. A large offset of the
%     image's values costs digits in proportion: an edge of 0.3 walked for
%     180 samples is off by 2.0e-10 on an image offset by 1e6, 9.1e-7 at 1e9,
%     4.2e-3 at 1e12. Remedy: subtract a constant first; the response changes
%     by that constant times sum(H).
%
%   Errors, in the order they are tested
%     Bad number of input arguments.    not 4 inputs
%     I must be 2D array.               e.g. an M x N x 3 colour image
%     I must be either double or uint8.
%     I must not be sparse.
%     I is too large.                   more than 2^31-1 rows or columns
%     h must be double vector.          H of another class
%     Vector h must have odd length.    an even number of taps, or none
%     h must not be sparse.
%     h is too long.                    more than 2^31-1 taps
%     Bad size(s) of u1, u2.            not 2-D double arrays of 2 rows and
%                                       the same number of columns
%     u1 must not be sparse.
%     u2 must not be sparse.
%     Out of memory.
%
%   Threads
%     STRIPFILT runs on the calling thread unless the environment variable
%     MEXGEOM_THREADS asks for more: setenv('MEXGEOM_THREADS', '4') for up to
%     4 threads, 'auto' (or '0') for one per processor this process may use;
%     unset, empty, '1' or anything but a positive integer means one thread.
%     It is read at every call. The segments are shared among the threads and
%     every response has the same bits for every thread count. Calls too
%     small to gain (a few hundred segments) stay on one thread. Leave it
%     unset when calls already run in parallel processes (parfor, parcellfun).
%
%   Example
%     I = zeros(20);  I(:, 11:end) = 100;   % an edge between columns 10 and 11
%     % two segments walking up the image, one along the edge, one away from it
%     u1 = [18 18; 10.5 5];  u2 = [3 3; 10.5 5];
%     stripfilt(I, [1 0 -1], u1, u2)       % [100 0]
%
%   Reference: stripfilt.md in the doc folder installed with the commands (the
%   package's folder, the folder of build_mex, doc/ of the source tree):
%   reference_page stripfilt prints it and where it lies.
%   See also XY_TO_ROWCOL, PATCHCORR, HESSEFORM, XPROD3, PLUCKRESID.

%!shared I, u1, u2
%! I = magic (8);
%! u1 = [4; 2];  u2 = [4; 5];     # along row 4, sampling columns 2, 3 and 4

%!assert (stripfilt (I, [1 0 -1], u1, u2), mean (I(5, 2:4)) - mean (I(3, 2:4)), 1e-12)
%!assert (stripfilt (I, [1 0 -1], u2, u1), mean (I(3, 3:5)) - mean (I(5, 3:5)), 1e-12)
%!assert (stripfilt (I, 2, [u1 u1], [u2 u1]), [2 * mean(I(4, 2:4)), NaN], 1e-12)
%!assert (stripfilt (uint8 (I), [1 2 3], u1, u2), stripfilt (I, [1 2 3], u1, u2))
%!assert (size (stripfilt (I, 1, zeros (2, 0), zeros (2, 0))), [1 0])

%!test  # a line that lies wholly outside the image makes the response NaN
%! assert (isnan (stripfilt (I, [1 0 -1], [1; 2], [1; 5])));
%! assert (isfinite (stripfilt (I, 1, [1; 2], [1; 5])));

%!test  # every thread count gives the bits of one thread
%! J = 255 * rand (150);
%! a = 210 * rand (2, 3000) - 30;
%! b = a + 60 * (rand (2, 3000) - 0.5);
%! h = [-1 -4 -5 0 5 4 1];
%! s = stripfilt (J, h, a, b);
%! unwind_protect
%!   for t = {'2', '3', 'auto', '1000'}
%!     setenv ('MEXGEOM_THREADS', t{1});
%!     assert (isequaln (stripfilt (J, h, a, b), s));
%!   end
%! unwind_protect_cleanup
%!   unsetenv ('MEXGEOM_THREADS');
%! end_unwind_protect

%!error <Bad number of input arguments\.> stripfilt (I, 1, u1)
%!error <I must be 2D array\.> stripfilt (ones (5, 5, 3), 1, u1, u2)
%!error <Vector h must have odd length\.> stripfilt (I, [1 -1], u1, u2)
%!error <Bad size\(s\) of u1, u2\.> stripfilt (I, 1, u1, [u2 u2])

%!demo
%! % A bright square on a dark background. The edge filter [1 0 -1] answers
%! % +1 along its sides walked clockwise, -1 against it, and 0 inside.
%! I = zeros (30);
%! I(10:20, 10:20) = 1;
%! u1 = [ 9.5  9.5 20.5  15;  12  18 12  12];
%! u2 = [ 9.5  9.5 20.5  15;  18  12 18  18];
%! names = {'top, left to right', 'top, right to left', 'bottom, left to right', ...
%!          'middle'};
%! s = stripfilt (I, [1 0 -1], u1, u2);
%! for k = 1:4
%!   printf ('%-22s %5.2f\n', names{k}, s(k));
%! end
