#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Tidyfox and runs every test: once in a normal
# build (warnings as errors) and once under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
# A compiler cache, where the machine has one, makes a second build quick.
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDYFOX_WERROR=ON "${launcher[@]}"
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs"

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTIDYFOX_WERROR=ON -DTIDYFOX_SANITIZE=ON "${launcher[@]}"
cmake --build build/asan -j"$jobs"
ctest --test-dir build/asan --output-on-failure -j"$jobs" -LE no-sanitizer
echo "All tests passed."
