function octave_package_test(tarball)
  % octave_package_test(tarball): installs the package from its tarball with pkg install into a
  % temporary prefix (not the user's packages), loads it and calls every command from it. Exits
  % Octave with status 1 when any step fails.
  status = 1;
  prefix = tempname();
  try
    mkdir(prefix);
    pkg('prefix', prefix, prefix);
    pkg('local_list', fullfile(prefix, 'octave_packages'));
    pkg('install', '-local', tarball);
    pkg('load', 'mexgeom');
    folder = fileparts(which('patchcorr'));
    if ~strncmp(folder, prefix, numel(prefix))
      error('patchcorr is not taken from the package in %s but from %s', prefix, folder);
    end
    check_commands(folder);
    % The embedded tests travel with the package.
    [passed, total] = test('pluckresid', 'quiet', stdout);
    if total == 0 || passed ~= total
      error('pluckresid from the package: %d of %d embedded tests passed', passed, total);
    end
    status = 0;
  catch err
    printf('%s\n', err.message);
  end
  confirm_recursive_rmdir(false);
  rmdir(prefix, 's');
  exit(status);
end
