# Sourced by scripts that need a simulated display (scripts/demo,
# scripts/bench-acquire, scripts/fault-matrix, scripts/bench-fleet); not run
# on its own.
#
#   start_sim BIN_DIR ERR_FILE [display-sim options...]
#     starts display-sim on the first free 127.0.0.x address (nothing listens
#     on its text port there and the simulator could bind both ports) and sets
#     SIM_ADDRESS and SIM_PID; returns 1 when no address worked. Its standard
#     output goes to ERR_FILE with ".out" in place of ".err".
#   launch_sim BIN_DIR OUT_FILE ERR_FILE [display-sim options...]
#     starts display-sim with exactly these options, its standard output in
#     OUT_FILE, and waits at most 10 s for its first line ("listening ..." or,
#     with --serial, the pseudo-terminal's path); sets SIM_PID and SIM_LINE.
#     Returns 1 (the simulator stopped) when no line came.
#   claim_address
#     claims a loopback address in 127.0.1.1 .. 127.0.9.254 the way the tests
#     do (a lock file in the temporary folder, locked until this shell and the
#     programs it started have ended), so that tests and scripts running at the
#     same time never meet on a port; sets CLAIMED_ADDRESS. Returns 1 when
#     every address is taken.
#   stop_sim
#     stops the simulator started last, by its pid.

SIM_PID=""
SIM_ADDRESS=""
SIM_LINE=""
CLAIMED_ADDRESS=""

stop_sim() {
  if [ -n "$SIM_PID" ]; then
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    SIM_PID=""
  fi
}

launch_sim() {
  local bin=$1 out=$2 err=$3 i
  shift 3
  SIM_LINE=""
  : >"$out"
  "$bin/display-sim" "$@" >"$out" 2>"$err" &
  SIM_PID=$!
  # The line is written and flushed at once; a whole line ends with LF.
  for ((i = 0; i < 1000; i++)); do
    if [ "$(wc -l <"$out")" -ge 1 ]; then
      IFS= read -r SIM_LINE <"$out"
      return 0
    fi
    kill -0 "$SIM_PID" 2>/dev/null || break
    sleep 0.01
  done
  stop_sim
  return 1
}

start_sim() {
  local bin=$1 err=$2 x candidate
  shift 2
  SIM_ADDRESS=""
  for x in $(seq 20 250); do
    candidate=127.0.0.$x
    if (exec 3<>"/dev/tcp/$candidate/10008") 2>/dev/null; then continue; fi
    if launch_sim "$bin" "${err%.err}.out" "$err" --listen "$candidate" "$@" && [[ $SIM_LINE == listening* ]]; then
      SIM_ADDRESS=$candidate
      return 0
    fi
    stop_sim
  done
  return 1
}

claim_address() {
  local hi lo address lock fd
  local tmp=${TMPDIR:-/tmp}
  CLAIMED_ADDRESS=""
  for hi in 1 2 3 4 5 6 7 8 9; do
    for ((lo = 1; lo <= 254; lo++)); do
      address=127.0.$hi.$lo
      lock=$tmp/quendra-test-addr-$address.lock
      [ -L "$lock" ] && continue
      { exec {fd}>>"$lock"; } 2>/dev/null || continue
      if flock -n "$fd"; then
        CLAIMED_ADDRESS=$address
        return 0
      fi
      exec {fd}>&-
    done
  done
  return 1
}
