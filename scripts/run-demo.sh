#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs Tidyfox on a demo library of its own: installs what is missing, builds
# (reusing build/release), makes the demo library in build/demo when it is
# missing, and starts Tidyfox on it. Without a display it runs Tidyfox under
# Xvfb, saves a screenshot to build/demo/screenshot.png and ends.
#
# The demo never touches your own library: Tidyfox and the library service it
# starts run with XDG_DATA_HOME=build/demo/data (so the library file and the
# trash are the demo's) on a private session bus (so a library service you may
# already run on your desktop's bus is never the one Tidyfox talks to).
#
#   bash scripts/run-demo.sh            make the demo library once and run
#   bash scripts/run-demo.sh --fresh    make the demo library again first
#
# TIDYFOX_BUILD_DIR and TIDYFOX_DEMO_DIR choose other folders than
# build/release and build/demo.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath -m "${TIDYFOX_BUILD_DIR:-build/release}")
app=$build/app
demo=$(realpath -m "${TIDYFOX_DEMO_DIR:-build/demo}")

# Second stage: runs inside the private session bus (and under Xvfb when
# there is no display), with the demo's environment already set.
if [ "${1:-}" = "--in-session" ]; then
    shot=${2:-}
    quit_service() { "$app/tidyfox-library" quit >/dev/null 2>&1 || true; }
    if [ -z "$shot" ]; then
        status=0
        "$app/tidyfox" || status=$?
        quit_service
        exit "$status"
    fi

    # Watch the program's automation signals from before its start: the first
    # time it hides the busy indicator, the library has been loaded and shown.
    signals=$(mktemp "${TMPDIR:-/tmp}/tidyfox-demo-signals.XXXXXX")
    gdbus monitor --session --dest org.tidyfox.Tidyfox --object-path /MainWindow >"$signals" 2>&1 &
    monitor=$!
    for _ in $(seq 1 20); do
        grep -q 'Monitoring' "$signals" && break
        sleep 0.25
    done
    "$app/tidyfox" &
    program=$!
    shown=0
    for _ in $(seq 1 120); do
        if grep -q '_root.disableactivationmovie' "$signals"; then
            shown=1
            break
        fi
        kill -0 "$program" 2>/dev/null || break
        sleep 0.5
    done
    if [ "$shown" = 1 ]; then
        sleep 2 # let the face finish its busy animation and paint the list
    else
        echo "Tidyfox did not show the library within a minute; taking the screenshot anyway." >&2
    fi
    import -window root "$shot"
    # Leave the way a user does, through the face's exit command; stop it
    # plainly only if that does not end it.
    gdbus call --session --dest org.tidyfox.Tidyfox --object-path /MainWindow \
        --method org.tidyfox.Tidyfox.MainWindow.FLashCommand IDC_FS_exit "" >/dev/null 2>&1 || true
    for _ in $(seq 1 20); do
        kill -0 "$program" 2>/dev/null || break
        sleep 0.25
    done
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    quit_service
    kill "$monitor" 2>/dev/null || true
    wait "$monitor" 2>/dev/null || true
    rm -f "$signals"
    if [ "$shown" = 1 ]; then exit 0; fi
    exit 1
fi

fresh=0
case "${1:-}" in
--fresh) fresh=1 ;;
"") ;;
*)
    echo "usage: bash scripts/run-demo.sh [--fresh]" >&2
    exit 2
    ;;
esac

bash scripts/install-deps.sh

# The same configuration as scripts/test.sh, so the two share one build.
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDYFOX_WERROR=ON
fi
# Build the application (both programs, the face, the help), not the tests.
targets=()
while read -r target; do
    targets+=(--target "$target")
done < <(cmake --build "$build" --target help 2>/dev/null |
    sed -n 's/^\.\.\. \(tidyfox[^ ]*\).*/\1/p' | grep -v -e test -e bench -e '^tidyfox_warnings$' || true)
if ((${#targets[@]})); then
    cmake --build "$build" -j"$(nproc)" "${targets[@]}"
else
    cmake --build "$build" -j"$(nproc)"
fi

# demo.xml stays only when its import succeeded.
if [ "$fresh" = 1 ] || [ ! -f "$demo/demo.xml" ] || [ ! -f "$demo/data/tidyfox/library.db" ]; then
    python3 scripts/make-demo-library.py "$demo" --tool "$app/tidyfox-library"
fi

export XDG_DATA_HOME=$demo/data
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ] || [ ! -w "$XDG_RUNTIME_DIR" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tidyfox-runtime.XXXXXX")
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Running Tidyfox on the demo library in $demo (quit Tidyfox to end)."
    exec dbus-run-session -- bash "$root/scripts/run-demo.sh" --in-session
fi

shot=$demo/screenshot.png
rm -f "$shot"
echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): running Tidyfox under Xvfb."
status=0
xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash "$root/scripts/run-demo.sh" --in-session "$shot" || status=$?
if [ -f "$shot" ]; then
    echo "Screenshot of Tidyfox on the demo library: $shot"
fi
exit "$status"
