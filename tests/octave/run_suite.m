function run_suite(names)
  % run_suite(names): runs the %!test blocks of the file name.m, or of each of a cell array of
  % names, and exits Octave with status 0 only when every file had blocks and every block passed,
  % so that a failure fails the calling test runner.
  names = cellstr(names);
  failed = false;
  for i = 1:numel(names)
    [passed, total] = test(names{i}, 'quiet', stdout);
    printf('%s: %d of %d passed\n', names{i}, passed, total);
    failed = failed || total == 0 || passed ~= total;
  end
  exit(double(failed));
end
