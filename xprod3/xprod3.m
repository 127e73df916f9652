%XPROD3  Vector products of 3-vectors.
%   C = XPROD3(P) returns the vector product P(:,1) x P(:,2) of the two
%   columns of the 3 x 2 array P, as a 3 x 1 column.
%
%   C = XPROD3(A, B) returns the 3 x N array whose column k is the vector
%   product A(:,k) x B(:,k). Two 3 x 2 inputs thus give two products.
%
%   Each component is one product minus another, a x b = (a2 b3 - a3 b2,
%   a3 b1 - a1 b3, a1 b2 - a2 b1), so equal vectors give exact zeros; NaN and
%   Inf follow IEEE 754 arithmetic.
%
%   Inputs
%     P       3 x 2 double, full.
%     A, B    3 x N double, full, with the same N. Arrays of more than two
%             dimensions count as 3 rows by the product of the other sizes.
%     Only the real part of a complex input is read. An empty first input
%     (no rows or no columns) is answered with an empty double array of its
%     own size, before any other input is looked at.
%
%   Output
%     C       3 x 1 (one input) or 3 x N (two inputs) double.
%
%   Trap
%     C holds one vector per column, while HESSEFORM takes one line per row:
%     write hesseform(xprod3(A, B)'). With exactly three lines the call
%     without the transpose is accepted and gives a wrong answer.
%
%   Errors, in the order they are tested
%     One or two input arguments required.
%     Input must be 3x2 vector.            one input, not empty, not 3 x 2
%     Input must be a full double matrix.  one input of another class, sparse
%     Wrong size of input vectors.         two inputs, not both 3 x N
%     A must be a full double matrix.
%     B must be a full double matrix.
%     Out of memory.
%
%   Example
%     xprod3([1 0; 0 1; 0 0])                % [0; 0; 1]
%     xprod3([1 0 0; 0 1 0]', [0 0 1; 0 0 1]')  % [0 1; -1 0; 0 0]
%
%   Reference: xprod3.md in the doc folder installed with the commands (the
%   package's folder, the folder of build_mex, doc/ of the source tree):
%   reference_page xprod3 prints it and where it lies.
%   See also HESSEFORM, PLUCKRESID, PATCHCORR, STRIPFILT.

%!assert (xprod3 ([1 0; 0 1; 0 0]), [0; 0; 1])
%!assert (xprod3 ([1 0 0; 0 1 0]', [0 0 1; 0 0 1]'), [0 1; -1 0; 0 0])
%!assert (xprod3 ([1 2; 3 4; 5 6]), cross ([1; 3; 5], [2; 4; 6]))
%!assert (xprod3 ([1 1; 2 2; 3 3]), [0; 0; 0])
%!assert (size (xprod3 (zeros (0, 5))), [0 5])
%!assert (size (xprod3 (zeros (3, 0), 'anything')), [3 0])

%!test  # column by column, against the products written out
%! A = [1 -2 0.5; 4 0 3; -1 7 2];
%! B = [2 1 -1; 0 5 3; 6 -2 4];
%! C = [A(2,:) .* B(3,:) - A(3,:) .* B(2,:);
%!      A(3,:) .* B(1,:) - A(1,:) .* B(3,:);
%!      A(1,:) .* B(2,:) - A(2,:) .* B(1,:)];
%! assert (xprod3 (A, B), C);

%!error <One or two input arguments required\.> xprod3 ()
%!error <Input must be 3x2 vector\.> xprod3 (ones (2, 3))
%!error <Input must be a full double matrix\.> xprod3 (int8 (ones (3, 2)))
%!error <Wrong size of input vectors\.> xprod3 (ones (3, 4), ones (3, 5))
%!error <B must be a full double matrix\.> xprod3 (ones (3, 2), single (ones (3, 2)))

%!demo
%! % The line through two image points, and the point where two lines meet,
%! % in homogeneous coordinates.
%! p = [1; 2; 1];  q = [4; 6; 1];
%! l = xprod3 ([p q])                  % l' * p = l' * q = 0
%! m = xprod3 ([0; 0; 1], [1; 0; 1]);  % the first axis
%! x = xprod3 ([l m]);
%! x = x / x(3)                        % where l meets it
