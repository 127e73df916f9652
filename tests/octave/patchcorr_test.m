% patchcorr in GNU Octave: messages in order, shapes, worked examples and properties.

%!shared X, H, W, u
%! X = reshape(0:24, 5, 5);           % element (r, c), 0-based, is r + 5c
%! H = [1 0 0.5; 0 1 0; 0 0 1];       % a shift by half an element along the rows
%! W = [0 0.5 1; 0 0 0; 1 1 1];       % columns (0,0,1), (0.5,0,1), (1,0,1)
%! u = [3; 3];

%!test  % messages, each for the first failing test
%! cases = {
%!   'Bad number of input parameters.', {X, X, H, W};
%!   'Bad number of input parameters.', {X, X, H, W, u, 'nearest', 1};
%!   'Bad number of input parameters.', {single(X), X, H, W};
%!   'X must be either double or uint8.', {single(X), X, H, W, u};
%!   'X must be either double or uint8.', {logical(X), 'ab', H, W, u};
%!   'X must be either double or uint8.', {int16(X), X, H, W, u};
%!   'X must not be sparse.', {sparse(X), X, H, W, u};
%!   'Y must be either double or uint8.', {X, true(5), H, W, u};
%!   'Y must be either double or uint8.', {X, int8(X), ones(3, 4), W, u};
%!   'Y must not be sparse.', {X, sparse(X), H, W, u};
%!   'H must be 3x3 matrix.', {X, X, ones(3, 4), W, u};
%!   'H must be 3x3 matrix.', {X, X, ones(4, 3), ones(2, 2), u};
%!   'H must be 3x3 matrix.', {X, X, ones(3, 3, 2), W, u};
%!   'H must be a full double matrix.', {X, X, single(H), W, u};
%!   'H must be a full double matrix.', {X, X, sparse(H), W, u};
%!   'H must be a full double matrix.', {X, X, int32(H), W, u};
%!   'W must have 3 rows.', {X, X, H, ones(2, 3), u};
%!   'W must have 3 rows.', {X, X, H, ones(4, 3), ones(3, 1)};
%!   'W must be a full double matrix.', {X, X, H, single(W), u};
%!   'W must be a full double matrix.', {X, X, H, sparse(W), u};
%!   'Bad size of u.', {X, X, H, W, ones(3, 4)};
%!   'Bad size of u.', {X, X, H, W, ones(1, 2)};
%!   'u must be a full double matrix.', {X, X, H, W, single(u)};
%!   'u must be a full double matrix.', {X, X, H, W, sparse(u)};
%! };
%! for i = 1:rows(cases)
%!   expect_error('patchcorr', cases{i, 1}, cases{i, 2}{:});
%! end

%!test  % worked example 2: bilinear and nearest scores
%! assert(patchcorr(X, X, H, W, u), 1);
%! assert(patchcorr(X, X, H, W, u, 'nearest'), 0.5);
%! assert(patchcorr(X, X, H, [W(1:2, :); 1 1 2], u), 1);
%! assert(patchcorr(X, X, H, [W(1:2, :); 1 1 2], u, 'nearest'), 1 / sqrt(3), 3e-16);
%! assert(patchcorr(X, X, H, [W(1:2, :); 1 1 0], u), 1);
%! assert(isnan(patchcorr(X, X, H, [W(1:2, :); 1 1 0], u, 'nearest')));

%!test  % worked example 3: the bounds, tested at the positions 1 and rows - 1
%! for m = {'bilinear', 'nearest'}
%!   assert(isnan(patchcorr(X, X, H, W, [1.9; 3], m{1})));
%!   assert(isnan(patchcorr(X, X, H, W, [3.5; 3], m{1})));
%! end
%! assert(patchcorr(X, X, H, W, [2; 3]), 1);
%! assert(patchcorr(X, X, H, W, [2; 3], 'nearest'), 0.5);

