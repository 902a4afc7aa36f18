#!/usr/bin/env bash
# Fuzzes every reader of outside bytes with libFuzzer (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) in build-fuzz/, all targets at once, each for the given number of seconds (60 unless
# told). Every input in fuzz/regressions/<target>/ is replayed first. Any finding fails the run; its
# input is left in build-fuzz/findings/. The corpus each run grows is kept in build-fuzz/corpus/.
#   scripts/fuzz.sh            the bounded run .ci/run makes
#   scripts/fuzz.sh 3600       an hour per target
#   scripts/fuzz.sh 600 png    ten minutes of one target
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
root="$PWD"
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELIN_FUZZ=ON \
  -DTAVELIN_TESTS=OFF >/dev/null
rm -rf "$build/tvcore_autogen"
cmake --build "$build" --parallel "$(nproc)" --target fuzz >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in "$build"/fuzz/fuzz_*; do [ -f "$exe" ] && [ -x "$exe" ] && targets+=("${exe##*/fuzz_}"); done
fi

# Seeds: the programs' own writers, and pictures the ffmpeg command writes in kinds they do not.
seeds="$build/seeds"
rm -rf "$seeds"
QT_QPA_PLATFORM=offscreen "$build/fuzz/MakeFuzzSeeds" "$seeds" "$root" 2>/dev/null
picture() { # <target> <file name> <ffmpeg output options...>
  local target="$1" name="$2"
  shift 2
  mkdir -p "$seeds/$target"
  ffmpeg -loglevel error -y -f lavfi -i testsrc=size=13x9:rate=2 "$@" "$seeds/$target/$name"
}
for pf in bgra bgr24 rgb565le rgb555le rgb444le pal8 gray monow; do
  picture bmp "$pf.bmp" -frames:v 1 -pix_fmt "$pf"
  cp "$seeds/bmp/$pf.bmp" "$seeds/plain_bitmap/$pf"
done
for pf in rgba gray pal8 rgb48be gray16be ya8 monob rgb24; do picture png "$pf.png" -frames:v 1 -pix_fmt "$pf"; done
for pf in yuvj420p yuvj422p yuvj444p gray; do
  picture jpg "$pf.jpg" -frames:v 1 -c:v mjpeg -strict -1 -pix_fmt "$pf"
done
picture gif animated.gif -frames:v 3
# AVI files of the codecs players meet, small enough to fuzz quickly.
for codec in "msvideo1" "rawvideo -pix_fmt bgr24" "rawvideo -pix_fmt pal8" "mjpeg" "mpeg4" "png"; do
  read -r -a options <<<"$codec"
  picture avi "${options[0]}-${options[-1]}.avi" -frames:v 4 -s 16x8 -c:v "${options[@]}"
done
for codec in bmp png; do
  picture ico "$codec.ico" -frames:v 1 -c:v "$codec" -pix_fmt bgra -f ico
  # A cursor file is an icon file of type 2, with the hot spot where the icon keeps planes and depth.
  mkdir -p "$seeds/cur"
  { head -c 2 "$seeds/ico/$codec.ico"; printf '\002\000'; tail -c +5 "$seeds/ico/$codec.ico"; } \
    >"$seeds/cur/$codec.cur"
done

export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
findings="$build/findings"
logs="$build/logs"
rm -rf "$findings" "$logs"
mkdir -p "$findings" "$logs"

run_target() { # <target>
  local t="$1" regressions=()
  mkdir -p "$build/corpus/$t" "$seeds/$t"
  [ -d "$root/fuzz/regressions/$t" ] && regressions=("$root/fuzz/regressions/$t")
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/$t-" "$build/corpus/$t" "$seeds/$t" "${regressions[@]}" \
    >"$logs/$t.log" 2>&1
}
export -f run_target
export build seeds root seconds findings

start=$(date +%s)
failed=()
pids=()
for t in "${targets[@]}"; do
  run_target "$t" &
  pids+=($!)
done
for i in "${!targets[@]}"; do
  if ! wait "${pids[$i]}"; then failed+=("${targets[$i]}"); fi
done

printf '%-16s %12s %8s\n' target executions corpus
for t in "${targets[@]}"; do
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t.log" | tail -1)
  printf '%-16s %12s %8s\n' "$t" "${runs:-?}" "$(ls "$build/corpus/$t" | wc -l)"
done
echo "fuzz: ${#targets[@]} targets, $seconds s each, $(( $(date +%s) - start )) s in all"

if [ ${#failed[@]} -ne 0 ]; then
  for t in "${failed[@]}"; do
    echo "===== fuzz_$t found a fault (input in $findings/):"
    grep -v '^INFO:\|^#[0-9]' "$logs/$t.log" | tail -60
  done
  exit 1
fi
