#!/usr/bin/env bash
# Builds Nimbra and its tests and runs them all under Wine on the emulated Pocket PC profiles.
# Ends with ctest's summary line; the exit code is ctest's.
#   ./test.sh [CTEST_ARGS...]      e.g. ./test.sh -R unit.Settings
set -euo pipefail
src=$(cd "$(dirname "$0")" && pwd)
build=${NIMBRA_BUILD:-$src/build}    # NIMBRA_BUILD: another build directory
"$src/device/setup.sh" "$build"
cd "$build"
log=$build/ctest.log
rc=0
ctest --output-on-failure -j2 "$@" </dev/null 2>&1 | tee "$log" || rc=${PIPESTATUS[0]}
# The failed tests' list comes after ctest's summary: end with the summary again.
grep -E '^[0-9]+% tests passed' "$log" | tail -n 1 || true
exit $rc
