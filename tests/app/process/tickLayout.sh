#!/usr/bin/env bash
# The idle tick's code lies on one page of the monitor, from its start, on either link: the
# functions marked as the tick's, and those the compiler makes for it, which the link places by
# name (src/app/process/tickPath.order), as are the virtual tables it calls through. A rename that
# the order file misses fails here, and so does an idle path grown past the page.
#   tests/app/process/tickLayout.sh BUILD_DIR
set -euo pipefail
program=${1:?the build folder}/src/korvan-ups
symbols=$(nm -n -C "$program" | grep -v '\[clone')
sized=$(nm -n -S -C "$program" | grep -v '\[clone')
wanted=(
  "T ups::TickPacer::fire()"
  "T ups::Supervisor::tick()"
  "T ups::SystemClock::at("
  "T ups::NetworkLinks::publish("
  "T ups::TmainF::watchHistory()"
  "T ups::SerialLink::readLines()"
  "T ups::TermiosSerialDriver::fdFor(int) const"
  "T ups::Supervisor::readTrapFields()"
  "T non-virtual thunk to ups::TmainF::refreshDisplay()"
  "T non-virtual thunk to ups::TmainF::setNoticeCaption("
  "W std::_Function_handler<long (), long (*)()>::_M_invoke("
  "t std::_Function_handler<void (), ups::TmainF::makeTickTimer()::{lambda()#1}>::_M_invoke("
  "t QtPrivate::QFunctorSlotObject<ups::TickTimer::TickTimer(int, std::function<void ()>, int)::{lambda()#1}"
  "t QtPrivate::QFunctorSlotObject<ups::TickTimer::TickTimer(int, std::function<void ()>, int)::{lambda()#2}"
)
# on_pages <most pages> <what> <symbol...>: the symbols (nm's type and name) start on at most that
# many distinct pages.
on_pages() {
  local most=$1 what=$2 name address
  shift 2
  local -A pages=()
  for name in "$@"; do
    address=$(grep -F -m1 " $name" <<<"$symbols" | cut -d' ' -f1) ||
      { echo "tickLayout: no '$name' in the program" >&2; exit 1; }
    pages[$((16#$address >> 12))]=1
  done
  echo "tickLayout: $what are on ${#pages[@]} pages"
  ((${#pages[@]} <= most)) || { echo "tickLayout: FAIL: $what on more than $most pages" >&2; exit 1; }
}
on_pages 1 "the tick's functions" "${wanted[@]}"
# From the page the link starts for them to the end of the last of them.
start=$(grep -F -m1 " upsTickPage" <<<"$symbols" | cut -d' ' -f1)
end=0
for name in "${wanted[@]}"; do
  read -r address size _ < <(grep -F -m1 " $name" <<<"$sized")
  ((16#$address + 16#$size > end)) && end=$((16#$address + 16#$size))
done
((16#$start % 4096 == 0)) || { echo "tickLayout: FAIL: the tick's code does not start a page" >&2; exit 1; }
pages=$(((end - 1) / 4096 - 16#$start / 4096 + 1))
echo "tickLayout: the tick's code takes $((end - 16#$start)) bytes, $pages pages"
((pages <= 1)) || { echo "tickLayout: FAIL: the tick's code on more than one page" >&2; exit 1; }
# Two output sections (tables with and without relocations to other objects), a page each.
on_pages 2 "the tick's virtual tables" "V vtable for ups::TmainF" "V vtable for ups::TickTimer" \
  "V vtable for ups::SystemClock" "V vtable for ups::ScheduledBatteryTests" \
  "V vtable for ups::Rehearsal" "V vtable for ups::HistoryWriter"
