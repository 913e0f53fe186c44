#!/usr/bin/env bash
# The idle tick's code lies in three adjacent pages of the monitor: the functions marked as the
# tick's, and those the compiler makes for it, which the link places by name
# (src/app/process/tickPath.order). A rename that the order file misses fails here.
#   tests/app/process/tickLayout.sh BUILD_DIR
set -euo pipefail
program=${1:?the build folder}/src/korvan-ups
symbols=$(nm -n -C "$program" | grep -v '\[clone')
wanted=(
  "T ups::TickPacer::fire()"
  "T ups::Supervisor::tick()"
  "T non-virtual thunk to ups::TmainF::refreshDisplay()"
  "T non-virtual thunk to ups::TmainF::setNoticeCaption("
  "W std::_Function_handler<long (), long (*)()>::_M_invoke("
  "W std::_Function_handler<void (), ups::TmainF::timer_::{lambda()#1}>::_M_invoke("
  "t QtPrivate::QFunctorSlotObject<ups::TickTimer::TickTimer(int, std::function<void ()>, int)::{lambda()#1}"
  "t QtPrivate::QFunctorSlotObject<ups::TickTimer::TickTimer(int, std::function<void ()>, int)::{lambda()#2}"
)
low= high=
for name in "${wanted[@]}"; do
  address=$(grep -F -m1 " $name" <<<"$symbols" | cut -d' ' -f1) ||
    { echo "tickLayout: no '$name' in the program" >&2; exit 1; }
  address=$((16#$address))
  [[ -z $low ]] || ((address >= low)) || low=$address
  [[ -n $low ]] || low=$address
  ((address <= ${high:-0})) || high=$address
done
pages=$(((high >> 12) - (low >> 12) + 1))
echo "tickLayout: the tick's functions span $pages pages ($(printf '%#x' "$low") to $(printf '%#x' "$high"))"
((pages <= 3)) || { echo "tickLayout: FAIL: more than three pages" >&2; exit 1; }
