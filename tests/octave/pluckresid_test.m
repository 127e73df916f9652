% pluckresid in GNU Octave: messages in order, shapes, the worked example and the Jacobian.

%!shared x, A, T, E
%! x = [1; 2; 3; 4];
%! % P = (x1, x2, 0, 1), Q = (x3, x4, 1, 1); cameras with image lines (3, 4, 5) and (0, -2, 6)
%! T = reshape([0 1 0 0 0 1 0 0 0 1 0 0 0 1 0 0 0 1 1 0 0 1 0 0], 3, 4, 2);
%! A = zeros(6, 3, 2);
%! A(:, :, 1) = [1 -1 0 0 0 0; 0 0 -2 0 0 0; 0 0 0 0 0 -5]';
%! A(:, :, 2) = [0 0 0 0 0 0; -1 0 0 0 0 0; 0 0 0 -3 0 0]';
%! E = reshape([1 3 7 2 -3 1 0 5], 2, 2, 2);

%!function [P, Q] = points(x, T)
%!  P = T(1, :, 1)' + x(1) * T(2, :, 1)' + x(2) * T(3, :, 1)';
%!  Q = T(1, :, 2)' + x(3) * T(2, :, 2)' + x(4) * T(3, :, 2)';
%!endfunction

%!function L = plucker(P, Q)
%!  L = [cross(P(1:3), Q(1:3)); Q(4) * P(1:3) - P(4) * Q(1:3)];
%!endfunction

%!function [x, A, T, E] = random_problem(N)
%!  % Affine points, cameras whose image line keeps a normal of at least a fifth of its size.
%!  x = 2 * rand(4, 1) - 1;
%!  T = 2 * rand(3, 4, 2) - 1;
%!  T(:, 4, :) = 0;
%!  T(1, 4, :) = 1;
%!  [P, Q] = points(x, T);
%!  L = plucker(P, Q);
%!  A = zeros(6, 3, N);
%!  for i = 1:N
%!    do
%!      A(:, :, i) = 2 * rand(6, 3) - 1;
%!      l = A(:, :, i)' * L;
%!    until norm(l(1:2)) >= 0.2 * norm(l)
%!  end
%!  E = 20 * rand(2, N, 2) - 10;
%!endfunction

%!test  % messages, each for the first failing test
%! big = zeros(0, 2^31);   % N = 2^31: 18N and 4N are multiples of 2^32
%! cases = {
%!   '4 inputs required.', {};
%!   '4 inputs required.', {x, A, T};
%!   '4 inputs required.', {x, A, T, E, x};
%!   '4 inputs required.', {1, A, T};
%!   'x must be a full double array.', {single(x), A, T, E};
%!   'x must be a full double array.', {sparse(x), A, T, E};
%!   'x must be a full double array.', {'abcd', A, T, E};
%!   'x must be a full double array.', {int8(x), [], [], []};
%!   'x must have at least 4 elements.', {[1 2 3], A, T, E};
%!   'x must have at least 4 elements.', {[], A, T, E};
%!   'x must have at least 4 elements.', {[1 2 3], ones(6, 3), T, E};
%!   'A must be a full double array.', {x, int32(A), T, E};
%!   'A must be a full double array.', {x, single(A), T, E};
%!   'A must be a full double array.', {x, sparse(A(:)), T, E};
%!   'A must have at least 18N elements.', {x, ones(6, 3), T, E};
%!   'A must have at least 18N elements.', {x, ones(35, 1), T, E};
%!   'A must have at least 18N elements.', {x, ones(6, 3), ones(3, 4), E};
%!   'A must have at least 18N elements.', {x, [], T, big};
%!   'T must be a full double array.', {x, A, uint8(T), E};
%!   'T must be a full double array.', {x, A, sparse(T(:)), E};
%!   'T must be a full double array.', {x, A, true(3, 4, 2), E};
%!   'T must have at least 24 elements.', {x, A, ones(3, 4), E};
%!   'T must have at least 24 elements.', {x, A, ones(23, 1), E};
%!   'E must be a full double array.', {x, A, T, single(E)};
%!   'E must be a full double array.', {x, A, T, sparse([1 7; 3 2])};
%!   'E must have at least 4N elements.', {x, A, T, [1 7; 3 2]};
%!   'E must have at least 4N elements.', {x, A, T, ones(1, 2)};
%! };
%! for i = 1:rows(cases)
%!   expect_error('pluckresid', cases{i, 1}, cases{i, 2}{:});
%! end

