#!/usr/bin/env bash
# Builds the Debian package: a Release build of the program and cpack.
#   scripts/package.sh [BUILD_DIR]      (default build-pkg; prints the .deb's path)
# Two runs on the same source give the same .deb: unless SOURCE_DATE_EPOCH is
# set already, it is the date of the latest release in CHANGELOG.md, for the
# build (Qt's resource compiler stamps the images with it) and for cpack (the
# files' times in the package).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-pkg}")"
"$root/scripts/install-deps.sh" package
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHIBI_BUILD_TESTS=OFF >/dev/null
if [[ -z "${SOURCE_DATE_EPOCH:-}" ]]; then
    SOURCE_DATE_EPOCH="$(sed -n 's/^HIBI_SOURCE_DATE_EPOCH:INTERNAL=//p' "$build/CMakeCache.txt")"
fi
export SOURCE_DATE_EPOCH
# From scratch: an earlier build's images may carry other times.
cmake --build "$build" --target clean >/dev/null
cmake --build "$build" --target hibinobori -j2 >/dev/null
rm -f "$build"/hibinobori_*.deb
(cd "$build" && cpack -G DEB --config CPackConfig.cmake >&2)
ls "$build"/hibinobori_*.deb
