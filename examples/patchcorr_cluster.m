% patchcorr_cluster: scoring many image pairs on every processor of one machine, and on a cluster.
%
% Each of a set of image pairs (a textured image and its copy warped through a homography of its
% own) is scored with patchcorr at the same points, three ways:
%   1. a plain loop, one pair after another;
%   2. parcellfun of Octave's parallel package: the pairs shared among local processes;
%   3. netcellfun of the same package: the pairs shared among the machines of a cluster, each
%      running the package's server (pserver), and among the processes of each machine.
% Every way must give the plain loop's answers exactly; the script stops with an error otherwise.
% It prints the time each way took.
%
% The commands start no threads of their own (MEXGEOM_THREADS unset), so the processes of 2 and
% 3, one per processor, do not compete with threads for the processors.
%
% Each server writes an error log in its machine's /tmp, octave_error-HOST.log and one
% octave_error-HOST_ID.log per connection, at paths of its own; after a clean run they are empty.
% Remove them once the server is stopped (see doc/parallel.md).
%
% The cluster part runs when MEXGEOM_CLUSTER_HOSTS names the server machines, separated by commas
% (127.0.0.1 for a server on this machine). The servers must find the built commands:
% MEXGEOM_CLUSTER_MEXDIR names their folder on the servers (default: the folder of the commands
% here, for machines that share a file system). Each server runs, as an ordinary user,
%   /usr/libexec/octave-pserver --octave-binary=/usr/bin/octave-cli --no-auth
% (no authentication: a trusted network only; see doc/parallel.md).
%
% Run after examples/demo.sh (or another build of the commands):
%   octave-cli -q --norc examples/patchcorr_cluster.m

pkg load parallel
root = fileparts(fileparts(mfilename('fullpath')));
if exist('patchcorr') ~= 3   % not on the path: take those of the builds in this tree, native first
  for build = fullfile(root, 'build', {'octave', 'native'}, 'octave')
    if isfolder(build{1}), addpath(build{1}); end
  end
end

% The pairs: a smooth texture with noise, and the same texture seen through a homography H of a
% small rotation, scale and shift (different for every pair), so that H maps X onto Y.
pairs = 24;
side = 300;
rand('state', 1);
[r, c] = ndgrid(1:side, 1:side);
X = cell(1, pairs);
Y = cell(1, pairs);
H = cell(1, pairs);
for k = 1:pairs
  a = 0.1 * (rand - 0.5);
  s = 1 + 0.1 * (rand - 0.5);
  H{k} = [s * cos(a), -s * sin(a), 10 * rand; s * sin(a), s * cos(a), 10 * rand; 0 0 1];
  f = @(p, q) 128 + 50 * sin(0.09 * p + 0.05 * q + k) + 40 * sin(0.04 * p - 0.11 * q);
  X{k} = uint8(f(r, c) + 20 * rand(side));
  g = H{k} \ [r(:)'; c(:)'; ones(1, side ^ 2)];   % the position in X of each pixel of Y
  Y{k} = uint8(reshape(f(g(1, :) ./ g(3, :), g(2, :) ./ g(3, :)), side, side) + 20 * rand(side));
end
% The points, some near and beyond the border, and an 11 x 11 window of Gaussian weights.
u = 1 + (side - 1) * rand(2, 4000);
[dr, dc] = ndgrid(-5:5, -5:5);
W = [dr(:)'; dc(:)'; exp(-(dr(:)' .^ 2 + dc(:)' .^ 2) / 18)];
score = @(X, Y, H) patchcorr(X, Y, H, W, u);

% 1. The plain loop.
tic;
plain = cell(1, pairs);
for k = 1:pairs
  plain{k} = score(X{k}, Y{k}, H{k});
end
t = toc;
all = cell2mat(plain);
printf('%-44s %8.3f s   median score %.3f, %d of %d undefined\n', ...
       'plain loop, one pair after another', t, median(all(~isnan(all))), nnz(isnan(all)), ...
       numel(all));

% 2. The processes of this machine.
tic;
local = parcellfun(nproc, score, X, Y, H, 'UniformOutput', false, 'VerboseLevel', 0);
t = toc;
if ~isequaln(local, plain)
  error('patchcorr_cluster: parcellfun gave other scores than the plain loop');
end
printf('%-44s %8.3f s   the same scores\n', sprintf('parcellfun, %d local processes', nproc), t);

% 3. The machines of a cluster.
hosts = strtrim(strsplit(getenv('MEXGEOM_CLUSTER_HOSTS'), ','));
hosts = hosts(~cellfun(@isempty, hosts));
if isempty(hosts)
  printf('netcellfun: skipped (set MEXGEOM_CLUSTER_HOSTS to the servers'' names)\n');
  return;
end
mexdir = getenv('MEXGEOM_CLUSTER_MEXDIR');
if isempty(mexdir)
  mexdir = fileparts(which('patchcorr'));
end
% Without TLS only where the network is trusted (here the loopback address); with
% authentication, drop the options and give the servers the data of parallel_generate_srp_data.
conns = pconnect(hosts, struct('use_tls', false));
unwind_protect
  % Each server puts the commands on its path before it forks its worker processes.
  reval(sprintf('addpath(''%s'');', mexdir), conns(2:end));
  tic;
  remote = netcellfun(conns, score, X, Y, H, 'UniformOutput', false);
  t = toc;
unwind_protect_cleanup
  % Each server keeps the worker processes of its parcellfun until told otherwise; ended by the
  % closing connection instead, they write "could not read variable" into the server's error log
  % (/tmp/octave_error-HOST_ID.log). Ending them first leaves that log empty.
  try
    reval('parcellfun_set_nproc(0);', conns(2:end));
  catch
  end_try_catch
  sclose(conns);
end_unwind_protect
if ~isequaln(remote, plain)
  error('patchcorr_cluster: netcellfun gave other scores than the plain loop');
end
printf('%-44s %8.3f s   the same scores\n', ...
       sprintf('netcellfun, %d server(s): %s', numel(hosts), strjoin(hosts, ', ')), t);
