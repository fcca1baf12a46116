#!/usr/bin/env bash
# The unit and window tests, cross-built for Windows and run under Wine with
# Qt's offscreen platform (scripts/test.sh --windows). Builds Qt for Windows
# first when its cache is missing (see scripts/build-windows.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
qt="$("$root/scripts/build-windows.sh" --qt-only)"
build="$root/build-win-test"
# The tests run under Wine through CTest's emulator, one at a time: they
# share one Wine prefix.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
"$qt/bin/qt-cmake" -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHIBI_WERROR=ON "${launcher[@]}" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/packaging/windows/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-test.sh" >/dev/null
cmake --build "$build" -j"$(nproc)"

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
trap wine_stop EXIT
wine_start "$qt"
cd "$build"
ctest --output-on-failure --timeout 600
