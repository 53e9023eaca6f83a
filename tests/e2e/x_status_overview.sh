#!/usr/bin/env bash
# Runs the in-process window test on a private Xvfb (real X pointer events
# through xdotool). Exit 77 (skipped) when Xvfb or xdotool is missing.
set -uo pipefail
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work="$(mktemp -d)"
pids=()
trap 'for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT
# shellcheck source=../../scripts/private-xvfb.sh
source "$(dirname "$0")/../../scripts/private-xvfb.sh"
start_private_xvfb 1600x1000x24 "$work/xvfb.log" || { echo "FAIL: Xvfb did not start"; exit 1; }
export TMPDIR="$work" XDG_STATE_HOME="$work/state"
"$1"
