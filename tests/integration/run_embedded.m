function run_embedded(name)
  % run_embedded(name): the help file of the command: `help name` shows its text, `test name`
  % passes every %!test, %!assert and %!error block, and `demo name` runs every %!demo block
  % without an error. Exits Octave with status 1 when any of them fails.
  status = 1;
  try
    text = get_help_text(name);
    if ~strncmp(text, upper(name), numel(name)) || isempty(strfind(text, 'See also'))
      error('the help of %s does not start with its summary line or lacks "See also"', name);
    end
    [passed, total] = test(name, 'quiet', stdout);
    if total == 0 || passed ~= total
      error('%s: %d of %d embedded tests passed', name, passed, total);
    end
    [~, starts] = test(name, 'grabdemo');
    demos = numel(starts) - 1;
    if demos < 1
      error('%s has no demo', name);
    end
    for i = 1:demos
      % demo reports a failing block on its output instead of raising the error.
      output = evalc(sprintf('demo (''%s'', %d)', name, i));
      if ~isempty(regexp(output, 'example \d+: failed', 'once'))
        error('demo %d of %s failed:\n%s', i, name, output);
      end
    end
    printf('%s: help shown, %d of %d tests passed, %d demos ran\n', name, passed, total, demos);
    status = 0;
  catch err
    printf('%s\n', err.message);
  end
  exit(status);
end
