#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The kill soak of the duplicate removal (tests/e2e/tst_e2e_kill_soak.cpp) at
# length: SIGKILL to the library service and to the program, in turn, at random
# points of a removal of 2,000 copies, with the library checked after each kill.
#   bash bench/kill-soak.sh [KILLS] [SEED]
# KILLS defaults to 200. Builds build/release when it is missing, keeps the
# whole log in build/kill-soak.log and prints the kills that left a track half
# done and the totals.
#
# The restore mode kills the library service at evenly spread points of a
# restore of TRACKS tracks with their files (tests/libraryclient/ServiceTest.cpp,
# ARestoreKilledAtAnyPointIsFinishedByTheNextOne) and checks the library, the
# files and the job after each kill and after the restore run again:
#   bash bench/kill-soak.sh restore [KILLS] [TRACKS]
# KILLS defaults to 400, TRACKS to 1000; the log is build/kill-soak-restore.log.
#
# The clean mode kills the library service at random points of
# tidyfox-clean duplicates --remove, a fresh library of 150 pairs each time,
# and checks that the next clean-up finds no track dead and none whose file
# is in the trash (tests/e2e/clean_cli_race_test.py):
#   bash bench/kill-soak.sh clean [KILLS] [SEED]
# KILLS defaults to 200; the log is build/kill-soak-clean.log.
set -euo pipefail
cd "$(dirname "$0")/.."
machine() {
  echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
}
if [[ ${1:-} == clean ]]; then
  export TIDYFOX_SOAK_KILLS=${2:-200}
  [[ -n ${3:-} ]] && export TIDYFOX_SOAK_SEED=$3
  [[ -d build/release ]] || cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/release --target tidyfox-clean tidyfox-library -j2 >/dev/null
  log=build/kill-soak-clean.log
  start=$(date +%s)
  status=0
  bash tests/support/isolated.sh python3 tests/e2e/clean_cli_race_test.py --clean build/release/app/tidyfox-clean \
    --tool build/release/app/tidyfox-library Race.test_a_removal_whose_service_is_killed_strands_no_file \
    >"$log" 2>&1 || status=$?
  end=$(date +%s)
  machine
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC'), wall time $((end - start)) s, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  grep -E '^clean soak:' "$log" || echo "no totals: the run stopped early"
  grep -E 'AssertionError|FAIL' "$log" | head -20 || true
  echo "test exit status $status (log: $log)"
  exit "$status"
fi
if [[ ${1:-} == restore ]]; then
  export TIDYFOX_RESTORE_KILLS=${2:-400} TIDYFOX_RESTORE_TRACKS=${3:-1000}
  [[ -d build/release ]] || cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/release --target client_service tidyfox-library -j2 >/dev/null
  log=build/kill-soak-restore.log
  start=$(date +%s)
  status=0
  bash tests/support/isolated.sh build/release/tests/client_service \
    --gtest_filter='*ARestoreKilledAtAnyPointIsFinishedByTheNextOne' >"$log" 2>&1 || status=$?
  end=$(date +%s)
  machine
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC'), wall time $((end - start)) s, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  grep -E '^restore kills:' "$log" || echo "no totals: the run stopped early"
  grep -E 'Failure|Expected|Which is|^\[  FAILED' "$log" | head -20 || true
  echo "test exit status $status (log: $log)"
  exit "$status"
fi
export TIDYFOX_SOAK_KILLS=${1:-200}
[[ -n ${2:-} ]] && export TIDYFOX_SOAK_SEED=$2
# QtTest stops a test function after 5 minutes; a kill takes about 5 s.
export QTEST_FUNCTION_TIMEOUT=$(( (TIDYFOX_SOAK_KILLS * 30 + 300) * 1000 ))
[[ -d build/release ]] || cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release --target tst_e2e_kill_soak -j2 >/dev/null
log=build/kill-soak.log
start=$(date +%s)
status=0
bash tests/support/isolated.sh build/release/tests/tst_e2e_kill_soak >"$log" 2>&1 || status=$?
end=$(date +%s)
machine
echo "date: $(date -u '+%Y-%m-%d %H:%M UTC'), wall time $((end - start)) s, load average $(cut -d' ' -f1-3 /proc/loadavg)"
grep -m1 '^soak: .* seed' "$log" || true
grep '^soak: kill .*[1-9][0-9]* half-done' "$log" | grep -v ' 0 half-done' || echo "no kill left a half-done track"
grep -E '^soak: service kills' "$log" || echo "no totals: the run stopped early"
grep -E '^(FAIL!|   Loc:)' "$log" || true
echo "test exit status $status (log: $log)"
exit "$status"
