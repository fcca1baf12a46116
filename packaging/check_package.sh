#!/usr/bin/env bash
# Builds the Debian package and checks it. Installs system packages: run it as
# root on a Debian 12 machine you may change, not from the test suite.
#
#   packaging/check_package.sh [--build-dir DIR] [--no-install] [--fresh]
#
#  1. builds the package with scripts/package.sh (default build-pkg);
#  2. dpkg-deb -I / -c: control fields, dependencies, the file list and modes;
#     lintian, which must print no error and no warning;
#  3. dpkg -x into a throwaway root: the same files, the program hardened and
#     stripped, desktop-file-validate, appstreamcli validate-tree, and the menu
#     entry starting the program in HOME (packaging/test_launch.sh, offscreen);
#  4. unless --no-install: apt-get install ./<deb> on this machine, the program
#     started under Xvfb with the xcb plugin (packaging/smoke_installed.sh), then
#     apt-get remove;
#  5. with --fresh: the same in a new minimal Debian 12 root made by debootstrap,
#     where apt-get install --no-install-recommends ./<deb> has to bring in
#     every dependency itself (no test tool is installed before the checks of
#     the libraries, the font, the command line and an offscreen start).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-pkg"
install_here=1
fresh=0
while (($#)); do
    case "$1" in
        --build-dir) build="$(realpath -m "$2")"; shift 2 ;;
        --no-install) install_here=0; shift ;;
        --fresh) fresh=1; shift ;;
        *) echo "usage: $0 [--build-dir DIR] [--no-install] [--fresh]" >&2; exit 2 ;;
    esac
done
app_id=io.github.hibinobori.Hibinobori

