#!/usr/bin/env bash
# cluster_test.sh OCTAVE MEXDIR EXAMPLE: runs the cluster example (examples/patchcorr_cluster.m)
# with the commands of MEXDIR against a server of Octave's parallel package started here, reached
# through the loopback address, and stops the server and every process it started, whatever
# happens. The example runs for at most 150 seconds.
#
# The server (octave-pserver, without authentication) refuses to run as root; as root it is
# started as the user nobody, who must be able to read MEXDIR. It writes its process id to
# /tmp/.octave-HOSTNAME.pid and listens on the package's fixed ports, so only one can run on a
# machine: when one already runs that this script did not start, the test is skipped (77).
#
# A clean run leaves nothing in /tmp: the server writes an error log there for itself and one for
# each connection (octave_error-HOST.log, octave_error-HOST_ID.log), which must be empty (the
# example ends the server's workers before it closes, or they would write "could not read
# variable" there); the script removes them, then fails if anything else of Octave's that the run
# made, or anything of the server's user, is left in /tmp.
set -euo pipefail
octave=$1 mexdir=$2 example=$3
server=/usr/libexec/octave-pserver
[ -x "$server" ] || server=$(command -v octave-pserver || true)
if [ -z "$server" ]; then
    echo "no octave-pserver: the package octave-parallel is not installed"
    exit 1
fi
pidfile=/tmp/.octave-$(hostname).pid
if [ -s "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
    echo "a parallel server already runs here (process $(cat "$pidfile")); skipped"
    exit 77
fi
rm -f "$pidfile"

as=()
[ "$(id -u)" -ne 0 ] || as=(runuser -u nobody --)
if ! "${as[@]}" test -r "$mexdir/patchcorr.mex"; then
    echo "the server's user ($("${as[@]}" id -un)) cannot read $mexdir/patchcorr.mex"
    exit 1
fi

# The server runs in a session of its own, and every process it starts (its workers leave it as
# their parent) stays in that session's process group: stopping the group stops them all.
group=""
start=$(date +%s)   # what the run makes in /tmp is newer than this
stop() {
    local status=$?
    if [ -n "$group" ]; then
        kill -TERM -- "-$group" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 -- "-$group" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL -- "-$group" 2>/dev/null || true
        echo "stopped the server and its workers (process group $group)"
        rm -f "$pidfile"
        local log
        while read -r log; do
            if [ -s "$log" ]; then
                echo "the server wrote into $log:"
                cat "$log"
                status=1
            fi
            rm -f "$log"
        done < <(find /tmp -maxdepth 1 -name "octave_error-$(hostname)*.log" -newermt "@$start")
        local user=${as[*]:+nobody}
        local left
        left=$(find /tmp -maxdepth 1 -mindepth 1 -newermt "@$start" \( -name 'octave*' \
               -o -name '.octave*' ${user:+-o -user "$user"} \) -print)
        if [ -n "$left" ]; then
            echo "left in /tmp by the run:"
            echo "$left"
            status=1
        else
            echo "nothing of the run left in /tmp"
        fi
    fi
    rm -f "$pidfile"
    exit $status
}
trap stop EXIT INT TERM

# The server puts itself in the background and writes its process id.
(cd /tmp && exec setsid "${as[@]}" "$server" \
    --octave-binary="$(readlink -f "$(command -v "$octave")")" --no-auth >/dev/null)
for _ in $(seq 100); do
    [ -s "$pidfile" ] && break
    sleep 0.1
done
server_pid=$(cat "$pidfile" 2>/dev/null || true)
group=$(ps -o pgid= -p "${server_pid:-0}" | tr -d ' ' || true)
if [ -z "$group" ] || [ "$group" = "$(ps -o pgid= -p $$ | tr -d ' ')" ]; then
    group=""
    echo "the server did not start in a session of its own"
    exit 1
fi
echo "started the server (process $server_pid, process group $group)"

MEXGEOM_CLUSTER_HOSTS=127.0.0.1 MEXGEOM_CLUSTER_MEXDIR="$mexdir" timeout 150 \
    "$octave" --no-gui --no-window-system -q --norc --path "$mexdir" "$example"
