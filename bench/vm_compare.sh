#!/usr/bin/env bash
# Times the script benchmarks in vm_scripts/ under several interpreters, side by side.
#
#   vm_compare.sh [-n RUNS] "INTERPRETER 1" ["INTERPRETER 2" ...]
#
# Each interpreter command is run as: COMMAND <script.nut>. An entry "COMMAND@FOLDER:EXT" runs the script of
# the same name from FOLDER (beside this file) with extension EXT instead, e.g. "lua5.4@vm_scripts_lua:.lua".
# For each script the best wall time of RUNS runs (default 5) is printed per interpreter, in milliseconds,
# then the ratio of each to the first and the geometric mean of those ratios.
set -u
runs=5
if [ "${1:-}" = "-n" ]; then runs="$2"; shift 2; fi
if [ $# -lt 1 ]; then sed -n '2,10p' "$0"; exit 2; fi
here="$(cd "$(dirname "$0")" && pwd)"
declare -a logsum
for ((k = 0; k < $#; k++)); do logsum[$k]=0; done
count=0
printf '%-12s' script
for entry in "$@"; do
  cmd="$entry"
  [[ "$entry" == *@*:* ]] && cmd="${entry%@*}"
  printf ' %14s' "$(basename "${cmd%% *}")"
done
echo
for script in "$here"/vm_scripts/*.nut; do
  name="$(basename "$script" .nut)"
  printf '%-12s' "$name"
  first=""
  k=0
  for entry in "$@"; do
    cmd="$entry" file="$script"
    if [[ "$entry" == *@*:* ]]; then
      cmd="${entry%@*}" where="${entry##*@}"
      file="$here/${where%%:*}/$name${where#*:}"
    fi
    # A missing counterpart would fail at once and pass for a fast run.
    if [ ! -f "$file" ]; then echo; echo "missing $file" >&2; exit 1; fi
    best=""
    for ((r = 0; r < runs; r++)); do
      start=$(date +%s%N)
      $cmd "$file" >/dev/null 2>&1
      end=$(date +%s%N)
      # microseconds: the short scripts run for only a few milliseconds
      us=$(( (end - start) / 1000 ))
      if [ -z "$best" ] || [ "$us" -lt "$best" ]; then best=$us; fi
    done
    [ "$best" -lt 1 ] && best=1
    [ -z "$first" ] && first=$best
    ratio=$(awk -v a="$best" -v b="$first" 'BEGIN { printf "%.2f", a / b }')
    logsum[$k]=$(awk -v s="${logsum[$k]}" -v a="$best" -v b="$first" 'BEGIN { print s + log(a / b) }')
    printf ' %8s (%4sx)' "$(awk -v u="$best" 'BEGIN { printf "%.1f", u / 1000 }')" "$ratio"
    k=$((k + 1))
  done
  count=$((count + 1))
  echo
done
printf '%-12s' geomean
for ((k = 0; k < $#; k++)); do
  printf ' %14s' "$(awk -v s="${logsum[$k]}" -v n="$count" 'BEGIN { printf "%.2fx", exp(s / n) }')"
done
echo
