#!/usr/bin/env bash
# Builds everything (compiler warnings are errors) and runs every test: first
# the normal build, then the library tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the tests of the threaded layers (platform,
# kemusb, devices, traffic, devtools, and the CANopen, DBC and main windows
# with their request thread and workers) under ThreadSanitizer. The fuzz targets run as
# replay tests in the first two. Exits non-zero on any failure.
#
# Without settings it does all of that. scripts/stress_tests.sh runs the same
# stages through these settings (none of them is needed otherwise):
#   ORVANE_TEST_STAGES  the stages to take, of "normal asan tsan" (all)
#   ORVANE_TEST_RUN=0   build only; ORVANE_TEST_BUILD=0 run only (built before)
#   ORVANE_TEST_JOBS    tests run at once (the number of processors)
#   ORVANE_TSAN_LANES   ThreadSanitizer programs run at once (4)
#   ORVANE_TSAN_LIMIT   seconds a ThreadSanitizer program may take (1200)
# ORVANE_SKIP_SANITIZE=1 and ORVANE_SKIP_TSAN=1 leave out the last two.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 8)
test_jobs=${ORVANE_TEST_JOBS:-$jobs}
stages=" ${ORVANE_TEST_STAGES:-normal asan tsan} "
[ "${ORVANE_SKIP_SANITIZE:-0}" != "1" ] || stages=${stages/ asan / }
[ "${ORVANE_SKIP_TSAN:-0}" != "1" ] || stages=${stages/ tsan / }
stage() { [[ "$stages" == *" $1 "* ]]; }
build() { [ "${ORVANE_TEST_BUILD:-1}" != "0" ]; }
run() { [ "${ORVANE_TEST_RUN:-1}" != "0" ]; }

if build; then bash scripts/deps.sh; fi

export QT_QPA_PLATFORM=offscreen

if stage normal; then
  if build; then
    echo "== build"
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_WERROR=ON
    cmake --build build -j "$jobs"
  fi
  if run; then
    echo "== tests"
    ctest --test-dir build --output-on-failure -j "$test_jobs"
  fi
fi

if stage asan; then
  if build; then
    echo "== sanitizer build (ASan + UBSan)"
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON -DORVANE_BENCH=OFF -DORVANE_WERROR=ON
    # Listing the tests of a Qt binary at build time would report the
    # framework's process-wide allocations as leaks; the tests themselves keep
    # leak detection where it means something.
    ASAN_OPTIONS=detect_leaks=0 cmake --build build-asan -j "$jobs"
  fi
  if run; then
    echo "== library tests under the sanitizers"
    ctest --test-dir build-asan --output-on-failure -j "$test_jobs" -L lib
  fi
fi

if stage tsan; then
  # test_support checks the harness itself: what hands nothing over between
  # threads is reported, what hands over is not.
  # The longest first: they start while the short ones share the other lanes.
  tsan_tests="test_traffic test_mainwindow test_kemusb test_devtools test_canopen test_dbc test_devices test_platform test_support"
  if build; then
    echo "== ThreadSanitizer build of the threaded layers' tests"
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_TSAN=ON -DORVANE_BENCH=OFF -DORVANE_WERROR=ON
    # Only these test programs (and what they load) are built here.
    cmake --build build-tsan -j "$jobs" --target $tsan_tests
  fi
  if run; then
    echo "== threaded layers' tests under ThreadSanitizer"
    # Qt is not instrumented: its locks and hand-overs between threads are
    # made visible by tests/support/TsanQtSync.cpp, and only what Qt's own
    # libraries do to their own memory is ignored (tests/support/tsan.supp).
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/support/tsan.supp"
    # Every program runs, a few at once (each instrumented program takes
    # much memory), each into its own log, shown in order once all ended;
    # the stage fails after them when one did. A program gets a time limit
    # (the longest takes 3 minutes, 7 on a loaded machine): one that hangs
    # is named with the test under way and its threads' stacks, then ended,
    # instead of holding the stage for ever.
    tsan_logs=build-tsan/logs
    rm -rf "$tsan_logs"
    mkdir -p "$tsan_logs"
    tsan_lanes=${ORVANE_TSAN_LANES:-4}
    tsan_limit=${ORVANE_TSAN_LIMIT:-1200}
    run_tsan()
    {
      # The ctypes checks load the library into Python, which an instrumented
      # library cannot join.
      # (errexit holds in here too: the status is taken, not left to end it)
      local t=$1 log="$tsan_logs/$1.log" rc=0 pid start
      start=$SECONDS
      "build-tsan/bin/$t" --gtest_filter='-*Ctypes*' >"$log" 2>&1 &
      pid=$!
      while kill -0 "$pid" 2>/dev/null; do
        if [ $((SECONDS - start)) -ge "$tsan_limit" ]; then
          {
            echo "== $t did not end within $tsan_limit s; under way: $(grep '^\[ RUN' "$log" | tail -n 1)"
            if command -v gdb >/dev/null; then
              timeout 120 gdb -p "$pid" -batch -ex 'thread apply all bt 40' 2>&1 | grep -v '^\[New LWP' | tail -n 600 || true
            fi
          } >"$tsan_logs/$t.hang"
          kill -9 "$pid" 2>/dev/null || true
          break
        fi
        sleep 1
      done
      # (the shell's own word on a killed job is left out: the log says it)
      wait "$pid" 2>/dev/null || rc=$?
      echo "$rc" >"$tsan_logs/$t.rc"
    }
    # A log as gtest's brief output has it (the cases that passed left out),
    # but with the case that was under way when a program ended without a
    # result: a sanitizer report, a crash or a hang.
    tsan_brief()
    {
      awk '
        /^\[ RUN      \]/ { buf = $0; inside = 1; next }
        inside && /^\[       OK \]/ { inside = 0; next }
        inside && /^\[  FAILED  \]/ { print buf; print; inside = 0; next }
        inside { buf = buf "\n" $0; next }
        /^\[----------\]/ || /^$/ { next }
        { print }
        END { if (inside) print buf }
      ' "$1"
    }
    for t in $tsan_tests; do
      while [ "$(jobs -rp | wc -l)" -ge "$tsan_lanes" ]; do
        wait -n || true
      done
      run_tsan "$t" &
    done
    wait || true
    tsan_failed=""
    for t in $tsan_tests; do
      echo "-- $t"
      tsan_brief "$tsan_logs/$t.log"
      [ ! -f "$tsan_logs/$t.hang" ] || cat "$tsan_logs/$t.hang"
      [ "$(cat "$tsan_logs/$t.rc" 2>/dev/null)" = "0" ] || tsan_failed="$tsan_failed $t"
    done
    unset TSAN_OPTIONS
    if [ -n "$tsan_failed" ]; then
      echo "== failed under ThreadSanitizer:$tsan_failed"
      exit 1
    fi
  fi
fi
