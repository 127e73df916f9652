function octave_package_test(tarball)
  % octave_package_test(tarball): installs the package from its tarball with pkg install into a
  % temporary prefix (not the user's packages), loads it and calls every command and helper from
  % it, and finds the reference pages there. Exits Octave with status 1 when any step fails.
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
    % The helpers and the reference pages lie in the package's own folder.
    helpers = fileparts(which('reference_page'));
    if ~strncmp(helpers, prefix, numel(prefix))
      error('reference_page is not taken from the package in %s but from %s', prefix, helpers);
    end
    check_helpers(helpers);
    % The embedded tests travel with the package.
    for name = {'pluckresid', 'line_basis', 'reference_page'}
      [passed, total] = test(name{1}, 'quiet', stdout);
      if total == 0 || passed ~= total
        error('%s from the package: %d of %d embedded tests passed', name{1}, passed, total);
      end
    end
    status = 0;
  catch err
    printf('%s\n', err.message);
  end
  confirm_recursive_rmdir(false);
  rmdir(prefix, 's');
  exit(status);
end
