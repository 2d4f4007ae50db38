#!/usr/bin/env bash
# Runs journey.py against the program inside a private X server and D-Bus session, with the
# accessibility bus of at-spi2-core.
# Usage: tests/window/run-journey.sh PROGRAM SAMPLES_FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x900x24" \
    dbus-run-session -- /usr/bin/python3 "$here/journey.py" "$@"
