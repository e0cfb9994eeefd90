#!/usr/bin/env bash
# Compiles every corpus script that has a compiled file in corpus/cnut/ (written by the reference compiler)
# with the given `sq` and checks the result is byte for byte that file: our compiled files are the reference's,
# so they load and run wherever the reference's do.
#
#   same-cnut.sh SQ
set -u
here="$(cd "$(dirname "$0")" && pwd)"
sq="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
count=0
for compiled in "$here"/corpus/cnut/*.cnut; do
  name="$(basename "$compiled" .cnut)"
  [ -f "$here/corpus/$name.nut" ] || continue
  count=$((count + 1))
  (cd "$here/corpus" && "$sq" -c -o "$work/$name.cnut" "$name.nut") </dev/null >/dev/null 2>&1
  if ! cmp -s "$compiled" "$work/$name.cnut"; then
    echo "DIFFERS cnut/$name.cnut"
    failed=$((failed + 1))
  fi
done
echo "$count compiled files, $failed differ"
[ "$failed" -eq 0 ]
