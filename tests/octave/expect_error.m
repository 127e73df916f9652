function expect_error(command, message, varargin)
  % expect_error(command, message, inputs...): calling the command with the inputs must raise
  % exactly the message, as the host shows it ("command: message").
  try
    feval(command, varargin{:});
  catch err
    expected = [command ': ' message];
    if ~strcmp(err.message, expected)
      error('expect_error: got "%s", expected "%s"', err.message, expected);
    end
    return;
  end
  error('expect_error: %s raised no error, expected "%s"', command, message);
end
