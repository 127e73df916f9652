% xprod3 in GNU Octave: messages in order, the empty answers, both forms, and Octave's own cross.

%!test  % messages, each for the first failing test
%! A = [eye(3), [1; 2; 3]];
%! cases = {
%!   'One or two input arguments required.', {};
%!   'One or two input arguments required.', {A, A, A};
%!   'One or two input arguments required.', {single(A), sparse(A), 'x'};
%!   'One or two input arguments required.', {[], A, A};
%!   'Input must be 3x2 vector.', {ones(2, 3)};
%!   'Input must be 3x2 vector.', {ones(3, 1)};
%!   'Input must be 3x2 vector.', {ones(3, 3)};
%!   'Input must be 3x2 vector.', {ones(3, 2, 2)};
%!   'Input must be 3x2 vector.', {single(ones(2, 3))};
%!   'Input must be 3x2 vector.', {'abcdef'};
%!   'Input must be a full double matrix.', {single(ones(3, 2))};
%!   'Input must be a full double matrix.', {int32(ones(3, 2))};
%!   'Input must be a full double matrix.', {uint8(ones(3, 2))};
%!   'Input must be a full double matrix.', {true(3, 2)};
%!   'Input must be a full double matrix.', {['ab'; 'cd'; 'ef']};
%!   'Input must be a full double matrix.', {sparse(ones(3, 2))};
%!   'Input must be a full double matrix.', {cell(3, 2)};
%!   'Wrong size of input vectors.', {ones(3, 4), ones(3, 5)};
%!   'Wrong size of input vectors.', {ones(4, 4), ones(3, 4)};
%!   'Wrong size of input vectors.', {ones(3, 4), ones(4, 4)};
%!   'Wrong size of input vectors.', {ones(3, 4), []};
%!   'Wrong size of input vectors.', {ones(3, 4), zeros(3, 0)};
%!   'Wrong size of input vectors.', {ones(3, 4), 'abc'};
%!   'Wrong size of input vectors.', {single(ones(4, 4)), sparse(ones(3, 4))};
%!   'A must be a full double matrix.', {single(A), A};
%!   'A must be a full double matrix.', {sparse(A), A};
%!   'A must be a full double matrix.', {int8(A), true(3, 4)};
%!   'B must be a full double matrix.', {A, uint8(A)};
%!   'B must be a full double matrix.', {A, sparse(A)};
%!   'B must be a full double matrix.', {A, repmat('abcd', 3, 1)};
%! };
%! for i = 1:rows(cases)
%!   expect_error('xprod3', cases{i, 1}, cases{i, 2}{:});
%! end

%!test  % worked products, one input and two
%! assert(xprod3([1 0; 0 1; 0 0]), [0; 0; 1]);
%! assert(xprod3([0 1; 1 0; 0 0]), [0; 0; -1]);
%! assert(xprod3([2 2; -3 -3; 5 5]), [0; 0; 0]);
%! t = 1 + 2^-30;      % t * t rounds, so a fused multiply-add would not give exact zeros
%! assert(xprod3(t * ones(3, 2)), [0; 0; 0]);
%! assert(xprod3([1 4; 2 5; 3 6]), [-3; 6; -3]);
%! assert(xprod3(reshape(1:6, 3, 1, 2)), [-3; 6; -3]);
%! assert(xprod3([1 1; 0 2; 0 3], [0 4; 1 5; 0 6]), [0 -3; 0 6; 1 -3]);
%! assert(xprod3(reshape([eye(3), [1; 2; 3]], 3, 2, 2), [0 0 1 4; 1 0 0 5; 0 1 0 6]), ...
%!        [0 1 0 -3; 0 0 1 6; 1 0 0 -3]);

%!test  % NaN and infinities pass through by IEEE arithmetic
%! assert(xprod3([NaN 3; 1 4; 2 5]), [-3; NaN; NaN]);
%! assert(xprod3([Inf 0; 0 1; 0 0]), [0; NaN; Inf]);

%!test  % an empty first input gives an empty double array of its own size
%! assert(xprod3(zeros(0, 0)), zeros(0, 0));
%! assert(xprod3(zeros(0, 5)), zeros(0, 5));
%! assert(xprod3(zeros(3, 0)), zeros(3, 0));
%! assert(xprod3(zeros(0, 3, 4)), zeros(0, 12));
%! assert(xprod3(single(zeros(0, 3))), zeros(0, 3));
%! assert(xprod3(''), zeros(0, 0));
%! assert(xprod3(zeros(0, 4), ones(5, 7)), zeros(0, 4));
%! assert(xprod3(zeros(0, 4), 'x'), zeros(0, 4));
%! assert(xprod3(zeros(0, 4), sparse(2, 2)), zeros(0, 4));
%! assert(xprod3(zeros(0, 4), {1, 2}), zeros(0, 4));
%! assert(xprod3(zeros(3, 0), ones(2, 9)), zeros(3, 0));
%! assert(xprod3(int16(zeros(0, 4)), single(1)), zeros(0, 4));

%!test  % the same bits as Octave's cross, on random columns of varied scale
%! A = randn(3, 2000) .* 10 .^ randi([-8 8], 3, 2000);
%! B = randn(3, 2000) .* 10 .^ randi([-8 8], 3, 2000);
%! assert(isequal(xprod3(A, B), cross(A, B)));
%! assert(isequal(xprod3([A(:, 1), B(:, 1)]), cross(A(:, 1), B(:, 1))));

%!test  % complex inputs are read as their real part; the answer is real
%! P = [1 4; 2 5; 3 6];
%! assert(xprod3(complex(P, ones(3, 2))), [-3; 6; -3]);
%! assert(isreal(xprod3(complex(P, ones(3, 2)))));
%! assert(xprod3(complex(P(:, 1), 7), complex(P(:, 2), -1)), [-3; 6; -3]);

%!test  % no output requested: the answer still arrives
%! xprod3([1 0; 0 1; 0 0]);
%! assert(ans, [0; 0; 1]);
