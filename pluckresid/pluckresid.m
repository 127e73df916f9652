%PLUCKRESID  Residuals and Jacobian of a 3D line against segments seen in N cameras.
%   R = PLUCKRESID(X, A, T, E) projects the 3D line with the four parameters X
%   into N cameras and returns the signed distances of the measured segment
%   end points from the projected image lines: the residuals of a line fit.
%
%   [R, J] = PLUCKRESID(X, A, T, E) also returns their Jacobian with respect
%   to X, by forward differences with the absolute step 1e-8.
%
%   The line passes through two homogeneous 3D points (row 4-vectors), each an
%   affine function of two of the parameters:
%     P = T(1,:,1) + X(1) * T(2,:,1) + X(2) * T(3,:,1)
%     Q = T(1,:,2) + X(3) * T(2,:,2) + X(4) * T(3,:,2)
%   Its Pluecker coordinates are the six numbers
%     L = [cross(P(1:3), Q(1:3)), P(1:3) * Q(4) - P(4) * Q(1:3)]
%   and its image in camera i is the 2D line l = A(:,:,i)' * L', the points
%   (u, v) with l(1) u + l(2) v + l(3) = 0.
%
%   Inputs
%     X       double, 4 elements (only the first four are read).
%     A       6 x 3 x N double: slice i is the transpose of camera i's 3 x 6
%             line projection matrix. camera_line_matrices(C) makes it from
%             3 x 4 camera matrices C: A(:,:,i)' * L' then equals
%             cross(C * P', C * Q'). By hand, for C with rows c1, c2, c3, the
%             slice is [f(c2, c3), f(c3, c1), f(c1, c2)] with
%             f = @(a, b) [cross(a(1:3), b(1:3)), a(1:3) * b(4) - a(4) * b(1:3)]'.
%     T       3 x 4 x 2 double, the line basis above. [X, T] = line_basis(P, Q)
%             makes X and T for the line through the 3D points P and Q, each
%             free to move across it; line_points(X, T) gives P and Q back.
%     E       2 x N x 2 double: E(:,i,s) is end point s (1 or 2) of the segment
%             measured in camera i, in the image frame of A. N = size(E, 2).
%             Inputs A, T and E are read as flat column-major arrays; they
%             must hold at least 18N, 24 and 4N numbers.
%
%   Outputs
%     R       2N x 1 double: R(2i-1) and R(2i) are the distances of the first
%             and second end point in camera i, (l(1) u + l(2) v + l(3)) /
%             norm(l(1:2)), positive on the side towards which (l(1), l(2))
%             points. A camera whose image line has l(1) = l(2) = 0 gets
%             infinite or NaN residuals; the other cameras are unaffected.
%     J       2N x 4 double: J(:,k) = (R at X + 1e-8 e_k  -  R) * 1e8, with e_k
%             the k-th unit vector. A step lost in rounding (X(k) of 2^27 or
%             more) gives a zero column.
%
%   Traps
%     E must be 2 x N x 2: an E of N x 2 x 2 (one camera per row) is read in
%       the wrong order without an error; use permute(E, [2 1 3]).
%     Any shape holding enough numbers is accepted for X, A, T and E.
%     The end points are used as they are, in the frame of the camera
%       matrices: (x, y) pixels for most cameras, not (row, column).
%
%   Errors, in the order they are tested
%     4 inputs required.
%     x must be a full double array.        x of another class, or sparse
%     x must have at least 4 elements.
%     A must be a full double array.
%     A must have at least 18N elements.
%     T must be a full double array.
%     T must have at least 24 elements.
%     E must be a full double array.
%     E must have at least 4N elements.     (a plain 2 x N matrix E holds 2N)
%     E has too many columns.               N beyond 2^31-1
%     Out of memory.
%
%   Example
%     T = cat(3, [0 0 0 1; 1 0 0 0; 0 1 0 0], [0 0 1 1; 1 0 0 0; 0 1 0 0]);
%     % P = (x1, x2, 0, 1) and Q = (x3, x4, 1, 1): L = (2, -1, -2, -2, -2, -1)
%     A = zeros(6, 3, 2);
%     A(1:2, 1, 1) = [1; -1];  A(3, 2, 1) = -2;  A(6, 3, 1) = -5;  % l = (3, 4, 5)
%     A(1, 2, 2) = -1;  A(4, 3, 2) = -3;                           % l = (0, -2, 6)
%     E = cat(3, [1 7; 3 2], [-3 0; 1 5]);
%     [r, J] = pluckresid([1 2 3 4], A, T, E)   % r = [4; 0; 1; -2]
%     % A from a 3 x 4 camera matrix C, and a segment 10 pixels off the line
%     C = [800 0 320 0; 0 800 240 0; 0 0 1 0];   % sees y = 0, z = 4 as v = 240
%     [x, T] = line_basis([0 0 4], [1 0 4]);     % that line
%     E = cat(3, [400; 240], [400; 250]);        % end points (u, v)
%     r = pluckresid(x, camera_line_matrices(C), T, E)   % r = [0; 10]
%
%   Reference: pluckresid.md in the doc folder installed with the commands (the
%   package's folder, the folder of build_mex, doc/ of the source tree):
%   reference_page pluckresid prints it and where it lies.
%   See also CAMERA_LINE_MATRICES, LINE_BASIS, LINE_POINTS, XPROD3, HESSEFORM,
%   PATCHCORR, STRIPFILT.

%!shared x, A, T, E
%! x = [1 2 3 4];
%! T = cat (3, [0 0 0 1; 1 0 0 0; 0 1 0 0], [0 0 1 1; 1 0 0 0; 0 1 0 0]);
%! A = zeros (6, 3, 2);
%! A(1:2, 1, 1) = [1; -1];  A(3, 2, 1) = -2;  A(6, 3, 1) = -5;
%! A(1, 2, 2) = -1;  A(4, 3, 2) = -3;
%! E = cat (3, [1 7; 3 2], [-3 0; 1 5]);

%!assert (pluckresid (x, A, T, E), [4; 0; 1; -2])
%!assert (pluckresid (x, A, T, E(:, :, [2 1])), [0; 4; -2; 1])

%!test  # each Jacobian column is the forward difference with the step 1e-8
%! [r, J] = pluckresid (x, A, T, E);
%! for k = 1:4
%!   y = x;
%!   y(k) = y(k) + 1e-8;
%!   assert (J(:, k), (pluckresid (y, A, T, E) - r) * 1e8);
%! end
%! assert (J(3:4, 4), [0; 0]);

%!test  # a camera matrix turned into a slice of A: the image line is cross(C*P', C*Q')
%! f = @(a, b) [cross(a(1:3), b(1:3)), a(1:3) * b(4) - a(4) * b(1:3)]';
%! C = [800 0 320 10; 0 800 240 -20; 0 0 1 4];
%! Ai = [f(C(2, :), C(3, :)), f(C(3, :), C(1, :)), f(C(1, :), C(2, :))];
%! P = [0.1 -0.2 1 1];  Q = [0.5 0.3 2 1];
%! l = cross (C * P', C * Q');
%! assert (Ai' * [cross(P(1:3), Q(1:3)), P(1:3) * Q(4) - P(4) * Q(1:3)]', l, 1e-12 * norm (l));
%! p = C * (0.3 * P' + 0.7 * Q');            # a point of the line, and one off it
%! e = [p(1:2) / p(3), p(1:2) / p(3) + 2 * l(1:2) / norm(l(1:2))];
%! Tl = cat (3, [P; 0 0 0 0; 0 0 0 0], [Q; 0 0 0 0; 0 0 0 0]);
%! assert (pluckresid (zeros (1, 4), Ai, Tl, reshape (e, 2, 1, 2)), [0; 2], 1e-9);

%!test  # no cameras: empty outputs
%! [r, J] = pluckresid (x, [], T, zeros (2, 0, 2));
%! assert (size (r), [0 1]);
%! assert (size (J), [0 4]);

%!error <4 inputs required\.> pluckresid (x, A, T)
%!error <x must have at least 4 elements\.> pluckresid (x(1:3), A, T, E)
%!error <E must have at least 4N elements\.> pluckresid (x, A, T, E(:, :, 1))

%!demo
%! % Gauss-Newton fit of a 3D line to its segments in three cameras, starting
%! % from a wrong line; the residual norm falls to rounding level in few steps.
%! K = [500 0 320; 0 500 240; 0 0 1];
%! C = zeros (3, 4, 3);
%! E = zeros (2, 3, 2);
%! P = [-1 -0.5 0 1];  Q = [1 0.5 0.2 1];           # the true line
%! for i = 1:3
%!   a = (i - 2) * 0.4;                             # cameras 6 units away
%!   C(:, :, i) = K * [cos(a) 0 -sin(a) 0; 0 1 0 0; sin(a) 0 cos(a) 6];
%!   p = C(:, :, i) * P';  q = C(:, :, i) * Q';
%!   E(:, i, 1) = p(1:2) / p(3);
%!   E(:, i, 2) = q(1:2) / q(3);
%! end
%! A = camera_line_matrices (C);
%! [x, T] = line_basis ([-0.8 -0.3 0], [1.2 0.3 0.2]);   # a wrong line
%! for step = 0:5
%!   [r, J] = pluckresid (x, A, T, E);
%!   printf ("step %d: |r| = %.3g pixels\n", step, norm (r));
%!   x = x - J \ r;
%! end
%! [P, Q] = line_points (x, T)   # two points of the true line
