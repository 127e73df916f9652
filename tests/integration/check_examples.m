## check_examples (pages, helpfiles)
##
## Runs every example that a reader is shown: each ```matlab block of the pages (the README and
## the reference pages, a file name or a cell array of them) and the Example section of each
## command's help file, line by line in a workspace of its own, and checks the answers the text
## promises. A line's trailing comment is an answer when it reads as a value or an error:
##   code                  % VALUE           the value of code equals VALUE
##   code                  % NAME = VALUE    after the line, NAME equals VALUE
##   code                  % error: MESSAGE  code fails with a message that ends in MESSAGE
## Any other comment is prose. Values match when they have the same size and agree within a
## relative 1e-12, NaN matching NaN. Every example that calls a command must hold an answer.
function check_examples (pages, helpfiles)
  if (ischar (pages))
    pages = {pages};
  endif
  blocks = {};
  for k = 1:numel (pages)
    blocks = [blocks, page_blocks(pages{k})];
  endfor
  for k = 1:numel (helpfiles)
    blocks{end+1} = help_example (helpfiles{k});
  endfor
  checked = 0;
  for b = 1:numel (blocks)
    n = run_block (blocks{b}.lines, blocks{b}.where);
    calls = regexp (strjoin (blocks{b}.lines, "\n"),
                    '\<(patchcorr|pluckresid|stripfilt|xprod3|hesseform)\s*\(', "once");
    if (n == 0 && ! isempty (calls))
      error ("check_examples: %s shows no answer to check", blocks{b}.where);
    endif
    checked += n;
  endfor
  printf ("%d examples, %d answers checked\n", numel (blocks), checked);
endfunction

function blocks = page_blocks (file)
  text = strsplit (fileread (file), "\n", "CollapseDelimiters", false);
  blocks = {};
  inside = false;
  for i = 1:numel (text)
    line = text{i};
    if (! inside && strncmp (line, "```matlab", 9))
      inside = true;
      blocks{end+1} = struct ("where", sprintf ("%s:%d", file, i), "lines", {{}});
    elseif (inside && strncmp (line, "```", 3))
      inside = false;
    elseif (inside)
      blocks{end}.lines{end+1} = line;
    endif
  endfor
endfunction

## The lines after "%   Example" up to the first line that is only "%".
function block = help_example (file)
  text = strsplit (fileread (file), "\n", "CollapseDelimiters", false);
  first = find (strcmp (strtrim (text), "%   Example"), 1);
  if (isempty (first))
    error ("check_examples: %s has no Example section", file);
  endif
  block = struct ("where", sprintf ("%s:%d", file, first), "lines", {{}});
  for i = first+1:numel (text)
    if (strcmp (strtrim (text{i}), "%"))
      break;
    endif
    block.lines{end+1} = regexprep (text{i}, '^%\s?', "");
  endfor
endfunction

## Runs the lines in this function's own workspace; returns the number of answers checked.
function checked = run_block (lines__, where__)
  checked = 0;
  for i__ = 1:numel (lines__)
    [code__, comment__] = split_comment (lines__{i__});
    if (isempty (strtrim (code__)))
      continue;
    endif
    failure__ = regexp (comment__, '^\s*error:\s*(.*\S)\s*$', "tokens", "once");
    if (! isempty (failure__))
      check_failure (code__, failure__{1}, sprintf ("%s, line %d", where__, i__));
      checked++;
      continue;
    endif
    ## What the comment promises, if it reads as a value: "NAME = VALUE" or "VALUE".
    name__ = "";
    want__ = [];
    promise__ = false;
    m__ = regexp (comment__, '^\s*([A-Za-z]\w*)\s*=\s*(.+)$', "tokens", "once");
    if (! isempty (m__))
      [want__, promise__] = value_of (m__{2});
      name__ = m__{1};
    elseif (! isempty (strtrim (comment__)))
      [want__, promise__] = value_of (comment__);
    endif
    try
      if (promise__ && isempty (name__))
        got__ = eval (code__);
      else
        eval ([code__ ";"]);
        if (promise__)
          got__ = eval (name__);
        endif
      endif
    catch err__
      error ("check_examples: %s, line %d: %s\n  %s", where__, i__, err__.message, code__);
    end_try_catch
    if (promise__)
      if (! same_value (got__, want__))
        error ("check_examples: %s, line %d: %s\n  gives %s, the text says %s", where__, i__,
               strtrim (code__), mat2str (got__, 17), mat2str (want__, 17));
      endif
      checked++;
    endif
  endfor
endfunction

## The code must fail, with a message that ends in the text shown (Octave puts the command's
## name in front of a MEX file's message).
function check_failure (code, message, where)
  try
    evalin ("caller", [code ";"]);
  catch err
    if (! (numel (err.message) >= numel (message)
           && strcmp (err.message(end-numel(message)+1:end), message)))
      error ("check_examples: %s: %s\n  fails with \"%s\", the text says \"%s\"", where,
             strtrim (code), err.message, message);
    endif
    return;
  end_try_catch
  error ("check_examples: %s: %s\n  succeeds, the text says it fails with \"%s\"", where,
         strtrim (code), message);
endfunction

## The line cut at its first % outside a quoted text.
function [code, comment] = split_comment (line)
  code = line;
  comment = "";
  quote = false;
  for i = 1:numel (line)
    c = line(i);
    if (c == "'" && (quote || i == 1 || ! any (line(i-1) == "])}.'") && ! isalnum (line(i-1))))
      quote = ! quote;
    elseif (c == "%" && ! quote)
      code = line(1:i-1);
      comment = line(i+1:end);
      return;
    endif
  endfor
endfunction

function [v, ok] = value_of (text)
  v = [];
  ok = false;
  try
    v = eval (["[" text "]"]);
    ok = isnumeric (v) || islogical (v);
  catch
  end_try_catch
endfunction

function same = same_value (got, want)
  same = isequal (size (got), size (want));
  if (same)
    got = double (got(:));
    want = double (want(:));
    both = isnan (got) & isnan (want);
    close = abs (got - want) <= 1e-12 * max (1, abs (want));
    same = all (both | close | got == want);
  endif
endfunction
