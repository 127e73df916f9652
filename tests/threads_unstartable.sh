#!/usr/bin/env bash
# threads_unstartable.sh GATEWAY_TESTS: the thread tests with no thread to be had. Under a limit
# of one process for the user (as root, whom the limit does not bind, the tests run as nobody)
# every std::thread fails to start, and each call must finish on the calling thread with the
# bytes of one thread (the tests that need a thread of their own are skipped).
set -euo pipefail
as=()
[ "$(id -u)" -ne 0 ] || as=(runuser -u nobody --)
out=$(cd /tmp && "${as[@]}" prlimit --nproc=1 "$1" --gtest_filter='*Threads*' 2>&1) && status=0 ||
    status=$?
echo "$out"
if [ $status -ne 0 ]; then exit $status; fi
if echo "$out" | grep -q '^\[  SKIPPED \] Threads.WithoutThreadsToBeHadTheCallerWorksAlone'; then
    echo "threads could still be started under the limit: nothing was tested"
    exit 1
fi
