#!/bin/sh
# wine_run.sh PROGRAM [ARGS...]: runs a Windows program under Wine, without a display and without
# Wine's own messages, and exits with the program's status. The Wine prefix (WINEPREFIX, by
# default one of this project's own in the user's cache) is made on first use, once, even when
# several runs start together.
set -eu
export WINEDEBUG=-all
# No downloads of Mono or Gecko, and no windows: only console programs run here.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/mexgeom-wine}"
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            wine wineboot --init >/dev/null 2>&1 || true
            wineserver -w
        fi
    ) 9>"$WINEPREFIX.lock"
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine_run.sh: cannot set up $WINEPREFIX" >&2; exit 1; }
fi
exec wine "$@"
