function check_commands(folder)
  % check_commands(folder): every command is the MEX file in folder, shows its help, and answers
  % a worked example with the documented result. Raises an error at the first that does not.
  commands = {'patchcorr', 'pluckresid', 'stripfilt', 'xprod3', 'hesseform'};
  for i = 1:numel(commands)
    name = commands{i};
    where = which(name);
    expected = fullfile(folder, [name '.' mexext()]);
    if ~strcmp(where, expected)
      error('check_commands: %s is "%s", expected %s', name, where, expected);
    end
    text = get_help_text(name);
    if ~strncmp(text, upper(name), numel(name)) || isempty(strfind(text, 'See also'))
      error('check_commands: no help for %s beside %s', name, where);
    end
  end

  X = reshape(0:24, 5, 5);
  W = [0 0.5 1; 0 0 0; 1 1 1];
  H = [1 0 0.5; 0 1 0; 0 0 1];
  assert(patchcorr(X, X, H, W, [3; 3], 'nearest'), 0.5);
  T = cat(3, [0 0 0 1; 1 0 0 0; 0 1 0 0], [0 0 1 1; 1 0 0 0; 0 1 0 0]);
  A = zeros(6, 3, 2);
  A(1:2, 1, 1) = [1; -1];  A(3, 2, 1) = -2;  A(6, 3, 1) = -5;
  A(1, 2, 2) = -1;  A(4, 3, 2) = -3;
  [r, J] = pluckresid([1 2 3 4], A, T, cat(3, [1 7; 3 2], [-3 0; 1 5]));
  assert(r, [4; 0; 1; -2]);
  assert(size(J), [4 4]);
  I = magic(8);
  assert(stripfilt(I, [1 0 -1], [4; 2], [4; 5]), mean(I(5, 2:4)) - mean(I(3, 2:4)), 1e-12);
  assert(xprod3([1 0; 0 1; 0 0]), [0; 0; 1]);
  assert(hesseform([3 4 10]), [0.6 0.8 2], eps);
  try
    xprod3(ones(2, 3));
    error('check_commands: xprod3 accepted a 2 x 3 input');
  catch err
    assert(err.message, 'xprod3: Input must be 3x2 vector.');
  end
  printf('%d commands from %s: help and worked examples as documented\n', numel(commands), ...
         folder);
end
