#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Quick start on Debian 12: installs what is missing, builds, then either
# starts the program on the bundled sample races (demo), runs every test
# under AddressSanitizer and UBSan (test), or makes the Debian package
# (package) and checks it with lintian.  Safe to run again.
set -eu

usage() {
    echo "usage: $0 demo|test|package" >&2
    exit 2
}
[ $# -eq 1 ] || usage
mode=$1
case "$mode" in demo|test|package) ;; *) usage ;; esac

here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

packages="cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libgl-dev fonts-ipafont-gothic libbenchmark-dev\
    qt6-l10n-tools desktop-file-utils appstream groff-base shared-mime-info dpkg-dev file"
# The package is checked as Debian checks its own.
if [ "$mode" = package ]; then
    packages="$packages lintian"
fi

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    # shellcheck disable=SC2086
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
fi

jobs=$(nproc 2>/dev/null || echo 2)

if [ "$mode" = test ]; then
    cmake --preset debug
    cmake --build --preset debug -j "$jobs"
    QT_QPA_PLATFORM=offscreen ctest --preset debug -j "$jobs"
    exit 0
fi

cmake --preset release
cmake --build --preset release -j "$jobs"

if [ "$mode" = package ]; then
    rm -f build/release/package/*.deb
    cpack --config build/release/CPackConfig.cmake -B build/release/package
    ls build/release/package/*.deb
    # No error and no warning at lintian's default level.
    lintian --fail-on error,warning build/release/package/*.deb
    exit 0
fi

# The demo keeps its own settings file, so the user's own settings are never
# touched; it points the program at the bundled races.
demo_settings="$here/build/demo/minukuru-demo.ini"
if [ ! -f "$demo_settings" ]; then
    mkdir -p "$(dirname "$demo_settings")"
    printf '[Option]\nPatFolder="%s/samples/pat/"\n' "$here" > "$demo_settings"
fi
MINUKURU_SETTINGS="$demo_settings" exec "$here/build/release/minukuru"
