#!/usr/bin/env bash
# Runs the stages of the test command (scripts/test.sh: the normal build's
# tests, the library tests under ASan+UBSan, the threaded layers' tests under
# ThreadSanitizer) on a loaded machine, several times in a row, and names
# every test that failed, by run and stage. Exits non-zero if any did.
#
# Each stage runs with ORVANE_STRESS_JOBS tests at once (ctest -j) beside
# ORVANE_STRESS_LOAD busy processes that only spin. The busy processes and
# the stage are bounded in time, and the script ends them whatever happens
# (also when it is interrupted). Not part of .ci/run: it takes long.
#
# Settings (environment):
#   ORVANE_STRESS_RUNS     runs in a row (3)
#   ORVANE_STRESS_LOAD     busy processes (16)
#   ORVANE_STRESS_JOBS     tests at once (16)
#   ORVANE_STRESS_TIMEOUT  seconds a stage may take before it is ended (3600)
#   ORVANE_STRESS_LOGS     where the logs go (a new folder under /tmp)
#   ORVANE_TEST_STAGES     stages, of "normal asan tsan" (all)
#   ORVANE_STRESS_BUILD=0  use the builds as they are (built before)
set -uo pipefail
cd "$(dirname "$0")/.."

runs=${ORVANE_STRESS_RUNS:-3}
load=${ORVANE_STRESS_LOAD:-16}
jobs=${ORVANE_STRESS_JOBS:-16}
bound=${ORVANE_STRESS_TIMEOUT:-3600}
stages=${ORVANE_TEST_STAGES:-normal asan tsan}
logs=${ORVANE_STRESS_LOGS:-$(mktemp -d "${TMPDIR:-/tmp}/orvane-stress.XXXXXX")}
mkdir -p "$logs"

burners=()
stage_pid=""

stop_load()
{
  local p
  for p in "${burners[@]}"; do
    kill "$p" 2>/dev/null
  done
  for p in "${burners[@]}"; do
    wait "$p" 2>/dev/null
  done
  burners=()
}

cleanup()
{
  if [ -n "$stage_pid" ]; then
    # timeout passes the signal on to the stage it runs.
    kill "$stage_pid" 2>/dev/null
    wait "$stage_pid" 2>/dev/null
    stage_pid=""
  fi
  stop_load
}
trap cleanup EXIT
trap 'echo "stress: interrupted"; exit 130' INT TERM

start_load()
{
  local i
  for ((i = 0; i < load; ++i)); do
    # Bounded on its own too: a burner outlives nothing, even a killed script.
    timeout "$((bound + 60))" sh -c 'while :; do :; done' &
    burners+=("$!")
  done
}

# The names of the failed tests in a stage's log, one a line.
failures_of()
{
  local stage=$1 log=$2
  case "$stage" in
    normal | asan)
      # ctest's closing list: "  123 - Suite.Name (Failed)".
      sed -n '/^The following tests FAILED:/,$p' "$log" |
        sed -n 's/^[[:space:]]*[0-9][0-9]* - \(.*\)$/\1/p'
      ;;
    tsan)
      # Failed cases of each program, and programs that ended without a
      # verdict of their own (a sanitizer report ends the program at once).
      awk '
        function unfinished() {
          if (prog != "" && !ok)
            print prog ": ended without a result (a sanitizer report, a crash, or a hang past its time limit)"
        }
        /^-- test_/ { unfinished(); prog = $2; ok = 0; next }
        /^\[  PASSED  \]/ { ok = 1; next }
        /^\[  FAILED  \] [0-9]+ tests?, listed below/ { ok = 1; next }
        /^\[  FAILED  \] [^ ]+\.[^ ]+/ {
          if (!((prog, $4) in seen)) { seen[prog, $4] = 1; print prog ": " $4 }
          next
        }
        /^WARNING: ThreadSanitizer:/ { reports++ }
        END {
          unfinished()
          if (reports) print reports " ThreadSanitizer report(s)"
        }
      ' "$log"
      ;;
  esac
}

if [ "${ORVANE_STRESS_BUILD:-1}" != "0" ]; then
  echo "== stress: building the stages ($stages), unloaded"
  if ! ORVANE_TEST_STAGES="$stages" ORVANE_TEST_RUN=0 bash scripts/test.sh >"$logs/build.log" 2>&1; then
    tail -n 40 "$logs/build.log"
    echo "stress: the build failed, see $logs/build.log"
    exit 2
  fi
fi

summary=()
failed_total=0
for ((r = 1; r <= runs; ++r)); do
  for s in $stages; do
    log="$logs/run$r-$s.log"
    echo "== stress: run $r of $runs, stage $s: $load busy processes, $jobs tests at once (log $log)"
    start_load
    t0=$(date +%s)
    ORVANE_TEST_STAGES=$s ORVANE_TEST_BUILD=0 ORVANE_TEST_JOBS=$jobs \
      timeout --kill-after=30 "$bound" bash scripts/test.sh >"$log" 2>&1 &
    stage_pid=$!
    wait "$stage_pid"
    rc=$?
    stage_pid=""
    stop_load
    took=$(($(date +%s) - t0))
    names=$(failures_of "$s" "$log")
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
      names="${names:+$names
}(the stage did not end within ${bound} s)"
    elif [ "$rc" -ne 0 ] && [ -z "$names" ]; then
      names="(the stage failed with exit code $rc; no test named, see the log)"
    fi
    passed=$(grep -Eo '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$names" ]; then
      count=$(printf '%s\n' "$names" | grep -c .)
      failed_total=$((failed_total + count))
      line="run $r $s: FAILED ($count) in ${took} s${passed:+; $passed}"
      echo "$line"
      printf '%s\n' "$names" | sed 's/^/    /'
      summary+=("$line" "$(printf '%s\n' "$names" | sed 's/^/    /')")
    else
      line="run $r $s: passed in ${took} s${passed:+; $passed}"
      echo "$line"
      summary+=("$line")
    fi
  done
done

echo "== stress: summary ($runs runs; $load busy processes; $jobs tests at once; logs in $logs)"
printf '%s\n' "${summary[@]}"
if [ "$failed_total" -gt 0 ]; then
  echo "stress: $failed_total failure(s)"
  exit 1
fi
echo "stress: no failures"