%!test  % the worked example, and with the end points exchanged
%! assert(pluckresid(x, A, T, E), [4; 0; 1; -2]);
%! assert(pluckresid(x, A, T, E(:, :, [2 1])), [0; 4; -2; 1]);
%! [r, J] = pluckresid(x, A, T, E);
%! assert(r, [4; 0; 1; -2]);
%! assert(size(J), [4 4]);
%! assert(all(isfinite(J(:))));
%! assert(J(3:4, 4) == 0);   % x4 moves neither L1 nor L4, all that camera 2 sees

%!test  % shapes of the answers
%! pluckresid(x, A, T, E);
%! assert(ans, [4; 0; 1; -2]);
%! N0 = zeros(2, 0, 2);
%! assert(size(pluckresid(x, A, T, N0)), [0 1]);
%! [r, J] = pluckresid(x, A, T, N0);
%! assert(size(r), [0 1]);
%! assert(size(J), [0 4]);
%! [r, J] = pluckresid(x, [], T, []);
%! assert(size(r), [0 1]);
%! assert(size(J), [0 4]);
%! try
%!   [r, J, K] = pluckresid(x, A, T, E);
%!   error('a third output was defined');
%! catch err
%!   assert(isempty(strfind(err.message, 'pluckresid:')));   % Octave's own complaint
%! end

