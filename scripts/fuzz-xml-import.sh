#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the XML import fuzzer under AddressSanitizer and UndefinedBehaviorSanitizer
# for longer than the test suite does.
#   bash scripts/fuzz-xml-import.sh [SECONDS] [SEED]
# SECONDS defaults to 3600. Inputs that break a rule (and the one being tried
# when a sanitizer stops the run) are kept in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-3600}
seed=${2:-$RANDOM$RANDOM}
seeds=$(cd .. && pwd)/shared/realdata/xml
[[ -d $seeds ]] || { echo "no seed files in $seeds" >&2; exit 1; }
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTIDYFOX_WERROR=ON -DTIDYFOX_SANITIZE=ON >/dev/null
cmake --build build/asan --target xml_import_fuzz -j2
mkdir -p build/fuzz
exec bash tests/support/isolated.sh build/asan/tests/xml_import_fuzz \
    --seeds "$seeds" --seconds "$seconds" --seed "$seed" --keep "$(pwd)/build/fuzz"
