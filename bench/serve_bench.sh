#!/usr/bin/env bash
# The caption server under load, against the batch on the same cores in the same run:
#   bench/serve_bench.sh [SECONDS] [JOBS]        (20 s per load, every core by default)
# Starts a release `nimbrel-cli serve -q --jobs JOBS`, loads it with wrk over 16 keep-alive
# connections with POST /api/caption (each request its own title, as a table's rows), then with
# as many as it has composing threads, and with GET /caption.png answered 304 from its ETag, and times `nimbrel-cli batch` on 2,000 rows with
# the same JOBS before and after. Prints captions per second and their ratio to the batch, the
# CPU time each caption took in both (the fairer measure on a shared machine), p50 and p99
# latency, unexpected statuses and the server's peak RSS, against their targets. Speed on a shared
# machine is reported, not asserted: only an answer that is not the one expected, or a server
# that dies, makes it exit with 1.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
jobs=${2:-$(nproc)}
connections=16
rows=2000
scripts/install-deps bench
# NIMBREL_CLI: a release nimbrel-cli already built (the bench preset's); otherwise the release
# preset builds one.
cli=${NIMBREL_CLI:-}
if [[ -z $cli ]]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target nimbrel-cli >/dev/null
  cli=build/release/app/nimbrel-cli
fi

source scripts/lib/processes.bash
work=$(mktemp -d)
trap 'stop_started; rm -rf "$work" "${out:-}"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

description='夜空に浮かぶ小さな島を巡る冒険ゲーム。\n三つの季節と十二の町があります。\n船で島から島へ渡り、灯台の謎を解きます。'
for i in $(seq 1 "$rows"); do
  printf 'caption-%d.png\t星の島 第%d章\t2026年12月発売\t%s\n' "$i" "$i" "$description"
done > "$work/table.tsv"

