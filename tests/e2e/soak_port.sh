#!/usr/bin/env bash
# The real monitor with UDP 162 held by another program: CPU under 1 %, the port picked up and a
# trap acting once it is free.
# The short version of "scripts/soak port" (the long run is in docs/robustness.md).
exec bash "$(dirname "$0")/../../scripts/soak" --quick --build "${1:?build directory}" port
