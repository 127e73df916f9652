% stripfilt in GNU Octave: messages in order, shapes, documented responses and a plain reference.

%!shared I, h, u1, u2, px
%! px = @(r, c) 3 * r.^2 + 7 * c + r .* c;   % element (r, c), 1-based; rows and columns all differ
%! [R, C] = ndgrid(1:6, 1:7);
%! I = px(R, C);
%! h = [1 0 -1];
%! u1 = [3; 2];
%! u2 = [3; 5];

%!function v = ref_sample(I, p1, p2)
%!  % Bilinear value at the 0-based position (p1, p2), or -1234567 outside.
%!  [M, N] = size(I);
%!  t1 = fix(p1);
%!  t2 = fix(p2);
%!  if ~(t1 >= 0 && t2 >= 0 && t1 < M - 1 && t2 < N - 1)
%!    v = -1234567;
%!    return;
%!  end
%!  f1 = p1 - t1;
%!  f2 = p2 - t2;
%!  e = @(r, c) double(I(r + 1, c + 1));
%!  v = (1 - f2) * ((1 - f1) * e(t1, t2) + f1 * e(t1 + 1, t2)) + ...
%!      f2 * ((1 - f1) * e(t1, t2 + 1) + f1 * e(t1 + 1, t2 + 1));
%!endfunction

%!function r = ref_stripfilt(I, h, u1, u2)
%!  % Every step of every offset line sampled and tested, nothing skipped.
%!  m = (numel(h) - 1) / 2;
%!  r = zeros(1, columns(u1));
%!  for k = 1:columns(u1)
%!    a = u1(:, k) - 1;
%!    b = u2(:, k) - 1;
%!    L = sqrt((b(1) - a(1)) * (b(1) - a(1)) + (b(2) - a(2)) * (b(2) - a(2)));
%!    n = 0;
%!    if L > 0 && L + 0.5 < 2^31
%!      n = fix(L + 0.5);
%!    end
%!    d1 = (b(1) - a(1)) / L;
%!    d2 = (b(2) - a(2)) / L;
%!    total = 0;
%!    for i = -m:m
%!      w = h(i + m + 1);
%!      s = 0;
%!      count = 0;
%!      for j = 0:n - 1
%!        v = ref_sample(I, (j * d1 + (-d2 * i)) + a(1), (j * d2 + i * d1) + a(2));
%!        if v ~= -1234567
%!          s = s + w * v;
%!          count = count + 1;
%!        end
%!      end
%!      total = total + s / count;
%!    end
%!    r(k) = total;
%!  end
%!endfunction

%!test  % messages, each for the first failing test
%! cases = {
%!   'Bad number of input arguments.', {};
%!   'Bad number of input arguments.', {I, h, u1};
%!   'Bad number of input arguments.', {I, h, u1, u2, 1};
%!   'Bad number of input arguments.', {single(ones(2, 2, 3)), h, u1};
%!   'I must be 2D array.', {ones(6, 7, 3), h, u1, u2};
%!   'I must be 2D array.', {single(ones(6, 7, 3)), h, u1, u2};
%!   'I must be either double or uint8.', {single(I), h, u1, u2};
%!   'I must be either double or uint8.', {int16(I), [1 2], u1, u2};
%!   'I must be either double or uint8.', {true(6, 7), h, u1, u2};
%!   'I must be either double or uint8.', {'image', h, u1, u2};
%!   'I must not be sparse.', {sparse(I), [], u1, u2};
%!   'I is too large.', {zeros(2^31, 0), h, u1, u2};
%!   'I is too large.', {zeros(0, 2^31, 'uint8'), h, u1, u2};
%!   'h must be double vector.', {I, single(h), u1, u2};
%!   'h must be double vector.', {I, uint8([1 2]), u1, u2};
%!   'h must be double vector.', {I, 'abc', u1, u2};
%!   'Vector h must have odd length.', {I, [], u1, u2};
%!   'Vector h must have odd length.', {I, zeros(1, 0), u1, u2};
%!   'Vector h must have odd length.', {I, [1 2], u1, u2};
%!   'Vector h must have odd length.', {I, ones(2), ones(3, 1), u2};
%!   'Vector h must have odd length.', {I, sparse([1 2]), u1, u2};
%!   'h must not be sparse.', {I, sparse(h), u1, u2};
%!   'Bad size(s) of u1, u2.', {I, h, [3; 2; 1], u2};
%!   'Bad size(s) of u1, u2.', {I, h, [], u2};
%!   'Bad size(s) of u1, u2.', {I, h, ones(2, 1, 2), u2};
%!   'Bad size(s) of u1, u2.', {I, h, single(u1), u2};
%!   'Bad size(s) of u1, u2.', {I, h, u1, [3 5]};
%!   'Bad size(s) of u1, u2.', {I, h, u1, ones(2, 1, 2)};
%!   'Bad size(s) of u1, u2.', {I, h, u1, int32(u2)};
%!   'Bad size(s) of u1, u2.', {I, h, u1, [u2 u2]};
%!   'Bad size(s) of u1, u2.', {I, h, sparse([u1; 1]), u2};
%!   'u1 must not be sparse.', {I, h, sparse(u1), u2};
%!   'u2 must not be sparse.', {I, h, u1, sparse(u2)};
%! };
%! for k = 1:rows(cases)
%!   expect_error('stripfilt', cases{k, 1}, cases{k, 2}{:});
%! end

