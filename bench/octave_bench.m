function octave_bench(reps, small, only)
  % octave_bench(reps, small, only): times each command, built for Octave, against what a user would
  % write instead: the same computation vectorised in Octave (below), and Octave's own cross for
  % xprod3. Each pair runs 2 * reps times on the standard workloads (seeded); the table gives
  % the medians and their ratio (Octave time / command time). The threaded commands (patchcorr,
  % stripfilt) are timed twice, with MEXGEOM_THREADS unset (one thread) and set to auto (every
  % processor); "threads" is then the ratio Octave time / threaded time. Before timing, each
  % vectorised version must give the command's numbers on the benchmark data, or the script
  % stops with an error. small = true runs tiny workloads, to check the script itself; only, a
  % cell of names (patchcorr, stripfilt, pluckresid, vectors), runs only those parts.
  if nargin < 1, reps = 7; end
  if nargin < 2, small = false; end
  if nargin < 3, only = {'patchcorr', 'stripfilt', 'pluckresid', 'vectors'}; end
  printf('%-42s %12s %12s %12s %9s %9s  %s\n', 'workload', 'command ms', 'threads ms', ...
         'Octave ms', 'ratio', 'threads', 'agreement (max |difference|)');
  for part = only
    feval(['bench_' part{1}], reps, small);
  end
end

% ---- the standard workloads, as in bench/workloads.h ------------------------------------------

function I = texture(side, G, seed)
  % A smooth texture with noise seen through the inverse of G: I(s, t) = f(G^-1 (s, t)).
  rand('state', seed);
  [s1, t1] = ndgrid(1:side, 1:side);
  q = G \ [s1(:)'; t1(:)'; ones(1, side^2)];
  s = reshape(q(1, :) ./ q(3, :), side, side);
  t = reshape(q(2, :) ./ q(3, :), side, side);
  v = 128 + 45 * sin(0.11 * s + 0.07 * t) + 35 * sin(0.05 * s - 0.13 * t + 1) + ...
      20 * sin(0.31 * s + 0.23 * t + 2) + (24 * rand(side) - 12);
  I = min(max(round(v), 0), 255);
end

function report(name, t, err)
  % t: the command's time with the switch off, on (NaN when not threaded), and Octave's time.
  printf('%-42s %12.3f %12.3f %12.3f %9.1f %9.1f  %.3g\n', name, 1e3 * t, t(3) / t(1), ...
         t(3) / t(2), err);
end

function t = time_all(reps, fs, threads)
  % Medians over 2 * reps runs of each function fs{i}, with MEXGEOM_THREADS set to threads{i}
  % (unset for ''): reps of one, reps of the next, and so on, twice over. Runs of the same
  % function follow one another, as in a user's loop, so that the memory allocator settles into
  % its steady state for each.
  t = zeros(reps, numel(fs), 2);
  for round = 1:2
    for i = 1:numel(fs)
      if isempty(threads{i})
        unsetenv('MEXGEOM_THREADS');
      else
        setenv('MEXGEOM_THREADS', threads{i});
      end
      for k = 1:reps
        tic; fs{i}(); t(k, i, round) = toc;
      end
    end
  end
  unsetenv('MEXGEOM_THREADS');
  t = median(reshape(permute(t, [1 3 2]), [], numel(fs)), 1);
end

function t = time_pair(reps, fcmd, foct)
  % The command alone and Octave's version; no threaded time.
  t = time_all(reps, {fcmd, foct}, {'', ''});
  t = [t(1) NaN t(2)];
end

function t = time_threads(reps, fcmd, foct)
  % The command with the switch off and on, and Octave's version.
  t = time_all(reps, {fcmd, fcmd, foct}, {'', 'auto', ''});
end

function same_with_threads(f, expected, what)
  % The command with every processor gives the bytes of one thread.
  setenv('MEXGEOM_THREADS', 'auto');
  got = f();
  unsetenv('MEXGEOM_THREADS');
  if ~isequaln(got, expected) || ~isequal(class(got), class(expected))
    error('octave_bench: %s: the threaded command differs from one thread', what);
  end
end

