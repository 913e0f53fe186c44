#!/usr/bin/env bash
# The configuration store killed with SIGKILL at random moments during 200 saves: every restart
# reads one whole configuration.
# The short version of "scripts/soak store" (the long run is in docs/robustness.md).
exec bash "$(dirname "$0")/../../scripts/soak" --quick --build "${1:?build directory}" store
