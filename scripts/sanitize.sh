#!/usr/bin/env bash
# Runs the whole test suite built with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer
# (Debug, build-asan/), then the tests of the two programs' worker threads with ThreadSanitizer
# (build-tsan/): the recorder's, which shares the job with the GUI thread, and the editor's playback
# decoder, which hands finished frames to it. Any report ends the test that made it, which fails the
# run. scripts/sanitizers/ holds the suppressions, each for a library's own doing, with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
jobs="$(nproc)"

configure_and_build() { # <folder> <sanitizers> [targets...]
  local folder="$1" sanitizers="$2"
  shift 2
  cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DTAVELIN_SANITIZE=$sanitizers" >/dev/null
  # Headers added since the last build are only found by a fresh scan for Q_OBJECT classes.
  rm -rf "$folder/tvcore_autogen"
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$folder" --parallel "$jobs" "${targets[@]}"
}

# Frames through Qt and the X libraries have no frame pointers: the slow unwinder gives whole stacks,
# which the leak suppressions need to recognise whose leak it is.
export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:strict_init_order=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"

start=$(date +%s)
configure_and_build build-asan "address;undefined"
built=$(date +%s)
(cd build-asan && ctest --output-on-failure --parallel "$jobs" --timeout 600 -LE '^e2e$')
unit=$(date +%s)
# The end-to-end tests run whole programs, which allocate far more: with the slow unwinder at every
# allocation they take minutes per window and miss their deadlines. Their leaks of libraries are still
# found through the frames the fast unwinder sees. The longest of them count as several processors
# (tests/CMakeLists.txt), so fewer run beside them.
(cd build-asan && ASAN_OPTIONS="${ASAN_OPTIONS/fast_unwind_on_malloc=0/fast_unwind_on_malloc=1}" \
  ctest --output-on-failure --parallel "$jobs" --timeout 600 -L '^e2e$' \
  -E '^TavelinTray\.TheOptionsWindowWritesItsKeysOnOkAndNothingOnCancel$')
# That one test types a path into Qt's file dialog, whose completer takes keys typed while a build this
# slow is still drawing it; it runs in the ordinary build, and its code runs here in the other tests.
echo "sanitize: address and undefined: build $((built - start)) s, tests $((unit - built)) s," \
  "end-to-end tests $(($(date +%s) - unit)) s"

unset ASAN_OPTIONS LSAN_OPTIONS
# Tests start helper programs from threaded processes; the child only execs, so it may go on.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$root/scripts/sanitizers/tsan.supp"
start=$(date +%s)
configure_and_build build-tsan thread recorder_tests recorder_x11_tests editor_tests avi_tests
built=$(date +%s)
(cd build-tsan && ctest --output-on-failure --parallel "$jobs" --timeout 600 \
  -R '(PackedDibReuse|RecordAvi|ScreenCam|ScreenRecording|FrmMainPlayback|SecondReader)')
echo "sanitize: thread: build $((built - start)) s, tests $(( $(date +%s) - built )) s"
