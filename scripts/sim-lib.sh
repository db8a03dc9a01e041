# Sourced by scripts that need a simulated display (scripts/demo,
# scripts/bench-acquire); not run on its own.
#
#   start_sim BIN_DIR ERR_FILE [display-sim options...]
#     starts display-sim on the first free 127.0.0.x address (nothing listens
#     on its text port there and the simulator could bind both ports) and sets
#     SIM_ADDRESS and SIM_PID; returns 1 when no address worked.
#   stop_sim
#     stops the simulator started last, by its pid.

SIM_PID=""
SIM_ADDRESS=""

stop_sim() {
  if [ -n "$SIM_PID" ]; then
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    SIM_PID=""
  fi
}

start_sim() {
  local bin=$1 err=$2 x candidate line
  shift 2
  SIM_ADDRESS=""
  for x in $(seq 20 250); do
    candidate=127.0.0.$x
    if (exec 3<>"/dev/tcp/$candidate/10008") 2>/dev/null; then continue; fi
    coproc SIM { exec "$bin/display-sim" --listen "$candidate" "$@" 2>"$err"; }
    SIM_PID=$SIM_PID
    line=""
    if read -r -t 10 line <&"${SIM[0]}" && [[ $line == listening* ]]; then
      SIM_ADDRESS=$candidate
      return 0
    fi
    stop_sim
  done
  return 1
}
