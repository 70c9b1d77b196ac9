#!/usr/bin/env bash
# Serves build-web/ on 127.0.0.1 (port $PORT, 8080 by default) until interrupted.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
port=${PORT:-8080}
echo "The show: http://127.0.0.1:$port/  (Ctrl-C stops the server)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$top/build-web" "$port"
