#!/usr/bin/env bash
# The UPS network protocol server under hostile loads (random lines, an 8 MB line, 500 idle
# connections, a client that never reads): upsc still answers within 5 s, memory bounded.
# The short version of "scripts/soak upsnet".
command -v upsc >/dev/null || { echo "SKIP: Network UPS Tools' upsc is not installed (nut-client)"; exit 77; }
exec bash "$(dirname "$0")/../../scripts/soak" --quick --build "${1:?build directory}" upsnet