%!test  % only the exact text "nearest" selects nearest sampling
%! for m = {'Nearest', 'NEAREST', 'nearestx', 'nearest ', '', 'near', repmat('nearest', 1, 4)}
%!   assert(patchcorr(X, X, H, W, u, m{1}), 1);
%! end
%! assert(patchcorr(X, X, H, W, u, 1), 1);          % not text: bilinear
%! assert(patchcorr(X, X, H, W, u, {'nearest'}), 1);
%! assert(patchcorr(X, X, H, W, u, uint8('nearest')), 1);

%!test  % shapes of the answer
%! assert(patchcorr(X, X, H, W, zeros(0, 5)), zeros(1, 5));
%! assert(patchcorr(X, X, H, W, zeros(3, 0)), zeros(1, 0));
%! assert(patchcorr(X, X, H, W, zeros(0, 0)), zeros(1, 0));
%! assert(patchcorr(X, X, H, W, single(zeros(0, 4))), zeros(1, 4));
%! assert(isnan(patchcorr(X, X, H, zeros(3, 0), [3 2; 3 3])), true(1, 2));
%! assert(size(patchcorr(X, X, H, W, [3 2 2.5; 3 3 3])), [1 3]);

%!test  % X = Y and the identity give 1; Y = aX + b gives sign(a)
%! A = rand(20, 20);
%! I = eye(3);
%! [s, t] = ndgrid(-2:2, -2:2);
%! Wq = [s(:)'; t(:)'; ones(1, 25)];
%! pts = [4 + 12 * rand(1, 30); 4 + 12 * rand(1, 30)];
%! assert(patchcorr(A, A, I, Wq, pts), ones(1, 30), 1e-12);
%! assert(patchcorr(A, 3 * A + 2, I, Wq, pts), ones(1, 30), 1e-12);
%! assert(patchcorr(A, -0.5 * A + 2, I, Wq, pts), -ones(1, 30), 1e-12);

%!test  % uint8 and double images holding the same numbers give the same bits, in all four pairings
%! A = randi([0 255], 30, 40);
%! B = randi([0 255], 30, 40);
%! Hp = [1.02 -0.04 0.7; 0.03 0.97 -0.4; 1e-3 -2e-3 1];
%! [s, t] = ndgrid(-3:3, -3:3);
%! Wq = [s(:)'; t(:)'; rand(1, 49)];
%! pts = [-2 + 34 * rand(1, 300); -2 + 44 * rand(1, 300)];
%! for m = {'bilinear', 'nearest'}
%!   ref = patchcorr(A, B, Hp, Wq, pts, m{1});
%!   assert(any(isfinite(ref)));
%!   assert(isequaln(patchcorr(uint8(A), B, Hp, Wq, pts, m{1}), ref));
%!   assert(isequaln(patchcorr(A, uint8(B), Hp, Wq, pts, m{1}), ref));
%!   assert(isequaln(patchcorr(uint8(A), uint8(B), Hp, Wq, pts, m{1}), ref));
%! end

%!test  % a colour image is one wide image
%! C = rand(12, 10, 3);
%! pts = [2 + mod(0:29, 9); 2 + (0:29)];
%! [s, t] = ndgrid(-1:1, -1:1);
%! Wq = [s(:)'; t(:)'; ones(1, 9)];
%! assert(isequaln(patchcorr(C, reshape(C, 12, 30), H, Wq, pts), ...
%!                 patchcorr(reshape(C, 12, 30), reshape(C, 12, 30), H, Wq, pts)));

%!test  % NaN and infinite positions are skipped, complex inputs read as their real part
%! assert(isnan(patchcorr(X, X, H, W, [NaN; 3])));
%! assert(isnan(patchcorr(X, X, H, W, [Inf; 3])));
%! assert(isnan(patchcorr(X, X, NaN(3), W, u)));
%! assert(patchcorr(X, X, complex(H, ones(3)), W, u), 1);
%! assert(patchcorr(complex(X, X), X, H, W, u), 1);

%!test  % no output requested: the answer still arrives
%! patchcorr(X, X, H, W, u);
%! assert(ans, 1);