%!test  % any shape holding enough numbers; extra numbers unread; real parts read
%! r0 = [4; 0; 1; -2];
%! assert(pluckresid(x', A, T, E), r0);
%! assert(pluckresid([x; 9; 9], A, T, E), r0);
%! assert(pluckresid(reshape([x; 9; 9], 2, 3), A, T, E), r0);
%! assert(pluckresid(x, A(:), T, E), r0);
%! assert(pluckresid(x, reshape(A, 18, 2), T, E), r0);
%! assert(pluckresid(x, cat(3, A, ones(6, 3)), T, E), r0);
%! assert(pluckresid(x, A, T(:)', E), r0);
%! assert(pluckresid(x, A, [T(:); 5], E), r0);
%! assert(pluckresid(x, A, T, reshape(E, 1, 2, 4)), r0);
%! assert(pluckresid(x, A, T, cat(3, E, 99 * ones(2, 2))), r0);
%! assert(pluckresid(complex(x, x), A, T, E), r0);
%! assert(pluckresid(x, complex(A, 1), T, complex(E, 5)), r0);

%!test  % columns of parameters that cannot move the line are exactly zero
%! Tz = T;
%! Tz(3, :, 1) = 0;                        % x2 has no coefficient: P2 = 2 held constant
%! Tz(1, 2, 1) = 2;
%! [r, J] = pluckresid(x, A, Tz, E);
%! assert(r, [4; 0; 1; -2]);
%! assert(J(:, 2) == 0);
%! assert(all(isfinite(J(:))));
%! Tz = T;
%! Tz(2, :, 2) = 0;                        % x3 has no coefficient: Q1 = 3 held constant
%! Tz(1, 1, 2) = 3;
%! [r, J] = pluckresid(x, A, Tz, E);
%! assert(r, [4; 0; 1; -2]);
%! assert(J(:, 3) == 0);
%! [~, J] = pluckresid([2^27; 2; 3; 4], A, T, E);   % the step is lost in rounding
%! assert(J(:, 1) == 0);
%! assert(all(isfinite(J(:))));
%! [~, J] = pluckresid([1; 2; 3; 2^40], A, T, E);
%! assert(J(:, 4) == 0);

%!test  % the Jacobian agrees with the analytic derivative to about eight digits
%! rand('state', 3);
%! for trial = 1:10
%!   N = 6;
%!   [xr, Ar, Tr, Er] = random_problem(N);
%!   [r, J] = pluckresid(xr, Ar, Tr, Er);
%!   [P, Q] = points(xr, Tr);
%!   L = plucker(P, Q);
%!   D = zeros(2 * N, 4);
%!   for k = 1:4
%!     dP = zeros(4, 1);
%!     dQ = zeros(4, 1);
%!     if k <= 2
%!       dP = Tr(k + 1, :, 1)';
%!     else
%!       dQ = Tr(k - 1, :, 2)';
%!     end
%!     dL = plucker(dP, Q) + plucker(P, dQ);
%!     for i = 1:N
%!       l = Ar(:, :, i)' * L;
%!       dl = Ar(:, :, i)' * dL;
%!       s = norm(l(1:2));
%!       for s_end = 1:2
%!         e = [Er(:, i, s_end); 1];
%!         D(2 * i - 2 + s_end, k) = (dl' * e) / s - (l' * e) * (l(1:2)' * dl(1:2)) / s^3;
%!       end
%!     end
%!   end
%!   assert(abs(J - D) <= 1e-6 * (1 + abs(r) + abs(D)));
%! end

%!test  % column k is (r at x + 1e-8 e_k, minus r at x) times 1e8, the difference rounded first
%! rand('state', 4);
%! [xr, Ar, Tr, Er] = random_problem(4);
%! xr(2) = 1e3;                            % where the step added is not exactly 1e-8
%! % End points within 1e-3 of the image lines: small residuals keep every digit of the
%! % differences, so that each way of rounding the quotient shows.
%! [P, Q] = points(xr, Tr);
%! L = plucker(P, Q);
%! for i = 1:4
%!   l = Ar(:, :, i)' * L;
%!   for s_end = 1:2
%!     e = Er(:, i, s_end);
%!     Er(:, i, s_end) = e - (l' * [e; 1]) / (l(1:2)' * l(1:2)) * l(1:2) + [2e-3 * rand - 1e-3; 0];
%!   end
%! end
%! [r, J] = pluckresid(xr, Ar, Tr, Er);
%! for k = 1:4
%!   y = xr;
%!   y(k) = 1e-8 + y(k);
%!   assert(isequal(J(:, k), (pluckresid(y, Ar, Tr, Er) - r) * 1e8));
%! end

%!test  % exact invariances of both outputs
%! rand('state', 5);
%! [xr, Ar, Tr, Er] = random_problem(5);
%! [r, J] = pluckresid(xr, Ar, Tr, Er);
%! [r2, J2] = pluckresid(xr, Ar, Tr / 4, Er);          % P, Q scale by 1/4, L by 1/16
%! assert(isequal(r2, r) && isequal(J2, J));
%! [r2, J2] = pluckresid(xr, -2 * Ar, Tr, Er);         % every image line scales by -2
%! assert(isequal(r2, -r) && isequal(J2, -J));
%! [r2, J2] = pluckresid(xr([3 4 1 2]), Ar, Tr(:, :, [2 1]), Er);   % P and Q exchanged
%! assert(isequal(r2, -r) && isequal(J2, -J(:, [3 4 1 2])));

%!test  % a degenerate camera spoils only its own rows
%! rand('state', 8);
%! [xr, Ar, Tr, Er] = random_problem(4);
%! [r, J] = pluckresid(xr, Ar, Tr, Er);
%! Ar(:, :, 2) = 0;                                 % l = 0 in camera 2
%! [r2, J2] = pluckresid(xr, Ar, Tr, Er);
%! assert(isnan([r2(3:4), J2(3:4, :)]));
%! assert(isequal([r2([1 2 5:8]), J2([1 2 5:8], :)], [r([1 2 5:8]), J([1 2 5:8], :)]));
%! Ar(:, :, 2) = 0;
%! Ar(1, 3, 2) = 1;                                 % l1 = l2 = 0, l3 = L1
%! [P, Q] = points(xr, Tr);
%! L = plucker(P, Q);
%! r2 = pluckresid(xr, Ar, Tr, Er);
%! assert(r2(3:4), Inf(2, 1) * sign(L(1)));
%! assert(isequal(r2([1 2 5:8]), r([1 2 5:8])));
