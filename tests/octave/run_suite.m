function run_suite(name)
  % run_suite(name): runs the %!test blocks of the file name.m and exits Octave with status 0
  % only when every block passed, so that a failure fails the calling test runner.
  [passed, total] = test(name, 'quiet', stdout);
  printf('%s: %d of %d passed\n', name, passed, total);
  exit(double(total == 0 || passed ~= total));
end
