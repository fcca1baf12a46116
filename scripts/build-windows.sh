#!/usr/bin/env bash
# Builds the program for 64-bit Windows on Debian 12 and packages it.
#   scripts/build-windows.sh            the zip and the installer in dist/
#   scripts/build-windows.sh --qt-only  only the Qt for Windows (cached)
# Qt is built once from Debian's own qt6-base source with MinGW-w64 into a
# cache outside the checkout ($HIBI_QT_CACHE, default /var/cache/hibinobori),
# keyed by Qt's version and the options below; later runs reuse it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="${HIBI_QT_CACHE:-/var/cache/hibinobori}"
toolchain="$root/packaging/windows/mingw-w64-x86_64.cmake"
only_qt=0
[[ "${1:-}" == --qt-only ]] && only_qt=1

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)

install_packages() {
    local packages=(cmake ninja-build dpkg-dev qt6-base-dev qt6-base-dev-tools
                    qt6-translations-l10n g++-mingw-w64-x86-64-posix
                    binutils-mingw-w64-x86-64 wine wine64 nsis zip
                    fonts-ipafont-gothic xvfb xauth xdotool imagemagick)
    local missing=() package
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    ((${#missing[@]} == 0)) && return 0
    echo "Installing: ${missing[*]}" >&2
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q \
        --no-install-recommends "${missing[@]}"
}

# A deb-src entry for the archive apt already uses, so that apt-get source
# fetches the qt6-base that Debian's own Qt was built from.
add_source_entry() {
    local list=/etc/apt/sources.list.d/hibinobori-src.sources
    [[ -e $list ]] && return 0
    if [[ -e /etc/apt/sources.list.d/debian.sources ]]; then
        sed 's/^Types: .*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${sudo_cmd[@]}" tee "$list" >/dev/null
    else
        grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
            "${sudo_cmd[@]}" tee "${list%.sources}.list" >/dev/null
    fi
    "${sudo_cmd[@]}" apt-get update -q
}

qt_options=(
    -DCMAKE_BUILD_TYPE=Release
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    # Qt's own copies, not the build machine's Linux libraries.
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_png=OFF
    # What the program does not use.
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_icu=OFF -DFEATURE_vulkan=OFF -DFEATURE_zstd=OFF -DFEATURE_direct2d=OFF
    -DFEATURE_jpeg=OFF
    # Debian's +dfsg source drops the Wintab headers the tablet support needs.
    -DFEATURE_tabletevent=OFF
)

qt_version() { dpkg-query -W -f='${Version}' qt6-base-dev-tools; }

qt_prefix() {
    local key
    key="$( (qt_version; printf '%s\n' "${qt_options[@]}"; cat "$toolchain";
             x86_64-w64-mingw32-g++-posix --version | head -1) | sha256sum | cut -c1-12)"
    echo "$cache/qt-$(qt_version | sed 's/[+~].*//')-$key"
}

build_qt() {
    local prefix
    prefix="$(qt_prefix)"
    if [[ -e $prefix/.complete ]]; then
        echo "$prefix"
        return 0
    fi
    add_source_entry
    local work="$cache/work"
    "${sudo_cmd[@]}" mkdir -p "$work"
    "${sudo_cmd[@]}" chown "$(id -u):$(id -g)" "$cache" "$work"
    # The same version as the host tools that run during the build.
    local version source
    version="$(qt_version)"
    source="$work/qt6-base-${version%-*}"
    if [[ ! -d $source ]]; then
        (cd "$work" && apt-get source -q "qt6-base=$version" >&2)
    fi
    local build="$work/build-${prefix##*/}"
    echo "Building Qt for Windows from $source into $prefix" >&2
    local started=$SECONDS
    cmake -S "$source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}" >&2
    nice -n 10 cmake --build "$build" -j"$(nproc)" >&2
    cmake --install "$build" >&2
    touch "$prefix/.complete"
    echo "Qt built in $(((SECONDS - started) / 60)) min" >&2
    rm -rf "$build"
    echo "$prefix"
}

install_packages
qt="$(build_qt)"
((only_qt)) && { echo "$qt"; exit 0; }