%!test  % the documented limits of the moments' arithmetic: offsets, and huge and tiny scales
%! % X and its view Y through the shear H, exactly: values 0.37 to 0.62, 7 x 7 windows of
%! % standard deviation 0.013 to 0.049, 2,000 points scoring 0.9962 to 0.9999
%! [r, c] = ndgrid(1:64, 1:64);
%! f = @(p, q) 0.5 + 0.25 * smooth_texture(q - 1, p - 1);
%! A = f(r, c);
%! B = f(r - 0.125 * (c + 2.25) - 1.5, c + 2.25);
%! Hs = [1 0.125 1.5; 0 1 -2.25; 0 0 1];
%! k = 1:2000;
%! a = k * 0.6180339887498949;
%! b = k * 0.7548776662466927;
%! pts = 8 + 48 * [a - floor(a); b - floor(b)];
%! [dr, dc] = ndgrid(-3:3);
%! V = [dr(:)'; dc(:)'; ones(1, 49)];
%! s0 = patchcorr(A, B, Hs, V, pts);
%! assert(sprintf('%.4f ', min(s0), max(s0)), '0.9962 0.9999 ');
%! % offset added to both images: largest error, scores above 1, largest score, NaN scores, and
%! % the largest error once the offset is subtracted again before the call
%! cases = {
%!   1e3, '2.7e-06',   0, '0.9999',    0, '9.2e-13';
%!   1e4, '2.8e-04',   0, '0.9999',    0, '1.3e-12';
%!   1e5, '3.4e-02', 906, '1.025',      0, '7.5e-12';
%!   1e6, '5.0e+00', 857, '4.243',    378, '6.9e-11';
%!   1e8, '3.0e+00', 128, '4',       1642, '7.6e-09';
%! };
%! for i = 1:rows(cases)
%!   s = patchcorr(A + cases{i, 1}, B + cases{i, 1}, Hs, V, pts);
%!   e = abs(s - s0);
%!   back = patchcorr((A + cases{i, 1}) - cases{i, 1}, (B + cases{i, 1}) - cases{i, 1}, Hs, ...
%!                    V, pts);
%!   got = {sprintf('%.1e', max(e(~isnan(e)))), nnz(s > 1), sprintf('%.4g', max(s)), ...
%!          nnz(isnan(s)), sprintf('%.1e', max(abs(back - s0)))};
%!   assert(got, cases(i, 2:end));
%! end
%! % the rule: about 2e-16 (m/s)^2, at most 1.2e-15 (m/s)^2, m and s the mean and standard
%! % deviation of a window's values
%! values = interp2(A, pts(2, :) + dc(:), pts(1, :) + dr(:));
%! ratios = [];
%! for offset = [1e3 1e4 1e5]
%!   s = patchcorr(A + offset, B + offset, Hs, V, pts);
%!   ratios(end + 1, :) = abs(s - s0) ./ ((offset + mean(values)) ./ std(values, 1)) .^ 2;
%! end
%! assert(sprintf('%.0e %.1e', median(ratios(:)), max(ratios(:))), '2e-16 1.2e-15');
%! % scaled images: the flat-window limit 1e-9 is absolute; the variances' product overflows
%! % beyond about 1e77 (score 0), the squares beyond about 1e154 (NaN)
%! for scale = {1e-3, 0, 1523; 1e100, 2000, 0; 1e154, 0, 2000}'
%!   s = patchcorr(A * scale{1}, B * scale{1}, Hs, V, pts);
%!   assert([nnz(s == 0), nnz(isnan(s))], [scale{2:3}]);
%! end
%! % in between, scale changes the scores by rounding alone
%! for scale = [1e-2 1e76]
%!   assert(sprintf('%.0e', max(abs(patchcorr(A * scale, B * scale, Hs, V, pts) - s0))), '1e-12');
%! end
%! % uint8 images are far from the limits: the scores of the images less 128, to 1e-12
%! s = patchcorr(uint8(255 * A), uint8(255 * B), Hs, V, pts);
%! assert(s, patchcorr(round(255 * A) - 128, round(255 * B) - 128, Hs, V, pts), 1e-12);