function err = agree(a, b, tol, what)
  % The same numbers: equal NaN pattern, and within tol elsewhere.
  if ~isequal(size(a), size(b)) || ~isequal(isnan(a), isnan(b))
    error('octave_bench: %s: the vectorised version and the command disagree', what);
  end
  ok = ~isnan(a);
  err = max([0; abs(a(ok)(:) - b(ok)(:))]);
  if err > tol
    error('octave_bench: %s: the vectorised version differs from the command by %g', what, err);
  end
end

% ---- patchcorr ---------------------------------------------------------------------------------

function bench_patchcorr(reps, small)
  if small, side = 64; K = 200; half = 3; else side = 1024; K = 20000; half = 7; end
  affine = [0.98 0.05 6; -0.04 1.01 -4; 0 0 1];
  persp = [0.98 0.05 6; -0.04 1.01 -4; 2e-5 -1e-5 1];
  X = texture(side, eye(3), 1);
  [dr, dc] = ndgrid(-half:half, -half:half);
  W = [dr(:)'; dc(:)'; exp(-(dr(:)' .^ 2 + dc(:)' .^ 2) / 32)];
  rand('state', 4);
  u = 1 + (side - 1) * rand(2, K);
  for hc = {{'affine', affine, 2}, {'perspective', persp, 3}}
    [hname, H, seed] = hc{1}{:};
    Y = texture(side, H, seed);
    for kind = {'double', 'uint8'}
      Xk = cast(X, kind{1});
      Yk = cast(Y, kind{1});
      for mode = {'bilinear', 'nearest'}
        name = sprintf('patchcorr %s/%s/%s', mode{1}, kind{1}, hname);
        bilinear = strcmp(mode{1}, 'bilinear');
        s = patchcorr(Xk, Yk, H, W, u, mode{1});
        err = agree(s, patchcorr_vec(Xk, Yk, H, W, u, bilinear), 1e-9, name);
        same_with_threads(@() patchcorr(Xk, Yk, H, W, u, mode{1}), s, name);
        t = time_threads(reps, @() patchcorr(Xk, Yk, H, W, u, mode{1}), ...
                         @() patchcorr_vec(Xk, Yk, H, W, u, bilinear));
        report(name, t, err);
      end
    end
  end
end

function s = patchcorr_vec(X, Y, H, W, u, bilinear)
  % Blocks of points; see patchcorr_block. Blocks of 250 points keep the arrays small: Octave is
  % many times faster on them than on the whole workload at once (the block size was chosen as the
  % fastest of 100, 250, 500, 1000, 4000 and 20000 on the standard workload).
  block = 250;
  s = zeros(1, columns(u));
  for k = 1:block:columns(u)
    b = k:min(k + block - 1, columns(u));
    s(b) = patchcorr_block(X, Y, H, W, u(:, b), bilinear);
  end
end

function s = patchcorr_block(X, Y, H, W, u, bilinear)
  % All samples of all points at once: nW x K arrays, one row per window sample.
  [MX, NX] = size(X);
  [MY, NY] = size(Y);
  g = H * [u; ones(1, columns(u))];
  c1 = g(1, :) ./ g(3, :);
  c2 = g(2, :) ./ g(3, :);
  J = [(H(1, 1) - c1 * H(3, 1)) ./ g(3, :); (H(2, 1) - c2 * H(3, 1)) ./ g(3, :); ...
       (H(1, 2) - c1 * H(3, 2)) ./ g(3, :); (H(2, 2) - c2 * H(3, 2)) ./ g(3, :)];
  dr = W(1, :)';
  dc = W(2, :)';
  w = W(3, :)';
  pX = (dr + u(1, :)) - 1;
  qX = (dc + u(2, :)) - 1;
  pY = (J(1, :) .* dr + J(3, :) .* dc + c1) - 1;
  qY = (J(2, :) .* dr + J(4, :) .* dc + c2) - 1;
  in = pX >= 1 & qX >= 1 & pX < MX - 1 & qX < NX - 1 & pY >= 1 & qY >= 1 & pY < MY - 1 & qY < NY - 1;
  x = sample(X, pX, qX, in, bilinear);
  y = sample(Y, pY, qY, in, bilinear);
  wx = w .* x;
  wy = w .* y;
  w = w .* in;
  n = sum(in);
  Sw = sum(w);
  mx = sum(wx) ./ Sw;
  my = sum(wy) ./ Sw;
  vx = sum(wx .* x) ./ Sw - mx .^ 2;
  vy = sum(wy .* y) ./ Sw - my .^ 2;
  cxy = sum(wx .* y) ./ Sw - mx .* my;
  s = cxy ./ sqrt(vx .* vy);
  s(n <= 2 | ~(vx > 1e-9 & vy > 1e-9)) = NaN;
