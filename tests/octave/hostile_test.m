function hostile_test(command, messages_file)
  % hostile_test(command, messages_file): calls the command with every kind of array Octave has
  % in every input slot, with too few and too many inputs, and with 0 to 3 outputs requested.
  % Each call must return, or raise one of the command's documented messages (listed in
  % messages_file as "command: message" lines). Exits with status 1 on the first call that does
  % neither; a crash ends the process, which the test runner sees as a failure. Each call is
  % printed before it is made, so that a crash names it.
  documented = read_messages(messages_file, command);
  base = valid_inputs(command);
  values = hostile_values();
  calls = 0;
  % Every hostile value in every slot of an otherwise valid call.
  for slot = 1:numel(base)
    for v = 1:rows(values)
      args = base;
      args{slot} = values{v, 2};
      for nout = 0:3
        check(command, args, nout, documented, sprintf('input %d = %s', slot, values{v, 1}));
        calls += 1;
      end
    end
  end
  % Too few and too many inputs, with valid ones and with hostile ones.
  for n = 0:numel(base) + 3
    args = repmat(base, 1, n)(1:n);
    for nout = 0:3
      check(command, args, nout, documented, sprintf('%d valid-looking inputs', n));
      calls += 1;
    end
    args = values(1 + mod(0:n - 1, rows(values)), 2)';
    check(command, args, 1, documented, sprintf('%d hostile inputs', n));
    calls += 1;
  end
  printf('%s: %d hostile calls, each returned or raised a documented message\n', command, calls);
  exit(0);
end

function check(command, args, nout, documented, what)
  printf('%s(%s), %d outputs\n', command, what, nout);
  fflush(stdout);
  try
    if nout == 0
      feval(command, args{:});
    else
      out = cell(1, nout);
      [out{:}] = feval(command, args{:});
    end
  catch err
    msg = err.message;
    prefix = [command ': '];
    ok = strncmp(msg, prefix, numel(prefix)) && any(strcmp(msg(numel(prefix) + 1:end), documented));
    % Asking for more outputs than a command fills is the host's own error, not the command's.
    ok = ok || (nout > 1 && ~isempty(strfind(msg, 'undefined')));
    ok = ok || (nout > 1 && ~isempty(strfind(msg, 'not defined')));
    if ~ok
      printf('FAILED: %s(%s), %d outputs: undocumented error "%s"\n', command, what, nout, msg);
      exit(1);
    end
  end
end

function documented = read_messages(file, command)
  text = fileread(file);
  lines = strsplit(text, "\n");
  prefix = [command ': '];
  documented = {};
  for i = 1:numel(lines)
    if strncmp(lines{i}, prefix, numel(prefix))
      documented{end + 1} = lines{i}(numel(prefix) + 1:end);
    end
  end
  if isempty(documented)
    printf('FAILED: no documented messages for %s in %s\n', command, file);
    exit(1);
  end
end

function v = hostile_values()
  v = {
    'single', single(magic(3));
    'int8', int8(magic(3));
    'uint8 3x3', uint8(magic(3));
    'int16', int16(magic(3));
    'uint16', uint16(magic(3));
    'int32', int32(magic(3));
    'uint32', uint32(magic(3));
    'int64', int64(magic(3));
    'uint64', uint64(magic(3));
    'logical', true(3);
    'char', 'nearest';
    'long char', repmat('x', 1, 100);
    'cell', {1, 2, 3};
    'struct', struct('a', 1);
    'function handle', @sin;
    'object', containers.Map();
    'sparse 3x3', sparse(magic(3));
    'sparse 2x5', sparse([1 0 0 0 1; 0 1 0 1 0]);
    'sparse logical', sparse(true(3));
    'complex 3x3', complex(magic(3), ones(3));
    'complex 2x4', complex(ones(2, 4), ones(2, 4));
    'N-d 3x3x2', ones(3, 3, 2);
    'N-d 2x2x2', ones(2, 2, 2);
    'N-d 6x3x2', ones(6, 3, 2);
    'N-d 2x5x2x2', ones(2, 5, 2, 2);
    'N-d uint8', uint8(ones(4, 4, 3));
    'empty 0x0', [];
    'empty 0x3', zeros(0, 3);
    'empty 3x0', zeros(3, 0);
    'empty 2x0', zeros(2, 0);
    'empty 1x0x3', zeros(1, 0, 3);
    'empty single', single(zeros(0, 2));
    'empty cell', {};
    'scalar', 5;
    'NaN 3x3', NaN(3);
    'Inf 3x3', Inf(3);
    '-Inf 2x7', -Inf(2, 7);
    'huge 2x3', 1e300 * ones(2, 3);
    '2^31 2x2', 2^31 * ones(2, 2);
    'denormal 3x3', realmin / 4 * ones(3);
    'short 2x1', [1; 2];
    'row 1x24', 1:24;
    'column 18x1', (1:18)';
    '2x100', rand(2, 100);
    '3x100', rand(3, 100);
    '100x3', rand(100, 3);
    '100x100', rand(100);
  };
end

function base = valid_inputs(command)
  X = reshape(0:99, 10, 10);
  switch command
    case 'patchcorr'
      base = {X, uint8(X), [1 0 0.5; 0 1 0; 0 0 1], [0 0.5 1; 0 0 0; 1 1 1], [3 4; 3 5], 'nearest'};
    case 'pluckresid'
      base = {[1 2 3 4], randn(6, 3, 3), randn(3, 4, 2), rand(2, 3, 2)};
    case 'stripfilt'
      base = {X, [1 0 -1], [2 3; 2 3], [8 3; 2 8]};
    case 'xprod3'
      base = {rand(3, 5), rand(3, 5)};
    case 'hesseform'
      base = {rand(4, 3)};
    otherwise
      error('hostile_test: no valid inputs for %s', command);
  end
end
