#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one test in a world of its own: a temporary home, runtime folder, data
# folder and trash, a private session bus, and the offscreen platform.
set -euo pipefail
root=$(mktemp -d "${TMPDIR:-/tmp}/tidyfox-test.XXXXXX")
cleanup() { rm -rf "$root"; }
trap cleanup EXIT
mkdir -p "$root/home" "$root/runtime" "$root/data" "$root/config" "$root/cache"
chmod 700 "$root/runtime"
export HOME="$root/home"
export XDG_RUNTIME_DIR="$root/runtime"
export XDG_DATA_HOME="$root/data"
export XDG_CONFIG_HOME="$root/config"
export XDG_CACHE_HOME="$root/cache"
export TIDYFOX_TEST_ROOT="$root"
export QT_QPA_PLATFORM="${TIDYFOX_TEST_PLATFORM:-offscreen}"
unset DISPLAY WAYLAND_DISPLAY
export LC_ALL="${TIDYFOX_TEST_LOCALE:-C.UTF-8}"
# The sanitizers find leaks in the platform's own libraries that are not ours.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
exec dbus-run-session -- "$@"
