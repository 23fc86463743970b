#!/bin/bash
# talq copy's progress bar as a person sees it: run in a pseudo-terminal
# (script(1)), the last frame shows 100% and the size; a cancelled copy
# leaves a clean line and no destination file.
set -u
talq=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v script >/dev/null || { echo "script(1) not installed: skipped"; exit 0; }
head -c 9437184 /dev/zero >"$work/big.bin"   # 9.0 MiB
failures=0

script -qec "'$talq' copy '$work/big.bin' '$work/copy.bin'" /dev/null >"$work/screen" 2>&1
last=$(tr '\r' '\n' <"$work/screen" | grep -v '^\s*$' | tail -n 1)
[[ $last == *"100%"* && $last == *"9.0 / 9.0 MiB"* ]] ||
  { echo "FAIL last frame: '$last'"; failures=$((failures + 1)); }
frames=$(tr '\r' '\n' <"$work/screen" | grep -c '%')
[ "$frames" -ge 2 ] || { echo "FAIL only $frames frame(s) drawn"; failures=$((failures + 1)); }
cmp -s "$work/big.bin" "$work/copy.bin" || { echo "FAIL copy differs"; failures=$((failures + 1)); }

TALQ_CANCEL_AFTER_BYTES=1 script -qec "'$talq' copy '$work/big.bin' '$work/cancel.bin'; echo status=\$?" \
  /dev/null >"$work/screen" 2>&1
[ ! -e "$work/cancel.bin" ] || { echo "FAIL cancelled copy left its destination"; failures=$((failures + 1)); }
grep -q "status=130" "$work/screen" || { echo "FAIL cancelled copy's status"; failures=$((failures + 1)); }
# What stays on the screen: the cancel message on a line of its own, no bar.
visible=$(tr '\r' '\n' <"$work/screen" | grep -v '^\s*$' | grep -v '^status=' | tail -n 1)
[[ $visible == "talq copy: cancelled"* ]] || { echo "FAIL screen after cancel: '$visible'"; failures=$((failures + 1)); }

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "talq progress: ok"
