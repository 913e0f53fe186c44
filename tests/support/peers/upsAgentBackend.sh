#!/usr/bin/env bash
# pass_persist backend for a private snmpd acting as the UPS's agent. The values are read afresh
# from the file named by $1 at every request, so a test changes the UPS by rewriting that file:
#   battery=1  line=1  name=...  serial=...  model=...   (a missing key: the object is absent)
# A SET of the command object appends "OID value" to the file named by $2, and the new value to
# the values file, so that a later GET reads it back.
set -u
values_file=$1
set_log=${2:-/dev/null}
prefix=.1.3.6.1.4.1.27431
# Numeric order, which GETNEXT walks.
oids=(1.1.1.1.0 1.1.1.2.0 1.1.2.1.0 1.1.2.4.0 1.1.3.2.0 1.1.3.3.0 1.1.3.4.0)
declare -A key=([1.1.1.1.0]=battery [1.1.1.2.0]=line [1.1.2.1.0]=command [1.1.2.4.0]=name
                [1.1.3.2.0]=probe [1.1.3.3.0]=serial [1.1.3.4.0]=model)
declare -A type=([1.1.1.1.0]=integer [1.1.1.2.0]=integer [1.1.2.1.0]=integer [1.1.2.4.0]=string
                 [1.1.3.2.0]=integer [1.1.3.3.0]=string [1.1.3.4.0]=string)

declare -A value
load() {
  value=([command]=0 [probe]=1)
  local k v
  while IFS='=' read -r k v; do [[ -n "$k" ]] && value[$k]=$v; done <"$values_file"
}

present() { [[ -n "${key[$1]+set}" && -n "${value[${key[$1]}]+set}" ]]; }

answer() { printf '%s\n%s\n%s\n' "$prefix.$1" "${type[$1]}" "${value[${key[$1]}]}"; }

# True when dotted OID $1 sorts before $2.
before() {
  local IFS=.
  local -a a=($1) b=($2)
  local i
  for ((i = 0; i < ${#a[@]} && i < ${#b[@]}; i++)); do
    ((10#${a[i]:-0} < 10#${b[i]:-0})) && return 0
    ((10#${a[i]:-0} > 10#${b[i]:-0})) && return 1
  done
  ((${#a[@]} < ${#b[@]}))
}

# snmpd sends a blank line after each set block: skip blank lines to stay in step.
next_line() {
  while IFS= read -r REPLY; do [[ -n "$REPLY" ]] && return 0; done
  return 1
}

while next_line; do
  case "$REPLY" in
    PING) echo PONG ;;
    get)
      next_line || exit 0
      load
      k=${REPLY#"$prefix."}
      if [[ "$REPLY" != "$k" ]] && present "$k"; then answer "$k"; else echo NONE; fi
      ;;
    getnext)
      next_line || exit 0
      load
      found=
      for k in "${oids[@]}"; do
        if present "$k" && before "$REPLY" "$prefix.$k"; then found=$k; break; fi
      done
      if [[ -n "$found" ]]; then answer "$found"; else echo NONE; fi
      ;;
    set)
      next_line || exit 0
      k=${REPLY#"$prefix."}
      next_line || exit 0
      read -r set_type set_value <<<"$REPLY"
      if [[ "$k" != 1.1.2.1.0 ]]; then
        echo not-writable
      elif [[ "$set_type" != integer ]]; then
        echo wrong-type
      else
        echo "$prefix.$k $set_value" >>"$set_log"
        echo "command=$set_value" >>"$values_file"
        echo DONE
      fi
      ;;
    *) echo NONE ;;
  esac
done