end

function v = sample(I, p, q, in, bilinear)
  % The image at the positions that are inside, 0 elsewhere (whose weight is then 0 too).
  p(~in) = 1;
  q(~in) = 1;
  r = fix(p);
  c = fix(q);
  M = rows(I);
  k = r + c * M + 1;
  if bilinear
    fr = p - r;
    fc = q - c;
    v = (1 - fc) .* ((1 - fr) .* double(I(k)) + fr .* double(I(k + 1))) + ...
        fc .* ((1 - fr) .* double(I(k + M)) + fr .* double(I(k + M + 1)));
  else
    v = double(I(k));
  end
  v(~in) = 0;
end

% ---- stripfilt ---------------------------------------------------------------------------------

function bench_stripfilt(reps, small)
  if exist('stripfilt') ~= 3, return; end
  if small, side = 64; K = 200; else side = 1024; K = 20000; end
  I = texture(side, eye(3), 5);
  h = [-1 -4 -5 0 5 4 1];
  rand('state', 6);
  u1 = 1 + (side - 1) * rand(2, K);
  L = 10 + 90 * rand(1, K);
  a = 2 * pi * rand(1, K);
  u2 = u1 + [L .* cos(a); L .* sin(a)];
  for kind = {'double', 'uint8'}
    Ik = cast(I, kind{1});
    name = sprintf('stripfilt %s', kind{1});
    s = stripfilt(Ik, h, u1, u2);
    err = agree(s, stripfilt_vec(Ik, h, u1, u2), 1e-9, name);
    same_with_threads(@() stripfilt(Ik, h, u1, u2), s, name);
    t = time_threads(reps, @() stripfilt(Ik, h, u1, u2), @() stripfilt_vec(Ik, h, u1, u2));
    report(name, t, err);
  end
end

function total = stripfilt_vec(I, h, u1, u2)
  % Blocks of segments; see stripfilt_block.
  block = 1000;
  total = zeros(1, columns(u1));
  for k = 1:block:columns(u1)
    b = k:min(k + block - 1, columns(u1));
    total(b) = stripfilt_block(I, h, u1(:, b), u2(:, b));
  end
end

function total = stripfilt_block(I, h, u1, u2)
  % All steps of all segments at once, one offset line after the other: jmax x K arrays.
  [M, N] = size(I);
  m = (numel(h) - 1) / 2;
  a = u1 - 1;
  e = (u2 - 1) - a;
  L = sqrt(e(1, :) .^ 2 + e(2, :) .^ 2);
  n = fix(L + 0.5);
  n(~(L > 0) | ~(L + 0.5 < 2^31)) = 0;
  d1 = e(1, :) ./ L;
  d2 = e(2, :) ./ L;
  j = (0:max([n 0]) - 1)';
  taken = j < n;
  total = zeros(1, columns(u1));
  for i = -m:m
    p1 = (j .* d1 + (-d2 * i)) + a(1, :);
    p2 = (j .* d2 + i * d1) + a(2, :);
    t1 = fix(p1);
    t2 = fix(p2);
    in = taken & t1 >= 0 & t2 >= 0 & t1 < M - 1 & t2 < N - 1;
    t1(~in) = 0;
    t2(~in) = 0;
    f1 = p1 - t1;
    f2 = p2 - t2;
    k = t1 + t2 * M + 1;
    v = (1 - f2) .* ((1 - f1) .* double(I(k)) + f1 .* double(I(k + 1))) + ...
        f2 .* ((1 - f1) .* double(I(k + M)) + f1 .* double(I(k + M + 1)));
    in = in & v ~= -1234567;
    wv = h(i + m + 1) * v;
    wv(~in) = 0;
    total = total + sum(wv) ./ sum(in);
  end
end

% ---- pluckresid --------------------------------------------------------------------------------

