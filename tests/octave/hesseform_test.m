% hesseform in GNU Octave: messages in order, the empty answers, worked and degenerate rows, and a
% comparison with the plain vectorised normalisation.

%!test  % messages, each for the first failing test
%! L = [3 4 10; -3 -4 5];
%! cases = {
%!   'One input required.', {};
%!   'One input required.', {L, L};
%!   'One input required.', {[], L};
%!   'Input must be Mx3 matrix.', {ones(2, 4)};
%!   'Input must be Mx3 matrix.', {ones(5, 2)};
%!   'Input must be Mx3 matrix.', {ones(3, 5)};
%!   'Input must be Mx3 matrix.', {1};
%!   'Input must be Mx3 matrix.', {ones(2, 3, 2)};
%!   'Input must be Mx3 matrix.', {single(ones(2, 4))};
%!   'Input must be a full double matrix.', {single(L)};
%!   'Input must be a full double matrix.', {int16(L)};
%!   'Input must be a full double matrix.', {uint8([3 4 10])};
%!   'Input must be a full double matrix.', {L > 0};
%!   'Input must be a full double matrix.', {'abc'};
%!   'Input must be a full double matrix.', {sparse(L)};
%!   'Input must be a full double matrix.', {{1, 2, 3}};
%! };
%! for i = 1:rows(cases)
%!   expect_error('hesseform', cases{i, 1}, cases{i, 2}{:});
%! end

%!test  % worked rows
%! assert(hesseform([3 4 10]), [0.6 0.8 2]);
%! assert(hesseform([3 4 10; -3 -4 5]), [0.6 0.8 2; -0.6 -0.8 1]);
%! assert(hesseform([1 0 -7; 0 -1 2]), [1 0 -7; 0 -1 2]);
%! assert(hesseform([3 4 3]), [0.6 0.8 0.6]);     % c / 5, not c * 0.2
%! assert(hesseform(reshape([3 -3 4 -4 10 5], 2, 1, 3)), [0.6 0.8 2; -0.6 -0.8 1]);

%!test  % degenerate rows by IEEE arithmetic, signed zeros kept, other rows untouched
%! L = [0 0 1; -0 0 1; 0 -0 -1; 0 0 0; NaN 1 2; 1 NaN 2; 3 4 NaN;
%!      Inf 4 2; -Inf -4 -2; 3 -Inf -2; 3 4 Inf; 3 4 -Inf; 3 4 10];
%! E = [NaN NaN Inf; NaN NaN Inf; NaN NaN -Inf; NaN NaN NaN; NaN NaN NaN; NaN NaN NaN;
%!      0.6 0.8 NaN; NaN 0 0; NaN -0 -0; 0 NaN -0; 0.6 0.8 Inf; 0.6 0.8 -Inf; 0.6 0.8 2];
%! Q = hesseform(L);
%! assert(Q, E);
%! assert(signbit(Q(~isnan(Q))), signbit(E(~isnan(E))));

%!test  % an empty input gives an empty double array of its own size
%! assert(hesseform(zeros(0, 0)), zeros(0, 0));
%! assert(hesseform(zeros(0, 3)), zeros(0, 3));
%! assert(hesseform(zeros(0, 7)), zeros(0, 7));
%! assert(hesseform(zeros(5, 0)), zeros(5, 0));
%! assert(hesseform(zeros(2, 0, 3)), zeros(2, 0));
%! assert(hesseform(single(zeros(0, 3))), zeros(0, 3));
%! assert(hesseform(''), zeros(0, 0));

%!test  % the same bits as the plain vectorised normalisation, on random lines of varied scale
%! L = randn(5000, 3) .* 10 .^ randi([-100 100], 5000, 3);
%! n = sqrt(L(:, 1) .* L(:, 1) + L(:, 2) .* L(:, 2));
%! assert(isequal(hesseform(L), L ./ n));
%! Q = hesseform(randn(5000, 3));
%! assert(Q(:, 1) .^ 2 + Q(:, 2) .^ 2, ones(5000, 1), 4 * eps);

%!test  % a complex input is read as its real part; the answer is real
%! Q = hesseform(complex([3 4 10], [1 2 3]));
%! assert(Q, [0.6 0.8 2]);
%! assert(isreal(Q));

%!test  % no output requested: the answer still arrives
%! hesseform([3 4 10]);
%! assert(ans, [0.6 0.8 2]);

%!test  % the documented limits of the sum of squares, and the remedy: scale the row first
%! % row, then the row's answer (or the relative error of its first entry against 0.6)
%! cases = {
%!   [1e200 1e200 1],   [0 0 0];
%!   [1.4e154 0 1],     [0 0 0];
%!   [1.3e154 0 1],     [1 0 1 / 1.3e154];
%!   [1e-200 1e-200 1], [Inf Inf Inf];
%!   [3e-162 4e-162 1], '6.0e-03';
%!   [3e-160 4e-160 1], '5.6e-06';
%!   [3e-156 4e-156 1], '2.3e-14';
%! };
%! for i = 1:rows(cases)
%!   got = hesseform(cases{i, 1});
%!   if ischar(cases{i, 2})
%!     got = sprintf('%.1e', abs(got(1) - 0.6) / 0.6);
%!   end
%!   assert(got, cases{i, 2});
%! end
%! L = vertcat(cases{:, 1});
%! assert(hesseform(L ./ max(abs(L(:, 1:2)), [], 2))(:, 1:2), ...
%!        [repmat(sqrt(0.5), 1, 2); 1 0; 1 0; repmat(sqrt(0.5), 1, 2); repmat([0.6 0.8], 3, 1)], ...
%!        4 * eps);
