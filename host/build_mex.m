function build_mex(outdir)
%BUILD_MEX  Build the mexgeom commands with the host's own mex command.
%   BUILD_MEX builds every command of this source tree into the folder
%   build/mex-EXT beside this folder, EXT being the host's MEX file extension
%   (mexa64 in MATLAB on 64-bit Linux, mex in GNU Octave), and copies each
%   command's help file NAME.m beside its MEX file. BUILD_MEX(OUTDIR) builds
%   into OUTDIR, which it creates if needed. Then addpath(OUTDIR) makes the
%   commands available.
%
%   Command NAME is built from its folder NAME/: the gateway NAME.cpp and its
%   kernel (the other .cpp files there), with host/mexversion.cpp and the
%   headers of host/, as C++20 and without contraction to fused multiply-adds,
%   like the CMake build.
%     MATLAB: the separate-complex API (-R2017b), whose mxGetPr gives the real
%             part of a complex input as the gateways expect; MATLAB's mex
%             exports the entry point itself. Needs R2017b or later; the
%             compiler flags are given for GCC on Linux and omitted elsewhere.
%     Octave: the exports are limited to mexFunction and mexVersion by
%             host/mex.map, as in the CMake build.
%
%   Example
%     build_mex('/tmp/mexgeom');  addpath('/tmp/mexgeom');  help patchcorr
%
%   See also MEX.

commands = {'patchcorr', 'pluckresid', 'stripfilt', 'xprod3', 'hesseform'};
hostdir = fileparts(mfilename('fullpath'));
root = fileparts(hostdir);
if nargin < 1
  outdir = fullfile(root, 'build', ['mex-' mexext]);
end
if ~exist(outdir, 'dir')
  mkdir(outdir);
end

flags = '-std=c++20 -ffp-contract=off';
inOctave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
if inOctave
  % Octave's mex is mkoctfile --mex, which takes the compiler flags from the environment.
  saved = getenv('CXXFLAGS');
  restore = onCleanup(@() restoreFlags(saved));
  setenv('CXXFLAGS', [strtrim(mkoctfile('-p', 'CXXFLAGS')) ' ' flags]);
end

for i = 1:numel(commands)
  name = commands{i};
  folder = fullfile(root, name);
  files = dir(fullfile(folder, '*.cpp'));
  sources = [fullfile(folder, [name '.cpp']), ...
             cellfun(@(f) fullfile(folder, f), setdiff({files.name}, {[name '.cpp']}), ...
                     'UniformOutput', false), ...
             {fullfile(hostdir, 'mexversion.cpp')}];
  includes = {['-I' hostdir], ['-I' folder]};
  if inOctave
    % mkoctfile has no -outdir; its -output takes a path and adds the extension.
    mex('-output', fullfile(outdir, name), includes{:}, sources{:}, ...
        ['-Wl,--version-script=' fullfile(hostdir, 'mex.map')]);
  else
    options = {'-R2017b', '-outdir', outdir, '-output', name};
    if isunix
      options{end + 1} = ['CXXFLAGS=$CXXFLAGS ' flags];
    end
    mex(options{:}, includes{:}, sources{:});
  end
  helpfile = fullfile(folder, [name '.m']);
  if exist(helpfile, 'file')
    copyfile(helpfile, outdir);
  end
end
fprintf('built %d commands in %s\n', numel(commands), outdir);
end

function restoreFlags(saved)
  if isempty(saved)
    unsetenv('CXXFLAGS');
  else
    setenv('CXXFLAGS', saved);
  end
end
