#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs every target for a
# fixed time, starting from the seed corpus in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   run each target SECONDS (default 30)
#   scripts/fuzz.sh --runs N [TARGET...]    run each target for N inputs instead
#   scripts/fuzz.sh --seed                  rewrite fuzz/corpus/ with the program's writers
#
# A finding (crash, sanitizer report, leak, timeout, broken invariant) fails
# the script; the input is kept in build-fuzz/findings/<target>/ and its path
# printed. Inputs that found new coverage go to build-fuzz/corpus/<target>/.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
build="${LARKSPAN_FUZZ_BUILD:-$repo/build-fuzz}"
targets_all=(query_file cache_file tree_text ini_file registry param_parser number_text value_block)

limit=(-max_total_time=30)
seed_only=0
case "${1:-}" in
  --seed) seed_only=1; shift ;;
  --runs) limit=(-runs="$2"); shift 2 ;;
  ''|*[!0-9]*) ;;
  *) limit=(-max_total_time="$1"); shift ;;
esac
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${targets_all[@]}")

# Leaks are checked input by input; what the toolkit's font library keeps
# until the process ends is not a finding of a reader.
export ASAN_OPTIONS="detect_leaks=1:leak_check_at_exit=0:halt_on_error=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPAN_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 --target fuzz_all

if [ "$seed_only" = 1 ]; then
  rm -rf fuzz/corpus
  "$build/fuzz/fuzz_make_corpus" "$repo/fuzz/corpus"
  echo "seed corpus written to fuzz/corpus/"
  exit 0
fi

failed=()
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$work" "$findings"
  log="$build/fuzz-$t.log"
  echo "== fuzz_$t ${limit[*]}"
  if "$build/fuzz/fuzz_$t" "${limit[@]}" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
       -artifact_prefix="$findings/" "$work" "$repo/fuzz/corpus/$t" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/fuzz_$t: /" || true
  else
    failed+=("$t")
    tail -n 60 "$log"
    echo "fuzz_$t: FINDING; input kept in $findings/:" >&2
    ls -1 "$findings" >&2 || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (inputs under $build/findings/)" >&2
  exit 1
fi
echo "fuzzing: no findings"
