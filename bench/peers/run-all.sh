#!/usr/bin/env bash
# run-all.sh CORPUSDIR OUTFILE — every peer (zarv, qsci, qpte) x scenario on cpp-10MB.cpp and cpp-100MB.cpp, plus
# `open` on longlines.cpp. Appends one JSON line per run to OUTFILE (a timed-out or failed run
# gets a status line instead); programs' stderr goes to OUTFILE.stderr.
# Env: BIN (default: build/ next to this script), LIMIT (seconds per run, default 300).
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 CORPUSDIR OUTFILE" >&2; exit 2; }
CORPUS=$1 OUT=$2
BIN=${BIN:-$(cd "$(dirname "$0")" && pwd)/build}
LIMIT=${LIMIT:-300}
export QT_QPA_PLATFORM=offscreen
SCENARIOS="open highlight-all type comment-cascade scroll find"

run() {  # PEER SCENARIO FILE
  local peer=$1 sc=$2 file=$3 t0 rc line wall status
  echo "== $peer $sc $file" >> "$OUT.stderr"
  t0=$(date +%s%N)
  line=$(timeout -k 10 "$LIMIT" "$BIN/peer-$peer" "$sc" "$CORPUS/$file" 2>> "$OUT.stderr")
  rc=$?
  wall=$(( ($(date +%s%N) - t0) / 1000000 ))
  local id="\"peer\":\"$peer\",\"scenario\":\"$sc\",\"file\":\"$file\""
  if [ $rc -eq 0 ] && [ "${line:0:1}" = "{" ]; then
    echo "${line%\}},\"wall_ms\":$wall}" >> "$OUT"; status=ok
  elif [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
    echo "{$id,\"status\":\"timeout\",\"limit_s\":$LIMIT,\"wall_ms\":$wall}" >> "$OUT"; status=timeout
  else
    echo "{$id,\"status\":\"error\",\"exit_code\":$rc,\"wall_ms\":$wall}" >> "$OUT"; status="error($rc)"
  fi
  printf '%-5s %-16s %-14s %-8s %6.1fs\n' "$peer" "$sc" "$file" "$status" "$(echo "$wall" | awk '{print $1/1000}')" >&2
}

start=$(date +%s)
for file in cpp-10MB.cpp cpp-100MB.cpp; do
  for peer in zarv qsci qpte; do
    for sc in $SCENARIOS; do run "$peer" "$sc" "$file"; done
  done
done
for peer in zarv qsci qpte; do run "$peer" open longlines.cpp; done
echo "total $(( $(date +%s) - start ))s" >&2
