#!/usr/bin/env bash
# Times the script benchmarks under several interpreters, side by side.
#
#   vm_compare.sh [-n RUNS] [-s SET]... "INTERPRETER 1" ["INTERPRETER 2" ...]
#
# Each interpreter command is run as: COMMAND <script.nut>. An entry "COMMAND@FOLDER:EXT" runs the script of
# the same name from FOLDER (beside this file) with extension EXT instead; "{}" in FOLDER stands for the set,
# e.g. "lua5.4@{}_lua:.lua" runs vm_scripts_lua/fib.lua for vm_scripts/fib.nut.
# A set is a folder of .nut scripts beside this file (default: vm_scripts and vm_scripts2).
# For each script the median CPU time (user + system) of RUNS runs (default 5) is printed per interpreter, in
# milliseconds, then the ratio of each to the first, and per set the geometric mean of those ratios.
# lua5.4 is installed from Debian when an entry names it and it is missing.
set -u
runs=5
sets=()
while [ $# -gt 0 ]; do
  case "$1" in
  -n) runs="$2"; shift 2 ;;
  -s) sets+=("$2"); shift 2 ;;
  *) break ;;
  esac
done
if [ $# -lt 1 ]; then sed -n '2,12p' "$0"; exit 2; fi
here="$(cd "$(dirname "$0")" && pwd)"
[ ${#sets[@]} -eq 0 ] && sets=(vm_scripts vm_scripts2)

for entry in "$@"; do
  if [[ "$entry" == lua5.4* ]] && ! command -v lua5.4 >/dev/null; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends lua5.4 >/dev/null ||
      { echo "cannot install lua5.4" >&2; exit 1; }
  fi
done

# Median CPU time of the child processes in microseconds: wall clock would count the other programs sharing
# the machine.
cputime() {
  python3 - "$runs" "$@" <<'EOF'
import os, subprocess, sys
runs = int(sys.argv[1])
times = []
for _ in range(runs):
    p = subprocess.Popen(sys.argv[2:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    _, _, ru = os.wait4(p.pid, 0)
    times.append(ru.ru_utime + ru.ru_stime)
times.sort()
n = len(times)
median = times[n // 2] if n % 2 else (times[n // 2 - 1] + times[n // 2]) / 2
print(max(1, int(median * 1e6)))
EOF
}

for set in "${sets[@]}"; do
  declare -a logsum
  for ((k = 0; k < $#; k++)); do logsum[$k]=0; done
  count=0
  printf '%-12s' "$set"
  for entry in "$@"; do
    cmd="$entry"
    [[ "$entry" == *@*:* ]] && cmd="${entry%@*}"
    printf ' %16s' "$(basename "${cmd%% *}")"
  done
  echo
  for script in "$here/$set"/*.nut; do
    name="$(basename "$script" .nut)"
    printf '%-12s' "$name"
    first=""
    k=0
    for entry in "$@"; do
      cmd="$entry" file="$script"
      if [[ "$entry" == *@*:* ]]; then
        cmd="${entry%@*}" where="${entry##*@}"
        folder="${where%%:*}"
        file="$here/${folder//\{\}/$set}/$name${where#*:}"
      fi
      # A missing counterpart would fail at once and pass for a fast run.
      if [ ! -f "$file" ]; then echo; echo "missing $file" >&2; exit 1; fi
      # shellcheck disable=SC2086 # the command may carry its own arguments
      us=$(cputime $cmd "$file")
      [ -z "$first" ] && first=$us
      ratio=$(awk -v a="$us" -v b="$first" 'BEGIN { printf "%.2f", a / b }')
      logsum[$k]=$(awk -v s="${logsum[$k]}" -v a="$us" -v b="$first" 'BEGIN { print s + log(a / b) }')
      printf ' %8s (%5sx)' "$(awk -v u="$us" 'BEGIN { printf "%.1f", u / 1000 }')" "$ratio"
      k=$((k + 1))
    done
    count=$((count + 1))
    echo
  done
  printf '%-12s' geomean
  for ((k = 0; k < $#; k++)); do
    printf ' %16s' "$(awk -v s="${logsum[$k]}" -v n="$count" 'BEGIN { printf "%.2fx", exp(s / n) }')"
  done
  echo
  echo
done