# The batch's pictures go to memory where it can, so that it is timed composing, not the disk.
out=$work/out
[[ -d /dev/shm && -w /dev/shm ]] && out=$(mktemp -d /dev/shm/serve-bench-XXXXXX)
# `nimbrel-cli batch` on the table: captions per second, and CPU milliseconds per caption.
batch_figures() {
  local times
  rm -rf "${out:?}"/*
  if ! times=$({ TIMEFORMAT='%R %U %S'; time "$cli" batch "$work/table.tsv" --out-dir "$out" -j "$jobs" -q; } 2>&1); then
    echo "serve_bench: nimbrel-cli batch failed: $times" >&2
    return 1
  fi
  awk -v rows="$rows" -v times="$times" 'BEGIN {
    split(times, t, " "); printf "%.1f %.3f\n", rows / t[1], (t[2] + t[3]) * 1000 / rows }'
}
# CPU seconds a process has used so far.
cpu_seconds() {
  awk -v tick="$(getconf CLK_TCK)" '{ sub(/.*\) /, ""); print ($12 + $13) / tick }' "/proc/$1/stat"
}

figure() { sed -n "s/^$2 //p" "$work/$1.out"; }

# A wrk script that counts every answer whose status is not the one expected, and prints the
# figures as name value lines. $1: the expected status; $2: the request function, if any.
wrk_script() {
  cat << EOF
local threads = {}
function setup(thread) table.insert(threads, thread) end
function init(args) unexpected = 0 end
function response(status, headers, body)
  if status ~= $1 then unexpected = unexpected + 1 end
end
$2
function done(summary, latency, requests)
  local unexpected = 0
  for _, thread in ipairs(threads) do unexpected = unexpected + thread:get("unexpected") end
  local errors = summary.errors
  io.write(string.format("requests %d\nrate %.1f\np50 %.2f\np99 %.2f\nunexpected %d\nfailed %d\n",
    summary.requests, summary.requests / summary.duration * 1e6, latency:percentile(50) / 1000,
    latency:percentile(99) / 1000, unexpected,
    errors.connect + errors.read + errors.write + errors.timeout))
end
EOF
}
wrk_script 200 "
local number = 0
function request()
  number = number + 1
  local body = string.format('{\"title\": \"星の島 第%d章\", \"second\": \"2026年12月発売\", \"description\": \"${description//\\n/\\\\n}\"}', number)
  return wrk.format('POST', '/api/caption', {['Content-Type'] = 'application/json'}, body)
end" > "$work/post.lua"
wrk_script 304 "" > "$work/revalidate.lua"

figures=$(batch_figures)
read -r batch_before batch_cpu_before <<< "$figures"
start_server "$work/serve.log" "$cli" --jobs "$jobs" -q
server=$started_pid
url=http://127.0.0.1:$serve_port

cpu_start=$(cpu_seconds "$server")
wrk -t 2 -c "$connections" -d "${seconds}s" -s "$work/post.lua" "$url/api/caption" > "$work/post.out"
if ! still_running "$server"; then
  code=0
  wait "$server" || code=$?
  echo "serve_bench: the server ended under load with status $code:" >&2
  cat "$work/serve.log" >&2
  exit 1
fi
server_cpu=$(awk -v start="$cpu_start" -v end="$(cpu_seconds "$server")" -v n="$(figure post requests)" \
  'BEGIN { print (end - start) * 1000 / n }')
# As many connections as composing threads: the time a caption takes with no queue before it,
# which with 16 connections comes on top of waiting for the ones ahead.
wrk -t 1 -c "$jobs" -d "$((seconds / 2))s" -s "$work/post.lua" "$url/api/caption" > "$work/unqueued.out"
target="/caption.png?title=%E6%98%9F%E3%81%AE%E5%B3%B6&text=FF0000&outline=000080"
etag=$(curl -sS -D - -o /dev/null "$url$target" | sed -n 's/^ETag: //Ip' | tr -d '\r')
wrk -t 2 -c "$connections" -d "${seconds}s" -s "$work/revalidate.lua" -H "If-None-Match: $etag" \
  "$url$target" > "$work/revalidate.out"
peak_kib=$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$server/status")
code=0
stop_process "$server" TERM || code=$?
((code == 0)) || { echo "serve_bench: the server exited with $code after SIGTERM" >&2; exit 1; }
figures=$(batch_figures)
read -r batch_after batch_cpu_after <<< "$figures"

# The better of the two batch runs: the ratio errs against the server.
batch=$(awk -v a="$batch_before" -v b="$batch_after" 'BEGIN { print (a > b ? a : b) }')
captions=$(figure post rate)
# report NAME VALUE UNIT [OPERATOR LIMIT]: one line of the report, against its target if any.
report() {
  local verdict=""
  if [[ $# -gt 3 ]]; then
    if awk -v value="$2" -v limit="$5" -v op="$4" 'BEGIN {
         exit !(op == "<" ? value < limit : op == ">=" ? value >= limit : value == limit) }'; then
      verdict="ok (target $4 $5)"
    else
      verdict="MISSED (target $4 $5)"
    fi
  fi
  printf '%-42s %9.2f %-4s %s\n' "$1" "$2" "$3" "$verdict"
}
echo "serve_bench: $jobs composing threads, $connections connections, $seconds s per load, $(nproc) cores"
report "batch captions/s, before" "$batch_before" ""
report "batch captions/s, after" "$batch_after" ""
report "batch CPU per caption, before" "$batch_cpu_before" ms
report "batch CPU per caption, after" "$batch_cpu_after" ms
report "POST /api/caption captions/s" "$captions" ""
report "  ratio to batch" "$(awk -v a="$captions" -v b="$batch" 'BEGIN { print a / b }')" "" '>=' 0.6
report "  server CPU per caption" "$server_cpu" ms
report "  p50 latency" "$(figure post p50)" ms
report "  p99 latency" "$(figure post p99)" ms '<' 20
report "  not 200, or failed" "$(($(figure post unexpected) + $(figure post failed)))" "" '==' 0
report "POST at $jobs connections, p50 latency" "$(figure unqueued p50)" ms
report "  p99 latency" "$(figure unqueued p99)" ms
report "GET /caption.png 304 answers/s" "$(figure revalidate rate)" ""
report "  p50 latency" "$(figure revalidate p50)" ms
report "  p99 latency" "$(figure revalidate p99)" ms '<' 20
report "  not 304, or failed" "$(($(figure revalidate unexpected) + $(figure revalidate failed)))" "" '==' 0
report "server peak RSS" "$(awk -v kib="$peak_kib" 'BEGIN { print kib / 1024 }')" MiB '<' 64
for run in post unqueued revalidate; do
  (($(figure $run unexpected) + $(figure $run failed) == 0)) || exit 1
done