%!test  % documented responses, 1-based end points
%! mr = @(r, c) mean(px(r, c));                 % mean of row r over the columns c
%! lin = @(r, c) 2 * r - 3 * c + 5;             % bilinear sampling reproduces it exactly
%! [R, C] = ndgrid(1:20, 1:20);
%! J = lin(R, C);
%! on = @(i) lin(5 + 2 * 0.6 - 0.8 * i, 5 + 2 * 0.8 + 0.6 * i);  % mean along offset line i
%! [R, C] = ndgrid(1:12, 1:9);
%! I12 = px(R, C);
%! nine = [1 -2 0.5; 3 -1 2; 0.25 -4 1.5];
%! nineTaps = 0;
%! for k = 0:8
%!   nineTaps += nine(k + 1) * mr(6 - (k - 4), 3:5);
%! end
%! INaN = I;
%! INaN(4, 3) = NaN;
%! IOut = I;
%! IOut(3, 3) = -1234567;
%! u200 = uint8(200 * ones(10));
%! cases = {
%!   'rows 4 minus 2', I, h, [3; 2], [3; 5], mr(4, 2:4) - mr(2, 2:4);
%!   'reversed: rows 2 minus 4', I, h, [3; 5], [3; 2], mr(2, 3:5) - mr(4, 3:5);
%!   'h as a column', I, h', [3; 2], [3; 5], mr(4, 2:4) - mr(2, 2:4);
%!   'column 3 downward: columns 2 minus 4', I, h, [2; 3], [5; 3], ...
%!       mean(px(2:4, 2)) - mean(px(2:4, 4));
%!   'length 0.5: one sample per line', I, h, [3; 3], [3; 3.5], px(4, 3) - px(2, 3);
%!   'length 0.49: no sample', I, h, [3; 3], [3; 3.49], NaN;
%!   'u1 equal to u2, one tap', I, 1, [3; 3], [3; 3], NaN;
%!   'u1 equal to u2, three taps', I, h, [3; 3], [3; 3], NaN;
%!   'first row, three taps', I, h, [1; 2], [1; 5], NaN;
%!   'first row, one tap', I, 2, [1; 2], [1; 5], 2 * mr(1, 2:4);
%!   'row before last is inside', I, 1, [5; 2], [5; 5], mr(5, 2:4);
%!   'last row is outside', I, 1, [6; 2], [6; 5], NaN;
%!   'last column is outside', I, 1, [2; 7], [5; 7], NaN;
%!   'row 0.5 extrapolates', I, 1, [0.5; 3], [0.5; 4], 1.5 * px(1, 3) - 0.5 * px(2, 3);
%!   'row 0 is outside', I, 1, [0; 3], [0; 4], NaN;
%!   'linear image, 3-4-5 diagonal', J, 2.5, [5; 5], [8; 9], 2.5 * on(0);
%!   'linear image, taps along the normal', J, [1 0.5 -2], [5; 5], [8; 9], ...
%!       on(-1) + 0.5 * on(0) - 2 * on(1);
%!   '3x3 h is nine taps', I12, nine, [6; 3], [6; 6], nineTaps;
%!   'uniform uint8 200', u200, 1, [5; 2], [5; 8], 200;
%!   'uniform uint8 200, taps 1/4 1/2 1/4', u200, [0.25 0.5 0.25], [5; 2], [5; 8], 200;
%!   'NaN element read with zero weight', INaN, 1, [3; 2], [3; 5], NaN;
%!   'element -1234567 is left out', IOut, 1, [3; 2], [3; 5], (px(3, 2) + px(3, 4)) / 2;
%!   'complex image: real part', complex(I, 1e6 * ones(6, 7)), 1, [5; 2], [5; 5], mr(5, 2:4);
%!   'one-row image, row 0.5', I(1, :), 1, [0.5; 2], [0.5; 5], NaN;
%!   'one-column image, column 0.5', I(:, 1), 1, [2; 0.5], [5; 0.5], NaN;
%!   'empty uint8 image', uint8([]), 1, [0.5; 0.5], [0.5; 3], NaN;
%! };
%! for k = 1:rows(cases)
%!   [name, img, taps, a, b, expected] = cases{k, :};
%!   got = stripfilt(img, taps, a, b);
%!   assert(size(got), [1 1]);
%!   if isnan(expected)
%!     ok = isnan(got);
%!   elseif any(strcmp(name, {'uniform uint8 200', 'uniform uint8 200, taps 1/4 1/2 1/4'}))
%!     ok = got == expected;
%!   else
%!     ok = abs(got - expected) <= 1e-12 * max(1, abs(expected));
%!   end
%!   if ~ok
%!     error('%s: got %.17g, expected %.17g', name, got, expected);
%!   end
%! end

