function crosshost_cases(casefile, resultfile, replay)
  % crosshost_cases(casefile, resultfile): records a fixed set of calls of every command built
  % for Octave in casefile, makes the same calls here and writes their outcomes in resultfile, in
  % the format that mexrun reads and writes, so that the builds can be compared bit for bit.
  % crosshost_cases(casefile, resultfile, 'replay'): makes the calls recorded in casefile instead
  % (by another Octave, whose random numbers may differ) and writes their outcomes.
  if nargin > 2
    calls = recorded(casefile);
    cf = -1;
  else
    rand('state', 42);
    cf = fopen(casefile, 'w');
    calls = {};
    if exist('patchcorr') == 3, calls = [calls, patchcorr_calls()]; end
    if exist('pluckresid') == 3, calls = [calls, pluckresid_calls()]; end
    if exist('stripfilt') == 3, calls = [calls, stripfilt_calls()]; end
    if exist('xprod3') == 3, calls = [calls, xprod3_calls()]; end
    if exist('hesseform') == 3, calls = [calls, hesseform_calls()]; end
  end
  rf = fopen(resultfile, 'w');
  for i = 1:numel(calls)
    record(cf, rf, calls{i}{:});
  end
  if cf >= 0
    fclose(cf);
  end
  fclose(rf);
  printf('crosshost_cases: %d calls\n', numel(calls));
end

function calls = patchcorr_calls()
  X = 255 * rand(60, 50);
  Y = 255 * rand(60, 50);
  [s, t] = ndgrid(-7:7, -7:7);
  W = [s(:)'; t(:)'; rand(1, 225)];
  u = [60 * rand(1, 400); 50 * rand(1, 400)];
  affine = [1.05 0.1 -2; -0.08 0.95 1.5; 0 0 1];
  persp = [1.02 0.05 -1; -0.03 0.98 2; 1e-3 -8e-4 1];
  calls = {};
  for H = {affine, persp}
    for m = {'bilinear', 'nearest'}
      calls{end + 1} = {'patchcorr', 1, {X, Y, H{1}, W, u, m{1}}};
      calls{end + 1} = {'patchcorr', 1, {uint8(X), Y, H{1}, W, u, m{1}}};
      calls{end + 1} = {'patchcorr', 1, {X, uint8(Y), H{1}, W, u, m{1}}};
    end
  end
  calls{end + 1} = {'patchcorr', 1, {X, Y, affine, W, u(:, 1:3), 'x'}};
  calls{end + 1} = {'patchcorr', 1, {X, Y, affine, W(1:2, :), u}};
  % Undefined scores, which are each host's own NaN: points outside X, a NaN point, a flat X.
  calls{end + 1} = {'patchcorr', 1, {X, Y, affine, W, [-20 30 NaN 30; 25 -20 10 25]}};
  calls{end + 1} = {'patchcorr', 1, {ones(60, 50), Y, persp, W, u(:, 1:9)}};
end

function calls = pluckresid_calls()
  calls = {};
  for N = [0 1 7 50]
    A = randn(6, 3, N);
    T = randn(3, 4, 2);
    E = reshape(100 * rand(4 * N, 1), 2, N, 2);
    x = randn(4, 1);
    calls{end + 1} = {'pluckresid', 1, {x, A, T, E}};
    calls{end + 1} = {'pluckresid', 2, {x, A, T, E}};
  end
end

function calls = stripfilt_calls()
  I = 255 * rand(70, 80);
  K = 300;
  u1 = [75 * rand(1, K) - 2; 85 * rand(1, K) - 2];
  u2 = u1 + 40 * (rand(2, K) - 0.5);
  calls = {};
  for h = {1, [1 0 -1], rand(1, 7) - 0.5}
    calls{end + 1} = {'stripfilt', 1, {I, h{1}, u1, u2}};
    calls{end + 1} = {'stripfilt', 1, {uint8(I), h{1}, u1, u2}};
  end
  calls{end + 1} = {'stripfilt', 1, {I, [1 1], u1, u2}};
end

function calls = xprod3_calls()
  A = randn(3, 500) .* 10 .^ (3 * randn(3, 500));
  B = randn(3, 500);
  calls = {{'xprod3', 1, {A(:, 1:2)}}, {'xprod3', 1, {A, B}}, {'xprod3', 1, {A, B(:, 1:3)}}};
end

function calls = hesseform_calls()
  L = randn(500, 3) .* 10 .^ (3 * randn(500, 3));
  L(1:3, 1:2) = 0;
  calls = {{'hesseform', 1, {L}}, {'hesseform', 1, {L'}}};
end

% Writes the call in cf (unless it is -1) and its outcome in rf.
function record(cf, rf, name, nlhs, inputs)
  if cf >= 0
    fwrite(cf, numel(name), 'int32');
    fwrite(cf, name, 'char');
    fwrite(cf, nlhs, 'int32');
    fwrite(cf, numel(inputs), 'int32');
    for i = 1:numel(inputs)
      write_array(cf, inputs{i});
    end
  end
  outputs = cell(1, nlhs);
  try
    [outputs{:}] = feval(name, inputs{:});
  catch err
    msg = regexprep(err.message, ['^' name ': '], '');
    fwrite(rf, 1, 'int32');
    fwrite(rf, numel(msg), 'int32');
    fwrite(rf, msg, 'char');
    return;
  end
  fwrite(rf, 0, 'int32');
  fwrite(rf, nlhs, 'int32');
  for i = 1:nlhs
    write_array(rf, outputs{i});
  end
end

function write_array(f, a)
  ids = struct('double', 6, 'single', 7, 'uint8', 9, 'char', 4, 'logical', 3);
  fwrite(f, ids.(class(a)), 'int32');
  fwrite(f, ~isreal(a), 'int32');
  fwrite(f, ndims(a), 'int32');
  fwrite(f, size(a), 'double');
  fwrite(f, real(a(:)), class_precision(a));
  if ~isreal(a)
    fwrite(f, imag(a(:)), class_precision(a));
  end
end

% The calls of a case file, as record writes them: {name, nlhs, inputs} each.
function calls = recorded(casefile)
  f = fopen(casefile, 'r');
  calls = {};
  while true
    n = fread(f, 1, 'int32');
    if isempty(n)
      break;
    end
    name = fread(f, [1 n], 'char=>char');
    nlhs = fread(f, 1, 'int32');
    inputs = cell(1, fread(f, 1, 'int32'));
    for i = 1:numel(inputs)
      inputs{i} = read_array(f);
    end
    calls{end + 1} = {name, nlhs, inputs};
  end
  fclose(f);
end

function a = read_array(f)
  precisions = {3, 'uint8=>logical'; 4, 'char=>char'; 6, 'double=>double'; ...
                7, 'single=>single'; 9, 'uint8=>uint8'};
  id = fread(f, 1, 'int32');
  imaginary = fread(f, 1, 'int32');
  dims = fread(f, [1 fread(f, 1, 'int32')], 'double');
  p = precisions{[precisions{:, 1}] == id, 2};
  a = reshape(fread(f, prod(dims), p), dims);
  if imaginary
    a = complex(a, reshape(fread(f, prod(dims), p), dims));
  end
end

function p = class_precision(a)
  switch class(a)
    case 'double', p = 'double';
    case 'single', p = 'single';
    case {'uint8', 'logical'}, p = 'uint8';
    case 'char', p = 'char';
  end
end
