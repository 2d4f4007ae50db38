#!/usr/bin/env bash
# Builds the Debian package, installs it, drives the installed program through its real window
# on the installed sample tables, and uninstalls it again, checking that no file stays behind.
# Usage: scripts/package-check.sh BUILD_FOLDER   (as root, or with sudo)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)

(cd "$build" && cpack -G DEB >/dev/null)
package=$(realpath "$(ls "$build"/morvane_*.deb | head -n 1)")
echo "Built $(basename "$package"): $(dpkg-deb -f "$package" Depends)"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$package" >/dev/null
installed=$(dpkg -L morvane | sort)
for expected in /usr/bin/morvane /usr/bin/morvane-transfer /usr/lib/morvane/morvane /usr/lib/morvane/HAND-M.CUR \
                /usr/lib/morvane/Samples/CUSTOMER.DB /usr/share/applications/morvane.desktop \
                /usr/share/icons/hicolor/256x256/apps/morvane.png; do
    grep -qx "$expected" <<<"$installed" || { echo "The package lacks $expected" >&2; exit 1; }
done

"$here/tests/window/run-journey.sh" /usr/bin/morvane /usr/lib/morvane/Samples
/usr/bin/morvane-transfer --version | grep -qx "morvane-transfer [0-9.]*" ||
    { echo "The installed morvane-transfer does not start" >&2; exit 1; }

"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq morvane >/dev/null
left=$(while read -r path; do
    if [[ -f "$path" || -L "$path" ]]; then echo "$path"; fi
done <<<"$installed")
[[ -z "$left" ]] || { echo "Uninstalling left files behind: $left" >&2; exit 1; }
echo "The package installs, starts on its first window, and uninstalls cleanly."
