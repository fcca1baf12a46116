#!/usr/bin/env bash
# The Windows build's tests (scripts/test.sh --windows), under Wine:
#   1. the unit and window tests, cross-built and run with Qt's offscreen
#      platform, the same tests as on Linux;
#   2. the zip and the installer built as scripts/build-windows.sh makes them;
#   3. the program from the zip, unpacked into a fresh prefix, driven through
#      a deposit (tests/windows/zip_e2e.py);
#   4. the installer installed silently and uninstalled again
#      (packaging/windows/check_installer.sh).
# Builds Qt for Windows first when its cache is missing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
qt="$("$root/scripts/build-windows.sh" --qt-only)"
build="$root/build-win-test"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# The tests run under Wine through CTest's emulator, one at a time: they
# share one Wine prefix.
"$qt/bin/qt-cmake" -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHIBI_WERROR=ON "${launcher[@]}" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/packaging/windows/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-test.sh" >/dev/null
cmake --build "$build" -j"$(nproc)"

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
trap wine_stop EXIT
wine_start "$qt"
(cd "$build" && ctest --output-on-failure --timeout 600)
wine_stop

"$root/scripts/build-windows.sh"
version="$(sed -n 's/^project(hibinobori VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"

# A fresh prefix that knows nothing of the Qt build: the zip brings its own.
wine_start /nonexistent
python3 "$root/tests/windows/zip_e2e.py" --zip "$root/dist/hibinobori-$version-win64.zip" \
    --work "$build/zip-e2e"
wine_stop

"$root/packaging/windows/check_installer.sh" "$root/dist/hibinobori-$version-setup.exe"
