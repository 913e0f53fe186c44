#!/usr/bin/env bash
# pass_persist backend for a private snmpd: serves the UPS's enterprise objects from memory.
# Protocol (one item per line): PING -> PONG; get OID; getnext OID; set OID "type value".
# A successful set also appends "OID value" to the file named by $1, when given.
set -u
set_log=${1:-}
prefix=.1.3.6.1.4.1.27431
# In numeric order, which GETNEXT walks.
oids=(1.1.1.1.0 1.1.1.2.0 1.1.2.1.0 1.1.2.4.0 1.1.3.2.0 1.1.3.3.0 1.1.3.4.0)
declare -A type=(
  [1.1.1.1.0]=integer [1.1.1.2.0]=integer [1.1.2.1.0]=integer [1.1.2.4.0]=string
  [1.1.3.2.0]=integer [1.1.3.3.0]=string [1.1.3.4.0]=string)
declare -A value=(
  [1.1.1.1.0]=1 [1.1.1.2.0]=1 [1.1.2.1.0]=0 [1.1.2.4.0]="UPS Sala de Servidores"
  [1.1.3.2.0]=0 [1.1.3.3.0]="SN0123456789AB" [1.1.3.4.0]="KRV-1200-ONLINE")
writable=1.1.2.1.0

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

answer() {
  printf '%s\n%s\n%s\n' "$prefix.$1" "${type[$1]}" "${value[$1]}"
}

next_line() {
  local line
  while IFS= read -r line; do
    [[ -n "$line" ]] && { REPLY=$line; return 0; }
  done
  return 1
}

while next_line; do
  command=$REPLY
  case "$command" in
    PING) echo PONG ;;
    get)
      next_line || exit 0
      key=${REPLY#"$prefix."}
      if [[ "$REPLY" != "$key" && -n "${type[$key]+set}" ]]; then answer "$key"; else echo NONE; fi
      ;;
    getnext)
      next_line || exit 0
      found=
      for key in "${oids[@]}"; do
        if before "$REPLY" "$prefix.$key"; then found=$key; break; fi
      done
      if [[ -n "$found" ]]; then answer "$found"; else echo NONE; fi
      ;;
    set)
      next_line || exit 0
      key=${REPLY#"$prefix."}
      next_line || exit 0
      read -r set_type set_value <<<"$REPLY"
      if [[ "$key" != "$writable" ]]; then
        echo not-writable
      elif [[ "$set_type" != integer ]]; then
        echo wrong-type
      else
        value[$key]=$set_value
        [[ -n "$set_log" ]] && echo "$prefix.$key $set_value" >>"$set_log"
        echo DONE
      fi
      ;;
    *) echo NONE ;;
  esac
done
