function check_helpers(folder)
  % check_helpers(folder): the .m helpers and the reference pages came with the commands: every
  % helper is the file in folder, reference_page finds each page in folder/doc, every command's
  % help points at its page through reference_page, and a helper answers its documented example.
  % Raises an error at the first that does not hold.
  helpers = {'camera_line_matrices', 'line_basis', 'line_points', 'xy_to_rowcol', ...
             'rowcol_to_xy', 'xy_homography_to_rowcol', 'rowcol_homography_to_xy', ...
             'reference_page'};
  for i = 1:numel(helpers)
    where = which(helpers{i});
    if ~strcmp(where, fullfile(folder, [helpers{i} '.m']))
      error('check_helpers: %s is "%s", expected the file in %s', helpers{i}, where, folder);
    end
  end
  commands = {'patchcorr', 'pluckresid', 'stripfilt', 'xprod3', 'hesseform'};
  for name = [commands, {'conversions', 'parallel', 'building'}]
    page = reference_page(name{1});
    if ~strcmp(page, fullfile(folder, 'doc', [name{1} '.md'])) || ~exist(page, 'file')
      error('check_helpers: the page of %s is "%s", expected in %s', name{1}, page, ...
            fullfile(folder, 'doc'));
    end
  end
  for name = commands
    if isempty(strfind(get_help_text(name{1}), ['reference_page ' name{1}]))
      error('check_helpers: the help of %s does not point at reference_page %s', name{1}, ...
            name{1});
    end
  end
  [x, T] = line_basis([0 0 4], [1 0 4]);
  A = camera_line_matrices([800 0 320 0; 0 800 240 0; 0 0 1 0]);
  assert(pluckresid(x, A, T, cat(3, [400; 240], [400; 250])), [0; 10], 1e-12);
  printf('%d helpers and the reference pages from %s\n', numel(helpers), folder);
end
