#!/usr/bin/env bash
# Both screens keep their layout at 200 % scaling: rendered in a real window at scale factors 1
# and 2, each picture is exactly twice as wide and as high at 2.
# Usage: tests/window/scaling.sh SCREENSHOT_TOOL
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for scale in 1 2; do
    env -u QT_QPA_PLATFORM QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 1600x1200x24" "$tool" "$work/$scale" 2>/dev/null
done
/usr/bin/python3 - "$work" <<'PY'
import struct, sys
work = sys.argv[1]
def size(path):
    with open(path, "rb") as png:
        header = png.read(24)
    return struct.unpack(">II", header[16:24])
failures = 0
for screen in ("connection-screen", "tables-screen"):
    one, two = size(f"{work}/1/{screen}.png"), size(f"{work}/2/{screen}.png")
    ok = two == (one[0] * 2, one[1] * 2)
    failures += not ok
    print(f"{screen}: {one[0]}x{one[1]} at 100 %, {two[0]}x{two[1]} at 200 %: {'ok' if ok else 'FAILED'}")
print(f"{2 - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
PY
