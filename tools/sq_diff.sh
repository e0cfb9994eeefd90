#!/usr/bin/env bash
# Differential check of our `sq` against the reference interpreter: runs every script of the given folders
# through both and reports each difference in standard output.
#
#   sq_diff.sh [-v] [-j N] [--cnut] [--only GLOB] [--write-out] --sq "OUR SQ" --ref "REFERENCE SQ" FOLDER...
#
# Each script runs as the corpus runner does: from its own folder, as a bare file name, stdin from /dev/null,
# with a time limit (SQ_DIFF_TIMEOUT seconds, default 30; a run that times out prints "<timeout>").
#   -v           print a unified diff (reference side first) for each difference
#   -j N         scripts checked at the same time (default 2)
#   --cnut       also compile each script with both interpreters (-c -o) and run each one's compiled file in
#                the other: reference bytecode in ours and ours in the reference must print what the
#                reference prints for its own compiled file
#   --only GLOB  only scripts whose base name matches GLOB
#   --write-out  write the reference's output beside each script as NAME.out (to grow a corpus)
# The last line is "N scripts, M differ"; exit status 0 only when nothing differs.
set -u
verbose=0 jobs=2 cnut=0 only="*" writeout=0 our="" ref=""
while [ $# -gt 0 ]; do
  case "$1" in
    -v) verbose=1; shift ;;
    -j) jobs="$2"; shift 2 ;;
    --cnut) cnut=1; shift ;;
    --only) only="$2"; shift 2 ;;
    --write-out) writeout=1; shift ;;
    --sq) our="$2"; shift 2 ;;
    --ref) ref="$2"; shift 2 ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ -z "$our" ] || [ -z "$ref" ] || [ $# -lt 1 ]; then sed -n '2,16p' "$0" >&2; exit 2; fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export SQ_DIFF_WORK="$work" SQ_DIFF_OUR="$our" SQ_DIFF_REF="$ref" SQ_DIFF_VERBOSE="$verbose"
export SQ_DIFF_CNUT="$cnut" SQ_DIFF_WRITE="$writeout" SQ_DIFF_LIMIT="${SQ_DIFF_TIMEOUT:-30}"

# Checks one script; prints "SAME name" or "DIFF name (what)" followed by the diffs.
check_one() {
  local path="$1" dir name id out
  dir="$(cd "$(dirname "$path")" && pwd)"
  name="$(basename "$path")"
  id="$(printf '%s' "$dir/$name" | md5sum | cut -c1-12)"
  out="$SQ_DIFF_WORK/$id"
  mkdir -p "$out"
  run() {   # $1 = command, $2 = folder, $3 = file, $4 = output file
    (cd "$2" && timeout "$SQ_DIFF_LIMIT" sh -c "$1 \"\$1\"" sh "$3") </dev/null >"$4" 2>/dev/null
    [ $? -eq 124 ] && echo "<timeout>" >>"$4"
  }
  run "$SQ_DIFF_REF" "$dir" "$name" "$out/ref"
  run "$SQ_DIFF_OUR" "$dir" "$name" "$out/our"
  [ "$SQ_DIFF_WRITE" -eq 1 ] && cp "$out/ref" "$dir/${name%.nut}.out"
  local what=""
  cmp -s "$out/ref" "$out/our" || what="source"
  if [ "$SQ_DIFF_CNUT" -eq 1 ]; then
    # Compiled files keep the bare source name, so compile from the script's folder into our scratch folder.
    local base="${name%.nut}"
    (cd "$dir" && timeout "$SQ_DIFF_LIMIT" sh -c "$SQ_DIFF_REF -c -o \"\$1\" \"\$2\"" sh "$out/$base.ref.cnut" "$name") \
      </dev/null >/dev/null 2>&1
    (cd "$dir" && timeout "$SQ_DIFF_LIMIT" sh -c "$SQ_DIFF_OUR -c -o \"\$1\" \"\$2\"" sh "$out/$base.our.cnut" "$name") \
      </dev/null >/dev/null 2>&1
    # The baseline is the reference running its own compiled file (constants, for one, are not saved).
    if [ -s "$out/$base.ref.cnut" ]; then
      run "$SQ_DIFF_REF" "$out" "$base.ref.cnut" "$out/ref_cnut"
      run "$SQ_DIFF_OUR" "$out" "$base.ref.cnut" "$out/our_of_ref"
      cmp -s "$out/ref_cnut" "$out/our_of_ref" || what="$what ref-cnut-in-ours"
    fi
    if [ -s "$out/$base.our.cnut" ] && [ -s "$out/ref_cnut" ]; then
      run "$SQ_DIFF_REF" "$out" "$base.our.cnut" "$out/ref_of_our"
      cmp -s "$out/ref_cnut" "$out/ref_of_our" || what="$what our-cnut-in-ref"
    fi
    # One compiler accepting what the other refuses is a difference too.
    [ -s "$out/$base.ref.cnut" ] && [ ! -s "$out/$base.our.cnut" ] && what="$what only-reference-compiles"
    [ ! -s "$out/$base.ref.cnut" ] && [ -s "$out/$base.our.cnut" ] && what="$what only-ours-compiles"
  fi
  if [ -z "$what" ]; then
    echo "SAME $path"
  else
    echo "DIFF $path ($what)"
    if [ "$SQ_DIFF_VERBOSE" -eq 1 ]; then
      for pair in ref:our ref_cnut:our_of_ref ref_cnut:ref_of_our; do
        local a="${pair%%:*}" b="${pair##*:}"
        [ -f "$out/$b" ] && ! cmp -s "$out/$a" "$out/$b" &&
          diff -u --label "$a" --label "$b" "$out/$a" "$out/$b" | sed 's/^/    /' | head -n 40
      done
    fi
  fi
}
export -f check_one

for folder in "$@"; do
  for path in "$folder"/*.nut; do
    [ -e "$path" ] || continue
    case "$(basename "$path" .nut)" in $only) printf '%s\0' "$path" ;; esac
  done
done | xargs -0 -r -n 1 -P "$jobs" bash -c 'check_one "$1"' _ >"$work/report"

# Keep each script's block together, sorted by script.
awk '/^(SAME|DIFF) /{key=$2} {print key "\t" NR "\t" $0}' "$work/report" | sort -t$'\t' -k1,1 -k2,2n |
  cut -f3- | grep -v '^SAME ' || true
total=$(grep -cE '^(SAME|DIFF) ' "$work/report")
differ=$(grep -c '^DIFF ' "$work/report")
echo "$total scripts, $differ differ"
[ "$differ" -eq 0 ]
