#!/usr/bin/env bash
# The trap listener under 20,000 datagrams of random bytes and malformed SNMP: no crash, memory
# flat, CPU bounded, a valid trap still acts.
# The short version of "scripts/soak flood" (the long run is in docs/robustness.md).
exec bash "$(dirname "$0")/../../scripts/soak" --quick --build "${1:?build directory}" flood
