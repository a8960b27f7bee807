# Sourced by the scripts that run `nimbrel-cli serve` (and nginx) in the background: starting a
# server on a free port, and stopping everything they started on every way out.
# shellcheck disable=SC2034  # started_pid and serve_port are for the scripts that source this

started_pids=()

# Whether pid still runs (a child that ended but is not yet waited for does not).
still_running() {
  local stat
  read -r stat 2>/dev/null < "/proc/$1/stat" || return 1
  stat=${stat##*) }  # the state follows the command's name in brackets
  [[ $stat != Z* ]]
}

# Sends signal (TERM unless given) to pid and waits up to 10 s for it to end, then kills it.
# Returns the process's exit status.
stop_process() {
  local pid=$1 signal=${2:-TERM} code=0
  kill -"$signal" "$pid" 2>/dev/null || true
  for _ in $(seq 100); do
    still_running "$pid" || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || code=$?
  return $code
}

# For `trap stop_started EXIT`: ends every process still running that start_background started.
stop_started() {
  local pid
  for pid in "${started_pids[@]}"; do
    still_running "$pid" && kill -TERM "$pid" 2>/dev/null
  done
  for pid in "${started_pids[@]}"; do stop_process "$pid" TERM || true; done
}

# Runs a command in the background with its output in log; sets started_pid.
start_background() {
  local log=$1
  shift
  : > "$log"  # there before the command starts, for whoever reads it at once
  "$@" > "$log" 2>&1 &
  started_pid=$!
  started_pids+=("$started_pid")
}

# start_server LOG CLI [ARGS...]: starts `CLI serve --listen 127.0.0.1:0 ARGS...` and waits until
# it says where it listens; sets started_pid and serve_port. Fails (status 1, with the reason on
# standard error) otherwise.
start_server() {
  local log=$1 cli=$2 line
  shift 2
  start_background "$log" "$cli" serve --listen 127.0.0.1:0 "$@"
  for _ in $(seq 300); do
    line=$(head -n 1 "$log")
    if [[ $line =~ ^Serving\ http://127\.0\.0\.1:([0-9]+)/$ ]]; then
      serve_port=${BASH_REMATCH[1]}
      return 0
    fi
    if ! still_running "$started_pid"; then
      echo "the server ended before it listened:" >&2
      cat "$log" >&2
      return 1
    fi
    sleep 0.1
  done
  echo "the server did not say where it listens within 30 s" >&2
  return 1
}

# A free loopback port for a program that cannot pick its own.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
