#!/usr/bin/env bash
# The real monitor in trap mode during a line failure with a silent agent: re-polls paced, the
# window answering after each bounded wait, nothing growing.
# The short version of "scripts/soak silent" (the long run is in docs/robustness.md).
exec bash "$(dirname "$0")/../../scripts/soak" --quick --build "${1:?build directory}" silent
