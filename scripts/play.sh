#!/usr/bin/env bash
# Builds everything and starts the game. When the score server address is the
# default loopback one and nothing answers there, the bundled score server is
# started first and stopped afterwards; its database and its log (the last
# 1 MiB and the one before) live in a folder of their own,
# ${XDG_STATE_HOME:-~/.local/state}/bzykolot2-scores/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

server=$(sed -n 's/^SCORE_SERVER:STRING=//p' "$build/CMakeCache.txt")
started=""
if [ "$server" = "http://127.0.0.1:8642" ] && ! curl -s -o /dev/null -m 2 "$server/bzykolot4.wtf"; then
  state="${XDG_STATE_HOME:-$HOME/.local/state}/bzykolot2-scores"
  mkdir -p "$state"
  if [ -f "$state/server.log" ] && [ "$(stat -c %s "$state/server.log")" -gt 1048576 ]; then
    mv -f "$state/server.log" "$state/server.log.1"
  fi
  "$build/server/bzykolot2-scores" --listen 127.0.0.1:8642 --db "$state/scores.db" --data "$build/run/data" \
      >>"$state/server.log" 2>&1 &
  started=$!
  trap 'kill $started 2>/dev/null || true' EXIT
  for _ in $(seq 50); do curl -s -o /dev/null -m 1 "$server/bzykolot4.wtf" && break; sleep 0.1; done
fi

cd "$build/run"
status=0
./bzykolot2 || status=$?
exit $status