%!test  % shapes of the answer; the row is filled also when no output is requested
%! assert(stripfilt(I, h, zeros(2, 0), zeros(2, 0)), zeros(1, 0));
%! assert(size(stripfilt(I, h, [3 3 3; 2 2 2], [3 3 3; 5 5 5])), [1 3]);
%! assert(isnan(stripfilt(zeros(2^31 - 1, 0), 1, [2; 2], [2; 5])));
%! stripfilt(I, h, [3; 2], [3; 5]);
%! assert(ans, px(4, 3) - px(2, 3), 1e-12);

%!test  % columns are the segments, in order
%! a = [3 3 3 1 0.5 2; 2 5 3 2 3 3];
%! b = [3 3 3 1 0.5 5; 5 2 3.5 5 4 3];
%! all = stripfilt(I, h, a, b);
%! for k = 1:columns(a)
%!   assert(isequaln(all(k), stripfilt(I, h, a(:, k), b(:, k))));
%! end

%!test  % random images and segments against the plain loop, to the bit
%! rand('seed', 7);
%! for trial = 1:12
%!   M = randi([0 14]);
%!   N = randi([0 14]);
%!   A = 200 * rand(M, N) - 100;
%!   A(rand(M, N) < 0.02) = NaN;
%!   A(rand(M, N) < 0.02) = -1234567;
%!   B = uint8(randi([0 255], M, N));
%!   taps = 4 * rand(1, 2 * randi([0 2]) + 1) - 2;
%!   K = 12;
%!   a = [-4 + (M + 8) * rand(1, K); -4 + (N + 8) * rand(1, K)];
%!   b = [-4 + (M + 8) * rand(1, K); -4 + (N + 8) * rand(1, K)];
%!   a(:, 1:3) = round(2 * a(:, 1:3)) / 2;   % on the half-unit grid: samples on the limits
%!   b(:, 1:3) = round(2 * b(:, 1:3)) / 2;
%!   b(1, 2) = a(1, 2);                      % along a row
%!   b(2, 3) = a(2, 3);                      % along a column
%!   assert(isequaln(stripfilt(A, taps, a, b), ref_stripfilt(A, taps, a, b)));
%!   assert(isequaln(stripfilt(B, taps, a, b), ref_stripfilt(B, taps, a, b)));
%!   assert(isequaln(stripfilt(B, taps, a, b), stripfilt(double(B), taps, a, b)));
%! end