function bench_pluckresid(reps, small)
  if small, N = 50; else N = 10000; end
  randn('state', 7);
  rand('state', 7);
  x = randn(4, 1);
  T = randn(3, 4, 2);
  A = randn(6, 3, N);
  E = reshape(1000 * rand(4 * N, 1), 2, N, 2);
  r = pluckresid(x, A, T, E);
  err = agree(r, pluckresid_vec(x, A, T, E), 1e-6 * max(abs(r)), 'pluckresid');
  t = time_pair(reps, @() pluckresid(x, A, T, E), @() pluckresid_vec(x, A, T, E));
  report('pluckresid residuals', t, err);
  [r, J] = pluckresid(x, A, T, E);
  [~, Jv] = pluckresid_vec(x, A, T, E);
  % Forward differences of step 1e-8 magnify the residuals' last bits by 1e8, so the two
  % Jacobians (BLAS sums the image lines in its own order) agree to about 1e-8 of their size.
  err = agree(J, Jv, 1e-6 * max(abs(J(:))), 'pluckresid Jacobian');
  t = time_pair(reps, @() two_outputs(@pluckresid, x, A, T, E), ...
                       @() two_outputs(@pluckresid_vec, x, A, T, E));
  report('pluckresid residuals and Jacobian', t, err);
end

function two_outputs(f, varargin)
  [~, ~] = f(varargin{:});
end

function [r, J] = pluckresid_vec(x, A, T, E)
  N = size(E, 2);
  r = line_residuals(x, A, T, E, N);
  if nargout > 1
    J = zeros(2 * N, 4);
    for k = 1:4
      y = x(1:4);
      y(k) = 1e-8 + y(k);
      J(:, k) = (line_residuals(y, A, T, E, N) - r) * 1e8;
    end
  end
end

function r = line_residuals(x, A, T, E, N)
  P = T(1, :, 1) + x(1) * T(2, :, 1) + x(2) * T(3, :, 1);
  Q = T(1, :, 2) + x(3) * T(2, :, 2) + x(4) * T(3, :, 2);
  L = [P(2) * Q(3) - P(3) * Q(2); P(3) * Q(1) - P(1) * Q(3); P(1) * Q(2) - P(2) * Q(1);
       P(1) * Q(4) - P(4) * Q(1); P(2) * Q(4) - P(4) * Q(2); P(3) * Q(4) - P(4) * Q(3)];
  l = reshape(L' * reshape(A, 6, 3 * N), 3, N);
  w = 1 ./ sqrt(l(1, :) .^ 2 + l(2, :) .^ 2);
  r1 = (l(1, :) .* E(1, :, 1) + l(2, :) .* E(2, :, 1) + l(3, :)) .* w;
  r2 = (l(1, :) .* E(1, :, 2) + l(2, :) .* E(2, :, 2) + l(3, :)) .* w;
  r = reshape([r1; r2], [], 1);
end

% ---- xprod3 and hesseform ----------------------------------------------------------------------

function bench_vectors(reps, small)
  if small, n = 1000; else n = 1e6; end
  randn('state', 8);
  A = randn(3, n);
  B = randn(3, n);
  C = xprod3(A, B);
  err = agree(C, cross(A, B), 0, 'xprod3 against cross');
  t = time_pair(reps, @() xprod3(A, B), @() cross(A, B));
  report('xprod3 against cross', t, err);
  err = agree(C, xprod3_vec(A, B), 0, 'xprod3');
  t = time_pair(reps, @() xprod3(A, B), @() xprod3_vec(A, B));
  report('xprod3 against vectorised', t, err);
  randn('state', 9);
  L = randn(n, 3);
  err = agree(hesseform(L), hesseform_vec(L), 0, 'hesseform');
  t = time_pair(reps, @() hesseform(L), @() hesseform_vec(L));
  report('hesseform', t, err);
end

function C = xprod3_vec(A, B)
  C = [A(2, :) .* B(3, :) - A(3, :) .* B(2, :);
       A(3, :) .* B(1, :) - A(1, :) .* B(3, :);
       A(1, :) .* B(2, :) - A(2, :) .* B(1, :)];
end

function L = hesseform_vec(L)
  L = L ./ sqrt(L(:, 1) .^ 2 + L(:, 2) .^ 2);
end
