#!/usr/bin/env bash
# Runs the fuzz targets built by `cmake --preset fuzz && cmake --build --preset fuzz`,
# one after the other, each on a copy of its checked-in corpus (new inputs go
# to the copy, so git stays clean), with its dictionary when it has one.
#
#   fuzz/run.sh SECONDS [TARGET ...]      every target when none is named
#
# Stops at the first target that finds something; its reproducer is left in
# build/fuzz/findings/<target>/. Extra libFuzzer flags: FUZZ_FLAGS="...".
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET ...]}
shift
bin=build/fuzz/fuzz
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(reg_file machine_ini ini_text script_line database zip hive lnk url http_header)
fi
work=build/fuzz/run
for t in "${targets[@]}"; do
  [ -x "$bin/fuzz_$t" ] || { echo "fuzz: $bin/fuzz_$t is not built" >&2; exit 1; }
  rm -rf "${work:?}/$t"
  mkdir -p "$work/$t" build/fuzz/findings/"$t"
  cp -r "fuzz/corpus/$t/." "$work/$t/"
  dict=()
  [ -f "fuzz/dict/$t.dict" ] && dict=("-dict=fuzz/dict/$t.dict")
  maxlen=65536
  case $t in script_line|machine_ini|ini_text|url|http_header) maxlen=8192 ;; esac
  start=$(date +%s)
  # shellcheck disable=SC2086
  if ! "$bin/fuzz_$t" "$work/$t" "${dict[@]}" -max_total_time="$seconds" -max_len=$maxlen \
      -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix=build/fuzz/findings/"$t"/ ${FUZZ_FLAGS:-} >"$work/$t.log" 2>&1; then
    tail -n 60 "$work/$t.log" >&2
    echo "fuzz: $t found a fault after $(($(date +%s) - start)) s (see build/fuzz/findings/$t/)" >&2
    exit 1
  fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$t.log" | grep -o '[0-9]*$' || true)
  echo "fuzz: $t clean, $(($(date +%s) - start)) s, ${execs:-?} runs"
done
