#!/usr/bin/env bash
# scripts/run against the programs already built: what it prepares and starts, and that it leaves nothing
# running.
# Usage: run_script_test.sh REPO BUILD_DIR
set -uo pipefail
repo=$1
export ZELTA_BUILD_DIR=$2
tmp=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
alive() { kill -0 "$1" 2>/dev/null; }
run_pid=""
trap '[ -n "$run_pid" ] && kill -TERM "$run_pid" 2>/dev/null; rm -rf "$tmp"' EXIT

# No display: one line that says how to get one, and nothing started.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$repo/scripts/run" --no-build --state "$tmp/none" 2>&1)
status=$?
[[ $status == 1 && $out == *"no display"*"xvfb-run -a scripts/run"* && $out != *$'\n'* ]] ||
  fail "no display: status $status, not the one line that says what to do: $out"
[ ! -e "$tmp/none" ] || fail "no display: state folder made"

# Bad arguments are refused before anything starts.
"$repo/scripts/run" --no-build --port 70000 >/dev/null 2>&1 && fail "port 70000 accepted"
"$repo/scripts/run" --no-build --state "$tmp/a:b" >/dev/null 2>&1 && fail "state path with ':' accepted"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
state=$tmp/state
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$tmp

# Starts scripts/run in the background; sets run_pid, logo_pid and server_pid once Logo runs.
start_run() {
  "$repo/scripts/run" --no-build --state "$state" --port "$port" >"$tmp/run.out" 2>&1 &
  run_pid=$!
  for _ in $(seq 100); do
    [[ $(<"$tmp/run.out") =~ Logo\ started\ \(process\ ([0-9]+)\).*zelta-server\ \(process\ ([0-9]+)\) ]] &&
      logo_pid=${BASH_REMATCH[1]} server_pid=${BASH_REMATCH[2]} && return 0
    alive "$run_pid" || break
    sleep 0.1
  done
  fail "scripts/run did not start Logo: $(cat "$tmp/run.out")"
  return 1
}

# ended WHEN NAME PID...: waits up to 10 s for each program to end; then forgets scripts/run.
ended() {
  local when=$1
  shift
  while [ $# -gt 0 ]; do
    for _ in $(seq 100); do alive "$2" || break; sleep 0.1; done
    alive "$2" && fail "$1 still runs $when"
    shift 2
  done
  wait "$run_pid" 2>/dev/null
  run_pid=""
}

if start_run; then
  grep -qx 'InstallationType=LOCAL' "$state/registry" || fail "registry not in LOCAL mode"
  grep -qx "ServerPort=$port" "$state/registry" || fail "registry without the server port"
  for model in 46 36 161 32 10 176; do
    grep -q "emu:$model:$state/nv/$model.nv:$state/paper" "$state/zelta-server.conf" || fail "no printer $model"
  done
  for sample in shop_name line_drawing gradient; do
    cmp -s "$repo/data/samples/$sample.bmp" "$state/logos/$sample.bmp" || fail "sample $sample not offered"
  done
  grep -q "listening on 127.0.0.1:$port" "$state/zelta-server.log" || fail "server not on loopback:$port"
  alive "$logo_pid" || fail "Logo not running"
  alive "$server_pid" || fail "zelta-server not running"
  # A second start of Logo, once the first holds its lock, ends at once without a window.
  for _ in $(seq 100); do [ -e "$tmp/LOGO.lock" ] && ! flock -n "$tmp/LOGO.lock" true && break; sleep 0.1; done
  timeout 5 env ZELTA_REGISTRY="$state/registry" "$ZELTA_BUILD_DIR/bin/Logo" >/dev/null 2>&1 ||
    fail "a second Logo did not end silently"
  # The technician's own choices survive the next start.
  printf 'MainServer=KEPT\n' >>"$state/registry"
  kill -TERM "$logo_pid"
  ended "after Logo ended" scripts/run "$run_pid" zelta-server "$server_pid"
fi

# A second start reuses the state; ending the script ends Logo and the server.
if start_run; then
  grep -qx 'MainServer=KEPT' "$state/registry" || fail "registry rewritten on the second start"
  [ "$(grep -c '^ServerPort=' "$state/registry")" -eq 1 ] || fail "ServerPort written twice"
  kill -TERM "$run_pid"
  ended "after SIGTERM" scripts/run "$run_pid" Logo "$logo_pid" zelta-server "$server_pid"
fi

# A port taken by another program: the script says so and leaves nothing behind.
python3 -c 'import socket,sys,time; s=socket.socket(); s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen()
print(flush=True); time.sleep(30)' "$port" >"$tmp/holder" &
holder=$!
for _ in $(seq 100); do [ -s "$tmp/holder" ] && break; sleep 0.1; done  # a slow start must not lose the race
out=$("$repo/scripts/run" --no-build --state "$state" --port "$port" 2>&1)
status=$?
kill "$holder"
[[ $status != 0 && $out == *"zelta-server did not start (is port $port taken? try --port)"* ]] ||
  fail "taken port: status $status: $out"

[ "$failures" -eq 0 ] && echo "scripts/run: all checks passed"
exit "$failures"
