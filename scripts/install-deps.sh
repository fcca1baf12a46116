#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# the machine lacks. Usage: scripts/install-deps.sh [build|test|package]
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
          fonts-ipafont-gothic qt6-translations-l10n)
case "${1:-build}" in
    test)
        packages+=(xvfb xauth x11-utils xdotool faketime libfaketime imagemagick
                   desktop-file-utils appstream dpkg-dev python3 locales dbus-daemon) ;;
    package) packages+=(dpkg-dev) ;;  # cpack's dependency list: dpkg-shlibdeps
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
