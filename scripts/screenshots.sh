#!/usr/bin/env bash
# Renders both screens in a real X window (Xvfb) and saves them as docs/*.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$here/build" --target screenshot application_folder >/dev/null
xvfb-run -a -s "-screen 0 1280x800x24" "$here/build/tools/screenshot" "$here/docs"
