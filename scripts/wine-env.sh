# Sourced by the Windows scripts: a throw-away Wine to run the Windows build in.
#   wine_start QT_PREFIX   a fresh prefix and home in a temporary folder, an X
#                          display (Xvfb) unless one is given, the Qt and MinGW
#                          DLLs on Wine's PATH
#   wine_stop              ends what wine_start began and removes the folder
# Wine needs an X display even for Qt's offscreen platform: it makes hidden
# windows. It must not touch the real home: its prefix links Documents and the
# desktop there, and winemenubuilder writes menu entries into it.

wine_start() {
    local qt="$1"
    wine_folder="$(mktemp -d /tmp/hibi-wine.XXXXXX)"
    export HOME="$wine_folder/home" WINEPREFIX="$wine_folder/prefix" WINEARCH=win64
    export WINEDEBUG=-all
    # No menu entries, and no offer to install Mono or Gecko.
    export WINEDLLOVERRIDES="winemenubuilder.exe=;mscoree=;mshtml="
    mkdir -p "$HOME"
    wine_xvfb=""
    if [[ -z "${DISPLAY:-}" || "${HIBI_WINE_OWN_DISPLAY:-1}" == 1 ]]; then
        exec {display_fd}<> <(:)
        Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        wine_xvfb=$!
        local number=""
        read -r -t 20 number <&"$display_fd" || true
        exec {display_fd}>&-
        [[ -n $number ]] || { echo "Xvfb did not start" >&2; return 1; }
        export DISPLAY=":$number"
    fi
    mkdir -p "$WINEPREFIX"
    wineserver -p  # one server for every program of the run
    timeout 180 wine wineboot -i >/dev/null 2>&1
    local mingw_runtime
    mingw_runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
    WINEPATH="$(winepath -w "$qt/bin");$(winepath -w "$mingw_runtime");$(winepath -w /usr/x86_64-w64-mingw32/lib)"
    export WINEPATH
    QT_PLUGIN_PATH="$(winepath -w "$qt/plugins")"
    export QT_PLUGIN_PATH
}

wine_stop() {
    # Safe to call twice (an explicit stop, then the EXIT trap): what was
    # stopped is forgotten, and nothing here may fail under errexit.
    wineserver -k 2>/dev/null || true
    if [[ -n "${wine_xvfb:-}" ]]; then
        kill "$wine_xvfb" 2>/dev/null || true
    fi
    wait 2>/dev/null || true
    if [[ -n "${wine_folder:-}" ]]; then
        rm -rf "$wine_folder"
    fi
    wine_xvfb="" wine_folder=""
    return 0
}