%!test  % segments far longer than the image: the same answers, quickly
%! taps = [0.5 -1 2 0.25 -0.75];
%! t = 2^28;
%! cases = {
%!   [3; 1], [3; 2e9], [3; 1], [3; 12];
%!   [3; 1], [3; 2^31], [3; 1], [3; 12];               % 2^31 - 1 samples per line
%!   [3; -2e9], [3; 1e8], [3; -4], [3; 12];
%!   [2e9; 3.5], [1; 3.5], [12; 3.5], [1; 3.5];
%!   [1.25; -2], [3 * t + 1.25; 4 * t - 2], [1.25; -2], [3 * 16 + 1.25; 4 * 16 - 2];
%! };
%! tic;
%! for k = 1:rows(cases)
%!   expected = ref_stripfilt(I, taps, cases{k, 3}, cases{k, 4});
%!   assert(isfinite(expected));
%!   assert(isequaln(stripfilt(I, taps, cases{k, 1}, cases{k, 2}), expected));
%! end
%! assert(toc < 2);

%!test  % lengths and positions that no 32-bit integer holds give NaN
%! ends = {
%!   [NaN; 3], [4; 3];
%!   [3; 3], [3; NaN];
%!   [3; 3], [Inf; 3];
%!   [-Inf; 3], [Inf; 3];
%!   [3; 3], [3; 1e300];
%!   [-1e300; 3], [3; 3];
%!   [1e300; 3], [1e300; 8];
%!   [2^31; 3], [2^31; 8];
%!   [3; -2^31 - 1], [8; -2^31 - 1];
%!   [3; 3], [3; 3 + 2^31 - 0.5];
%!   [3; 3], [3; 1e15];
%! };
%! for k = 1:rows(ends)
%!   assert(isnan(stripfilt(I, 1, ends{k, 1}, ends{k, 2})));
%!   assert(isnan(stripfilt(uint8(I), h, ends{k, 1}, ends{k, 2})));
%! end

%!test  % the documented limits: sums that overflow, the outside marker, large offsets
%! big = 1e306 * ones(300);
%! % 179 samples of 1e306 sum to 1.79e308, 180 overflow; two infinite lines cancel to NaN
%! assert(stripfilt(big, 1, [150; 10], [150; 189]), 1e306, 1e292);
%! assert(stripfilt(big, 1, [150; 10], [150; 190]), Inf);
%! assert(isnan(stripfilt(big, [1 0 -1], [150; 10], [150; 190])));
%! assert(stripfilt(big / 1e10, [1 0 -1], [150; 10], [150; 190]), 0);
%! % a sample whose value is exactly -1234567 is left out like one outside the image
%! assert(isnan(stripfilt(-1234567 * ones(10), 1, [5; 2], [5; 8])));
%! assert(stripfilt(-1234567 * ones(10) + 1234567, 1, [5; 2], [5; 8]), 0);
%! % an edge of 0.3 walked for 180 samples, on an image offset by 1e6, 1e9 and 1e12
%! [r, c] = ndgrid(1:200, 1:200);
%! J = 0.5 + 0.3 * (c > 100.5) + 0.001 * mod(r * 7 + c * 3, 11);
%! s0 = stripfilt(J, [1 0 -1], [190; 100.5], [10; 100.5]);
%! rows = 190:-1:11;                 % h(1) reads between columns 101 and 102, h(3) 99 and 100
%! assert(s0, mean(J(rows, 101:102) * [0.5; 0.5] - J(rows, 99:100) * [0.5; 0.5]), 1e-14);
%! errors = arrayfun(@(offset) abs(stripfilt(J + offset, [1 0 -1], [190; 100.5], ...
%!                                           [10; 100.5]) - s0), [1e6 1e9 1e12]);
%! assert(sprintf('%.1e ', errors), '2.0e-10 9.1e-07 4.2e-03 ');
