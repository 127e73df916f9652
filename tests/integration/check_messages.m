## check_messages (list, docdir, sourcedir)
##
## The messages the documentation names are the commands' own: for each command of the list
## (lines "NAME: MESSAGE" in the order the command tests its inputs), the Errors table of its
## reference page DOCDIR/NAME.md names exactly those messages, in that order (the first quoted
## text of each row), and the Errors section of its help file SOURCEDIR/NAME/NAME.m names only
## messages of the list, in the list's order (it may group some, as "the same three for Y").
function check_messages (list, docdir, sourcedir)
  entries = regexp (fileread (list), '(?m)^(\w+): (.+?)\s*$', "tokens");
  commands = unique (cellfun (@(e) e{1}, entries, "UniformOutput", false));
  failures = {};
  for c = 1:numel (commands)
    name = commands{c};
    want = cellfun (@(e) e{2}, entries(cellfun (@(e) strcmp (e{1}, name), entries)),
                    "UniformOutput", false);
    page = section_matches (fullfile (docdir, [name ".md"]), "## Errors", '^## ',
                            '^\|\s*`([^`]+)`');
    if (! isequal (page, want))
      failures{end+1} = sprintf ("%s.md lists\n    %s\n  the list has\n    %s", name,
                                 strjoin (page, "\n    "), strjoin (want, "\n    "));
    endif
    help = section_matches (fullfile (sourcedir, name, [name ".m"]), "%   Errors", '^%\s*$',
                            '^%     ([^ (].*?)(\s{2,}|$)');
    [known, at] = ismember (help, want);
    if (isempty (help) || ! all (known) || any (diff (at) <= 0))
      failures{end+1} = sprintf ("%s.m names\n    %s\n  not all of them in the list's order",
                                 name, strjoin (help, "\n    "));
    endif
  endfor
  if (! isempty (failures))
    error ("check_messages: %s", strjoin (failures, "\n"));
  endif
  printf ("%d commands, %d messages: the pages and help files agree with the list\n",
          numel (commands), numel (entries));
endfunction

## The first token of PATTERN in each line of the section of FILE that follows the first line
## starting with HEAD and ends before the first line matching STOP. The reference pages: the first
## quoted text of each row of the table under "## Errors". The help files: the lines of the
## Errors section indented by five blanks after the "%", each a message, then (after two blanks
## or more) when it is given.
function found = section_matches (file, head, stop, pattern)
  text = strsplit (fileread (file), "\n");
  first = find (strncmp (text, head, numel (head)), 1);
  found = {};
  for i = first+1:numel (text)
    if (! isempty (regexp (text{i}, stop, "once")))
      break;
    endif
    m = regexp (text{i}, pattern, "tokens", "once");
    if (! isempty (m))
      found{end+1} = m{1};
    endif
  endfor
endfunction
