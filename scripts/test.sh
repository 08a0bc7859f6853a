#!/usr/bin/env bash
# Builds and tests everything, in three trees:
#   build/       the host tree (g++, Release): qev and the unit tests
#   build-win/   the Windows tree (MinGW-w64, Release): the stub and the unit
#                tests of the Windows layers, run by ctest under Wine
#   build-san/   the host tree again with clang, AddressSanitizer and
#                UndefinedBehaviorSanitizer, plus the fuzz targets run briefly
#                on their seed corpora
# Installs what is missing first (scripts/setup.sh). Shows each tree's ctest
# result and ends with a summary; the exit status is non-zero on any failure.
set -uo pipefail
source "$(dirname "$0")/common.sh"
cd "$ROOT"

started=$(date +%s)
bash "$ROOT/scripts/setup.sh" || exit 1
start_display || exit 1
trap stop_display EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

results=()
total_passed=0
total_failed=0
failed_any=0

# run_ctest TREE: runs the tree's tests; shows failures and ctest's closing
# lines, keeps the whole output in TREE/ctest.log; sets PASSED and TOTAL.
run_ctest() {
  local dir=$1
  ctest --test-dir "$dir" -j "$JOBS" --timeout 600 --output-on-failure >"$dir/ctest.log" 2>&1
  local status=$?
  # Per-test progress lines of passing tests are left in the log only.
  grep -vE '^ *(Start +[0-9]+:|[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed +[0-9.]+ sec$)|^Internal ctest' \
    "$dir/ctest.log" |
    sed -e '/^$/N;/^\n$/D' | sed 's/^/  /'
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$dir/ctest.log" | tail -1)
  if [ -n "$line" ]; then
    TOTAL=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    local failed
    failed=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    PASSED=$((TOTAL - failed))
  else
    TOTAL=0
    PASSED=0
  fi
  return $status
}

# run_tree NAME DIR CONFIGURE_FUNCTION
run_tree() {
  local name=$1 dir=$2 configure=$3 ok=1 t0
  t0=$(date +%s)
  say "== $name ($dir)"
  say "  configuring"
  if ! $configure; then
    results+=("$(printf '%-11s %-11s configure failed' "$dir/" "$name")")
    failed_any=1
    return
  fi
  say "  building"
  build_tree "$ROOT/$dir" || ok=0
  say "  testing"
  PASSED=0
  TOTAL=0
  run_ctest "$ROOT/$dir" || ok=0
  [ "$TOTAL" -gt 0 ] || { say "  no tests ran"; ok=0; }
  total_passed=$((total_passed + PASSED))
  total_failed=$((total_failed + TOTAL - PASSED))
  local verdict=ok
  if [ $ok -eq 0 ]; then
    verdict=FAILED
    failed_any=1
  fi
  results+=("$(printf '%-11s %-11s %4d/%-4d passed  %-6s (%ds)' "$dir/" "$name" "$PASSED" "$TOTAL" \
    "$verdict" $(($(date +%s) - t0)))")
}

prepare_windows() {
  configure_windows && prepare_wine
}

run_tree host build configure_host
run_tree windows build-win prepare_windows
run_tree sanitizers build-san configure_sanitizers

# The stub's size against its budget: the archive offset that the
# configuration block presets (the e2e_stub_size test checks it too).
STUB_BUDGET=$(sh "$ROOT/scripts/stub-budget.sh")
if [ -f "$ROOT/build-win/qevstub.exe" ]; then
  stub_size=$(stat -c %s "$ROOT/build-win/qevstub.exe")
  stub_verdict=ok
  if [ "$stub_size" -gt $STUB_BUDGET ]; then
    stub_verdict="OVER BUDGET"
    failed_any=1
  fi
  results+=("$(printf '%-11s %-11s %d bytes (budget %d)  %s' build-win/ qevstub.exe "$stub_size" $STUB_BUDGET "$stub_verdict")")
else
  results+=("$(printf '%-11s %-11s not built' build-win/ qevstub.exe)")
  failed_any=1
fi

say "== summary ($(($(date +%s) - started))s)"
for r in "${results[@]}"; do say "  $r"; done
echo "total: $total_passed passed, $total_failed failed"
exit $failed_any
