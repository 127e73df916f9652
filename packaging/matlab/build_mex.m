function build_mex(outdir)
%BUILD_MEX  Build the mexgeom commands with the host's own mex command.
%   BUILD_MEX builds every command of this source tree into the folder
%   build/mex-EXT at the top of the tree, EXT being the host's MEX file extension
%   (mexa64 in MATLAB on 64-bit Linux, mex in GNU Octave), and copies each
%   command's help file NAME.m beside its MEX file, the .m helpers of mcode/
%   (camera_line_matrices, line_basis, xy_to_rowcol, ...) beside them, and
%   the reference pages of doc/ into the folder doc there, where the help
%   texts point (reference_page shows them). BUILD_MEX(OUTDIR) builds into
%   OUTDIR, which it creates if needed. Then addpath(OUTDIR) makes the
%   commands and helpers available.
%
%   Command NAME is built from its folder NAME/: the gateway NAME.cpp and its
%   kernel (the other .cpp files there), with host/mexversion.cpp and the
%   headers of core/ and host/, as C++20 and without contraction to fused
%   multiply-adds, like the CMake build. Like it too, the code is built without
%   exceptions and the C++ runtime is linked into each MEX file, local to it
%   (GCC and clang, but for Apple's linker, which has no static C++ library):
%   the file then loads in a host whose C++ library is older than the
%   compiler's, as MATLAB's often is.
%     MATLAB: the separate-complex API (-R2017b), whose mxGetPr gives the real
%             part of a complex input as the gateways expect. Needs R2017b or
%             later, hence a 64-bit MATLAB; the compiler flags are given for
%             GCC on Linux and omitted elsewhere.
%     Octave: a 32-bit x86 compiler computes doubles in SSE2 registers
%             (-msse2 -mfpmath=sse), as every other build does.
%   Each command exports mexFunction and mexVersion alone (with MATLAB, also
%   the API version function that MATLAB reads), as in the CMake build: by
%   host/mex.map on Linux, host/mex.def on Windows, host/mex.exp on macOS.
%
%   Example
%     build_mex('/tmp/mexgeom');  addpath('/tmp/mexgeom');  help patchcorr
%
%   See also MEX.

commands = {'patchcorr', 'pluckresid', 'stripfilt', 'xprod3', 'hesseform'};
% This file lies in packaging/matlab of the tree.
root = fileparts(fileparts(fileparts(mfilename('fullpath'))));
hostdir = fullfile(root, 'host');
coredir = fullfile(root, 'core');
if nargin < 1
  outdir = fullfile(root, 'build', ['mex-' mexext]);
end
if ~exist(outdir, 'dir')
  mkdir(outdir);
end

flags = '-std=c++20 -ffp-contract=off';
% No frame of a command then asks a C++ runtime to unwind it, whichever runtime the host's error
% report throws with; the unwind tables stay, for that unwinding to pass through.
noExceptions = ' -fno-exceptions -fasynchronous-unwind-tables';
% What the code still takes from the compiler's runtime, linked in and kept local by the export
% list: the MEX file then needs no C++ library of the host's.
staticRuntime = '-static-libstdc++ -static-libgcc';
inOctave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
if inOctave
  % Octave's mex is mkoctfile --mex, which takes the compiler and linker flags from the
  % environment. What the compiler builds for is read from its predefined macros.
  flags = [strtrim(mkoctfile('-p', 'CXXFLAGS')) ' ' flags noExceptions];
  ldflags = strtrim(mkoctfile('-p', 'LDFLAGS'));
  macros = compilerMacros(flags);
  if ~isempty(strfind(macros, '__i386__'))
    flags = [flags ' -msse2 -mfpmath=sse'];
  end
  if isempty(strfind(macros, '__APPLE__'))
    ldflags = [ldflags ' ' staticRuntime];
  end
  if ~isempty(strfind(macros, '_WIN32'))
    exports = ['-Wl,' fullfile(hostdir, 'mex.def')];
  elseif ~isempty(strfind(macros, '__APPLE__'))
    exports = ['-Wl,-exported_symbols_list,' fullfile(hostdir, 'mex.exp')];
  else
    exports = ['-Wl,--version-script=' fullfile(hostdir, 'mex.map')];
  end
  savedFlags = getenv('CXXFLAGS');
  restoreFlags = onCleanup(@() restoreVariable('CXXFLAGS', savedFlags));
  setenv('CXXFLAGS', flags);
  savedLdflags = getenv('LDFLAGS');
  restoreLdflags = onCleanup(@() restoreVariable('LDFLAGS', savedLdflags));
  setenv('LDFLAGS', ldflags);
else
  if any(strcmp(computer('arch'), {'glnx86', 'win32'}))
    error('build_mex: a 32-bit MATLAB predates the R2017b interface that the commands need.');
  end
  % MATLAB's mex names its own export list in LINKEXPORT and LINKEXPORTVER; ours replaces it.
  exportsFile = [tempname() matlabExportsExtension()];
  removeExports = onCleanup(@() delete(exportsFile));
  writeMatlabExports(exportsFile);
  compiler = mex.getCompilerConfigurations('C++', 'Selected');
  if ispc && ~isempty(strfind(lower(compiler.ShortName), 'msvc'))
    exports = '/EXPORT:mexFunction /EXPORT:mexVersion /EXPORT:mexfilerequiredapiversion';
  elseif ispc
    exports = ['"' exportsFile '"'];
  elseif ismac
    exports = ['-Wl,-exported_symbols_list,"' exportsFile '"'];
  else
    exports = ['-Wl,--version-script,"' exportsFile '"'];
  end
end

for i = 1:numel(commands)
  name = commands{i};
  folder = fullfile(root, name);
  files = dir(fullfile(folder, '*.cpp'));
  sources = [fullfile(folder, [name '.cpp']), ...
             cellfun(@(f) fullfile(folder, f), setdiff({files.name}, {[name '.cpp']}), ...
                     'UniformOutput', false), ...
             {fullfile(hostdir, 'mexversion.cpp')}];
  % The commands take double and uint8 images alone: their kernels are built for those two
  % element types only.
  includes = {'-DMEXGEOM_MEX_ELEMENTS', ['-I' hostdir], ['-I' coredir], ['-I' folder]};
  if inOctave
    % mkoctfile has no -outdir; its -output takes a path and adds the extension.
    mex('-output', fullfile(outdir, name), includes{:}, sources{:}, exports);
  else
    options = {'-R2017b', '-outdir', outdir, '-output', name, ['LINKEXPORT=' exports], ...
               ['LINKEXPORTVER=' exports]};
    if isunix
      options{end + 1} = ['CXXFLAGS=$CXXFLAGS ' flags noExceptions];
    end
    if isunix && ~ismac
      options{end + 1} = ['LDFLAGS=$LDFLAGS ' staticRuntime];
    end
    mex(options{:}, includes{:}, sources{:});
  end
  helpfile = fullfile(folder, [name '.m']);
  if exist(helpfile, 'file')
    copyfile(helpfile, outdir);
  end
end
% The helpers over the commands, and the reference pages their help texts point at.
helpers = dir(fullfile(root, 'mcode', '*.m'));
for i = 1:numel(helpers)
  copyfile(fullfile(root, 'mcode', helpers(i).name), outdir);
end
if ~exist(fullfile(outdir, 'doc'), 'dir')
  mkdir(fullfile(outdir, 'doc'));
end
pages = dir(fullfile(root, 'doc', '*.md'));
for i = 1:numel(pages)
  copyfile(fullfile(root, 'doc', pages(i).name), fullfile(outdir, 'doc'));
end
fprintf('built %d commands in %s, with %d helpers and %d reference pages\n', numel(commands), ...
        outdir, numel(helpers), numel(pages));
end

function restoreVariable(name, saved)
  if isempty(saved)
    unsetenv(name);
  else
    setenv(name, saved);
  end
end

% The compiler's predefined macros, as text (empty when it cannot be asked).
function macros = compilerMacros(flags)
  probe = [tempname() '.cpp'];
  fclose(fopen(probe, 'w'));
  [status, macros] = system(sprintf('%s %s -dM -E "%s"', strtrim(mkoctfile('-p', 'CXX')), ...
                                    flags, probe));
  delete(probe);
  if status ~= 0
    macros = '';
  end
end

function ext = matlabExportsExtension()
  if ispc
    ext = '.def';
  elseif ismac
    ext = '.exp';
  else
    ext = '.map';
  end
end

% The exports of a MATLAB build in the form of this platform's linker: the two entry points and
% the API version function of MATLAB's version file.
function writeMatlabExports(file)
  symbols = {'mexFunction', 'mexVersion', 'mexfilerequiredapiversion'};
  f = fopen(file, 'w');
  if ispc
    fprintf(f, 'EXPORTS\n');
    fprintf(f, '  %s\n', symbols{:});
  elseif ismac
    fprintf(f, '_%s\n', symbols{:});
  else
    fprintf(f, 'MEX {\n  global:\n');
    fprintf(f, '    %s;\n', symbols{:});
    fprintf(f, '  local:\n    *;\n};\n');
  end
  fclose(f);
end
