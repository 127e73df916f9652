function build_mex_test(root)
  % build_mex_test(root): runs the build script packaging/matlab/build_mex.m of the tree at root into a
  % temporary folder and calls every command and helper from the result. Exits Octave with status 1
  % when any step fails.
  status = 1;
  folder = tempname();
  try
    addpath(fullfile(root, 'packaging', 'matlab'));
    build_mex(folder);
    addpath(folder);
    check_commands(folder);
    check_helpers(folder);
    status = 0;
  catch err
    printf('%s\n', err.message);
  end
  confirm_recursive_rmdir(false);
  if exist(folder, 'dir')
    rmdir(folder, 's');
  end
  exit(status);
end
