#!/usr/bin/env bash
# Builds the program for 64-bit Windows on Debian 12 and packages it.
#   scripts/build-windows.sh            dist/hibinobori-X.Y.Z-win64.zip and
#                                       dist/hibinobori-X.Y.Z-setup.exe
#   scripts/build-windows.sh --qt-only  only the Qt for Windows (cached)
# Qt is built once from Debian's own qt6-base source with MinGW-w64 into a
# cache outside the checkout ($HIBI_QT_CACHE, default /var/cache/hibinobori),
# keyed by Qt's version and the options below; later runs reuse it.
set -euo pipefail
# A failure inside $(...) stops the script too, not just the substitution.
shopt -s inherit_errexit
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
    # Without OpenGL, the Windows platform plugin must not pick its GL at run time;
    # without Direct2D, Qt builds no DirectWrite 3 font database for it to use.
    -DFEATURE_dynamicgl=OFF -DFEATURE_directwrite3=OFF
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

# The program, for Windows.
version="$(sed -n 's/^project(hibinobori VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
if [[ -z "${SOURCE_DATE_EPOCH:-}" ]]; then
    # The latest release in CHANGELOG.md, as for the .deb.
    release="$(sed -n 's/^## [0-9.]* (\([0-9-]*\))$/\1/p' "$root/CHANGELOG.md" | head -1)"
    SOURCE_DATE_EPOCH="$(date -u -d "$release" +%s)"
fi
export SOURCE_DATE_EPOCH
build="$root/build-win-release"
"$qt/bin/qt-cmake" -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DHIBI_BUILD_TESTS=OFF -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$build" --target clean >/dev/null
cmake --build "$build" --target hibinobori -j"$(nproc)" >/dev/null

# The folder the zip holds: it runs where it is unpacked.
name="hibinobori-$version-win64"
stage="$build/stage/$name"
rm -rf "$build/stage"
mkdir -p "$stage"/{platforms,styles,translations,fonts,licenses}
x86_64-w64-mingw32-strip -o "$stage/hibinobori.exe" "$build/src/hibinobori.exe"
for module in Core Gui Widgets; do
    cp "$qt/bin/Qt6$module.dll" "$stage/"
done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp /usr/share/qt6/translations/qtbase_ja.qm "$stage/translations/"
for runtime in libstdc++-6.dll libgcc_s_seh-1.dll libssp-0.dll; do
    cp "$(x86_64-w64-mingw32-g++-posix -print-file-name="$runtime")" "$stage/"
done
cp /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$stage/"
# IPA fonts for a Windows without a Japanese gothic of its own; they keep
# the widths of the faces the windows were laid out for.
cp /usr/share/fonts/opentype/ipafont-gothic/{ipag,ipagp}.ttf "$stage/fonts/"
# Qt looks for its plugins and translations beside the program.
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$stage/qt.conf"

crlf() { sed 's/$/\r/'; }
crlf <"$root/LICENSE" >"$stage/LICENSE.txt"
{
    echo "Qt 6 (Core, Gui, Widgets and their plugins) is used under the GNU Lesser"
    echo "General Public License version 3, below, with the GNU GPL version 3 it"
    echo "refers to. The DLLs were built unmodified from Debian's source package"
    echo "qt6-base $(qt_version), https://deb.debian.org/debian/pool/main/q/qt6-base/"
    echo "(also https://download.qt.io/archive/qt/6.4/6.4.2/submodules/). You may"
    echo "replace them with your own build of the same version."
    echo
    cat /usr/share/common-licenses/LGPL-3
    echo
    cat /usr/share/common-licenses/GPL-3
} | crlf >"$stage/licenses/Qt-LGPL-3.txt"
crlf </usr/share/doc/fonts-ipafont-gothic/copyright >"$stage/licenses/IPA-Font.txt"
{
    echo "libstdc++, libgcc and libssp: GPL 3 with the GCC Runtime Library Exception."
    echo "libwinpthread: the MinGW-w64 licence. From Debian's MinGW-w64 packages."
    echo
    cat /usr/share/doc/gcc-mingw-w64-base/copyright
    echo
    cat /usr/share/doc/mingw-w64-common/copyright
} | crlf >"$stage/licenses/MinGW-runtime.txt"
{
    printf '\xEF\xBB\xBF'
    sed "s/@VERSION@/$version/" "$root/packaging/windows/readme-ja.txt" | crlf
} >"$stage/はじめにお読みください.txt"

# Every DLL the program or a DLL imports is in the folder or is Windows' own.
system_dlls='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|comdlg32|winmm|ws2_32|uxtheme|dwmapi|imm32|version|netapi32|userenv|shlwapi|uuid|winspool\.drv|wtsapi32|msvcrt|shcore|d2d1|setupapi|dwrite|d3d9|d3d11|dxgi|authz|mpr|api-ms-win-.*)\.dll$'
missing=0
while IFS= read -r module; do
    while IFS= read -r import; do
        lower="${import,,}"
        if [[ ! $lower =~ $system_dlls ]] &&
            ! find "$stage" -maxdepth 1 -iname "$import" | grep -q .; then
            echo "missing: $import, imported by ${module#"$stage"/}" >&2
            missing=1
        fi
    done < <(x86_64-w64-mingw32-objdump -p "$module" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$stage" -iname '*.exe' -o -iname '*.dll')
((missing == 0)) || exit 1

# The same bytes from the same commit: fixed times, a sorted list, no extra
# fields, UTF-8 names marked as such for Explorer.
dist="$root/dist"
mkdir -p "$dist"
find "$build/stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
zip_file="$dist/$name.zip"
rm -f "$zip_file"
(cd "$build/stage" && find "$name" -print | LC_ALL=C sort |
    TZ=UTC zip -q -X -D -UN=UTF8 "$zip_file" -@)

# The installer: a list of the files it writes and removes.
install_list="$build/stage-install.nsh"
remove_list="$build/stage-remove.nsh"
: >"$install_list"
: >"$remove_list"
while IFS= read -r dir; do
    rel="${dir#"$stage"}"
    rel="${rel#/}"
    echo "SetOutPath \"\$INSTDIR${rel:+\\${rel//\//\\}}\"" >>"$install_list"
    while IFS= read -r file; do
        echo "File \"$file\"" >>"$install_list"
        frel="${file#"$stage"/}"
        echo "Delete \"\$INSTDIR\\${frel//\//\\}\"" >>"$remove_list"
    done < <(find "$dir" -maxdepth 1 -type f | LC_ALL=C sort)
done < <(find "$stage" -type d | LC_ALL=C sort)
while IFS= read -r dir; do
    rel="${dir#"$stage"/}"
    echo "RMDir \"\$INSTDIR\\${rel//\//\\}\"" >>"$remove_list"
done < <(find "$stage" -mindepth 1 -type d | LC_ALL=C sort -r)
setup="$dist/hibinobori-$version-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DOUTFILE="$setup" \
    -DFILE_LIST="$install_list" -DREMOVE_LIST="$remove_list" \
    "$root/packaging/windows/installer.nsi" >&2
ls -l "$zip_file" "$setup"
