function file = reference_page(name)
%REFERENCE_PAGE  The reference pages of the mexgeom commands, wherever they are installed.
%   REFERENCE_PAGE(NAME) prints the reference page NAME.md and the file it
%   comes from. NAME is a command (patchcorr, pluckresid, stripfilt, xprod3,
%   hesseform) or another page: conversions (the camera, line and (x, y)
%   helpers), parallel (threads, processes and clusters), building.
%   FILE = REFERENCE_PAGE(NAME) returns the file name instead.
%   REFERENCE_PAGE alone lists the pages and their folder.
%
%   The pages are installed with the commands, in the folder doc beside
%   this file: in the Octave package's folder (pkg list mexgeom shows it),
%   in the folder that build_mex builds into, in build/octave/octave and
%   build/native/matlab of a CMake build; in the source tree they are the
%   folder doc at its top.
%
%   Errors: "name must be the name of a page: ...", listing them.
%
%   Example
%     exist(reference_page('patchcorr'), 'file')   % 2
%     reference_page                        % lists the pages and their folder
%
%   See also PATCHCORR, PLUCKRESID, STRIPFILT, XPROD3, HESSEFORM,
%   CAMERA_LINE_MATRICES, XY_TO_ROWCOL.

here = fileparts(mfilename('fullpath'));
folder = fullfile(here, 'doc');
if ~exist(fullfile(folder, 'patchcorr.md'), 'file')
  folder = fullfile(fileparts(here), 'doc');   % the source tree: this file lies in mcode/
end
pages = dir(fullfile(folder, '*.md'));
names = regexprep({pages.name}, '\.md$', '');
if nargin < 1
  fprintf('mexgeom reference pages in %s:\n', folder);
  fprintf('  %s\n', names{:});
  return;
end
if ~ischar(name) || ~any(strcmp(name, names))
  error('reference_page: name must be the name of a page: %s.', strjoin(names, ', '));
end
page = fullfile(folder, [name '.md']);
if nargout > 0
  file = page;
else
  fprintf('%s\n\n%s\n', page, fileread(page));
end
end

%!test  % every command has its page, in one folder
%! for name = {'patchcorr', 'pluckresid', 'stripfilt', 'xprod3', 'hesseform', 'conversions'}
%!   assert(exist(reference_page(name{1}), 'file'), 2);
%! end
%!error <name must be the name of a page: .*patchcorr> reference_page('nothing')