step() { printf '\n=== %s\n' "$*"; }
die() { echo "check_package: $*" >&2; exit 1; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# --- Tools ---------------------------------------------------------------------
tools=(dpkg-dev file binutils lintian desktop-file-utils appstream)
((install_here)) && tools+=(xvfb xauth xdotool x11-utils libglib2.0-bin imagemagick)
((fresh)) && tools+=(debootstrap)
missing=()
for package in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    [[ $(id -u) -eq 0 ]] || die "missing ${missing[*]}; run as root or install them"
    step "Installing the tools: ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# --- 1. Build the package ----------------------------------------------------------
step "Building the package in $build"
"$root/scripts/package.sh" "$build"
debs=("$build"/hibinobori_*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || die "cpack made no hibinobori_*.deb in $build"
deb="${debs[0]}"
version="$(sed -n 's/^project(hibinobori VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
arch="$(dpkg --print-architecture)"
[[ "$(basename "$deb")" == "hibinobori_${version}_${arch}.deb" ]] ||
    fail "package file is $(basename "$deb"), expected hibinobori_${version}_${arch}.deb"
echo "package: $deb ($(stat -c %s "$deb") bytes)"

# --- 2. Inspect it -----------------------------------------------------------------
step "dpkg-deb -I"
dpkg-deb -I "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == hibinobori ]] || fail "Package: $(field Package)"
[[ "$(field Version)" == "$version" ]] || fail "Version: $(field Version), project is $version"
[[ "$(field Architecture)" == "$arch" ]] || fail "Architecture: $(field Architecture)"
[[ "$(field Section)" == misc ]] || fail "Section: $(field Section)"
[[ -n "$(field Maintainer)" ]] || fail "no Maintainer"
field Description | grep -q '日々のぼり貯金' || fail "the Description has no Japanese line"
depends="$(field Depends)"
# One package name a line, without version constraints.
depends_names="$(sed -E 's/ *\([^)]*\)//g; s/, */\n/g' <<<"$depends")"
for needed in libqt6core6 libqt6gui6 libqt6widgets6 fonts-ipafont-gothic qt6-translations-l10n libc6 libstdc++6; do
    if grep -Fxq "$needed" <<<"$depends_names"; then
        ok "Depends names $needed"
    else
        fail "Depends lacks $needed: $depends"
    fi
done

# The xcb plugin ships in libqt6gui6; qt6-qpa-plugins holds only others.
grep -Fxq qt6-qpa-plugins <<<"$depends_names" && fail "Depends names qt6-qpa-plugins: $depends"

step "lintian"
lintian_output="$(lintian --fail-on none "$deb" 2>&1 | grep -v 'running with root privileges')" || true
if grep -Eq '^[EW]: ' <<<"$lintian_output"; then
    fail "lintian:"$'\n'"$lintian_output"
else
    ok "lintian: no error and no warning${lintian_output:+ ($lintian_output)}"
fi

step "dpkg-deb -c"
dpkg-deb -c "$deb" | tee "$build/deb-contents.txt"
expected="$(sed 's|^|./usr/|' "$root/packaging/installed_files.txt" | LC_ALL=C sort)"
files="$(awk '$1 !~ /^d/ {print $6}' "$build/deb-contents.txt" | LC_ALL=C sort)"
if [[ "$files" == "$expected" ]]; then
    ok "the package holds exactly the $(wc -l <<<"$expected") files of packaging/installed_files.txt"
else
    fail "the package's files differ from packaging/installed_files.txt:"$'\n'"$(diff <(echo "$expected") <(echo "$files") || true)"
fi
while read -r mode owner _ _ _ path _; do
    [[ "$mode" == d* ]] && continue
    [[ "$owner" == root/root ]] || fail "$path is owned by $owner"
    case "$path" in
        ./usr/bin/* | ./usr/libexec/hibinobori/*) want=-rwxr-xr-x ;;
        *) want=-rw-r--r-- ;;
    esac
    [[ "$mode" == "$want" ]] || fail "$path has mode $mode, expected $want"
done <"$build/deb-contents.txt"

# --- 3. Unpack it into a throwaway root -----------------------------------------
step "dpkg -x into a throwaway root"
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg -x "$deb" "$unpacked"
tree="$(cd "$unpacked" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)"
[[ "$tree" == "$(sed 's|^|usr/|' "$root/packaging/installed_files.txt" | LC_ALL=C sort)" ]] &&
    ok "unpacked tree matches" || fail "unpacked tree differs:"$'\n'"$tree"
if readelf -d "$unpacked/usr/bin/hibinobori" | grep -Eq 'R(UN)?PATH'; then
    fail "the program carries an RPATH: $(readelf -d "$unpacked/usr/bin/hibinobori" | grep -E 'R(UN)?PATH')"
else
    ok "no RPATH in usr/bin/hibinobori"
fi
program="$unpacked/usr/bin/hibinobori"
# Read whole before matching: grep -q would end a pipe early (pipefail).
dynamic="$(readelf -d "$program")" segments="$(readelf -lW "$program")"
symbols="$(readelf --dyn-syms -W "$program")" sections="$(readelf -SW "$program")"
grep -q 'FLAGS.*BIND_NOW' <<<"$dynamic" && grep -q GNU_RELRO <<<"$segments" &&
    ok "full RELRO (GNU_RELRO, BIND_NOW)" || fail "no full RELRO: $(grep FLAGS <<<"$dynamic")"
grep -q ' __stack_chk_fail@' <<<"$symbols" &&
    ok "stack protector (__stack_chk_fail)" || fail "no stack protector: __stack_chk_fail is not called"
grep -q '\.comment' <<<"$sections" && fail "usr/bin/hibinobori has a .comment section"
file "$unpacked/usr/bin/hibinobori" | grep -q ', stripped' &&
    ok "usr/bin/hibinobori is stripped" || fail "usr/bin/hibinobori is not stripped"
desktop-file-validate "$unpacked/usr/share/applications/$app_id.desktop" &&
    ok "desktop-file-validate" || fail "desktop-file-validate"
appstreamcli validate-tree --no-net "$unpacked" && ok "appstreamcli validate-tree" ||
    fail "appstreamcli validate-tree"
QT_QPA_PLATFORM=offscreen bash "$root/packaging/test_launch.sh" "$unpacked/usr" "$app_id" ||
    fail "packaging/test_launch.sh on the unpacked tree"

# --- 4. Install it on this machine -------------------------------------------------
if ((install_here)); then
    step "apt-get install ./$(basename "$deb") on this machine"
    [[ $(id -u) -eq 0 ]] || die "installing needs root; use --no-install"
    if dpkg-query -W -f='${Status}' hibinobori 2>/dev/null | grep -q "install ok installed"; then
        die "hibinobori is installed already; remove it first (apt-get remove hibinobori)"
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
    dpkg -s hibinobori | grep -E '^(Status|Version|Depends):'
    smoke_status=0
    bash "$root/packaging/smoke_installed.sh" "$app_id" "$build/screenshot-installed.png" ||
        smoke_status=$?
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -q hibinobori
    ((smoke_status == 0)) && ok "installed program started" || fail "smoke test of the installed program"
    [[ ! -e /usr/bin/hibinobori && ! -e /usr/share/applications/$app_id.desktop ]] &&
        ok "apt-get remove took the files away" || fail "files left after apt-get remove"
fi

# --- 5. Install it on a fresh Debian 12 ---------------------------------------------
if ((fresh)); then
    step "apt-get install ./$(basename "$deb") in a fresh Debian 12 root"
    [[ $(id -u) -eq 0 ]] || die "--fresh needs root"
    chroot_dir="$build/fresh-root"
    unmount_chroot() {
        for mount in proc dev/pts; do
            mountpoint -q "$chroot_dir/$mount" && umount "$chroot_dir/$mount"
        done
        return 0
    }
    trap 'unmount_chroot; rm -rf "$unpacked"' EXIT
    unmount_chroot
    # --one-file-system: never follow into a mount that was left behind.
    rm -rf --one-file-system "$chroot_dir"
    debootstrap --variant=minbase bookworm "$chroot_dir" http://deb.debian.org/debian >"$build/debootstrap.log" 2>&1 ||
        die "debootstrap failed; see $build/debootstrap.log"
    cp /etc/apt/sources.list.d/debian.sources "$chroot_dir/etc/apt/sources.list.d/" 2>/dev/null &&
        rm -f "$chroot_dir/etc/apt/sources.list" || true
    mount -t proc proc "$chroot_dir/proc"
    mkdir -p "$chroot_dir/dev/pts" && mount -t devpts devpts "$chroot_dir/dev/pts"
    cp "$deb" "$root/packaging/smoke_installed.sh" "$chroot_dir/tmp/"
    in_root() { chroot "$chroot_dir" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
                    DEBIAN_FRONTEND=noninteractive "$@"; }
    in_root apt-get update -q
    in_root dpkg-query -W -f='${binary:Package}\n' | LC_ALL=C sort >"$build/fresh-before.txt"
    # Without the Recommends: the package's own Depends must be enough.
    in_root apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" |
        tee "$build/fresh-install.log"
    in_root dpkg-query -W -f='${binary:Package}\n' | LC_ALL=C sort >"$build/fresh-after.txt"
    echo "apt-get install brought in $(comm -13 "$build/fresh-before.txt" "$build/fresh-after.txt" | wc -l) packages" \
         "(list: $build/fresh-after.txt less fresh-before.txt)"
    # Before any test tool is installed: every library of the program and of the
    # xcb plugin is there, the Japanese font is known, and it runs offscreen.
    for object in /usr/bin/hibinobori '/usr/lib/*/qt6/plugins/platforms/libqxcb.so'; do
        resolved="$(in_root sh -c "ldd $object" 2>&1)"  # the pattern expands in the root
        if grep -q 'not found' <<<"$resolved"; then
            fail "fresh root: $object lacks $(grep 'not found' <<<"$resolved" | tr -s ' \t' ' ')"
        else
            ok "fresh root: every library of $object is installed"
        fi
    done
    in_root fc-list : family | grep -q IPAGothic && ok "fresh root: IPAGothic is installed" ||
        fail "fresh root: IPAGothic is missing"
    in_root sh -c 'mkdir -p /tmp/h && cd /tmp/h && HOME=/tmp/h QT_QPA_PLATFORM=offscreen timeout 2 hibinobori; echo "exit $?"' \
        >"$build/fresh-offscreen.log" 2>&1 || true
    if [[ "$(tail -n 1 "$build/fresh-offscreen.log")" == "exit 124" ]]; then
        ok "fresh root: the program runs offscreen until stopped after 2 s"
    else
        fail "fresh root: offscreen run ended early: $(cat "$build/fresh-offscreen.log")"
    fi
    # The command line needs no display, and answers before any file is written.
    in_root sh -c 'cd /tmp/h && rm -f ./* && hibinobori --version && { hibinobori --frob 2>/dev/null; test $? = 2; } &&
                   { hibinobori; test $? = 1; } && test -z "$(ls -A)"' >"$build/fresh-options.log" 2>&1 &&
        ok "fresh root: $(head -n 1 "$build/fresh-options.log"), options answered without a display" ||
        fail "fresh root: the command line: $(cat "$build/fresh-options.log")"
    # Then the X server and the tools to look at it, and the real start.
    in_root apt-get install -y -q --no-install-recommends xvfb xauth xdotool x11-utils libglib2.0-bin >/dev/null
    in_root bash /tmp/smoke_installed.sh "$app_id" && ok "fresh root: installed program started" ||
        fail "fresh root: smoke test of the installed program"
    in_root apt-get remove -y -q hibinobori >/dev/null
    in_root test ! -e /usr/bin/hibinobori && ok "fresh root: apt-get remove took the program away" ||
        fail "fresh root: /usr/bin/hibinobori left after apt-get remove"
    unmount_chroot
    rm -rf --one-file-system "$chroot_dir"
fi

step "Result"
if ((failures)); then
    echo "check_package: $failures check(s) failed" >&2
    exit 1
fi
echo "check_package: all checks passed for $deb"
