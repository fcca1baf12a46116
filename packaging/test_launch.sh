#!/usr/bin/env bash
# Checks that the installed menu entry starts the program in the home directory.
#   test_launch.sh PREFIX APP_ID     (PREFIX: the usr folder of a tree installed
#                                     with the prefix /usr, e.g. under DESTDIR)
# First the launcher script against a stand-in program (working directory,
# arguments, which program it starts, what it does without a usable HOME), then
# the real program started by the menu entry's Exec line from another directory.
set -euo pipefail
prefix="$(cd "$1" && pwd)"
app_id="$2"
launcher="$prefix/libexec/hibinobori/hibinobori-launch"
entry="$prefix/share/applications/$app_id.desktop"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
work="$(mktemp -d)"
cleanup() {
    if [[ -n "${app_pid:-}" ]] && kill -0 "$app_pid" 2>/dev/null; then
        kill "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# --- The launcher with a stand-in program ------------------------------------
# The stand-in is installed where the launcher looks: bin/ of the same prefix.
mkdir -p "$work/stub/bin" "$work/stub/libexec/hibinobori" "$work/decoy" "$work/link" \
    "$work/my home" "$work/elsewhere"
cp "$launcher" "$work/stub/libexec/hibinobori/hibinobori-launch"
cat >"$work/stub/bin/hibinobori" <<'EOF'
#!/bin/sh
pwd -P
printf '%s\n' "$#" "$@"
EOF
printf '#!/bin/sh\necho decoy\n' >"$work/decoy/hibinobori"
chmod +x "$work/stub/bin/hibinobori" "$work/decoy/hibinobori"
ln -s "$work/stub/libexec/hibinobori/hibinobori-launch" "$work/link/hibinobori-launch"
home="$(cd "$work/my home" && pwd -P)"
expected="$(printf '%s\n' "$home" 2 "a b" "--c")"

for how in "$work/stub/libexec/hibinobori/hibinobori-launch" "$work/link/hibinobori-launch"; do
    output="$(cd "$work/elsewhere" && HOME="$work/my home" PATH="$work/decoy:$PATH" \
              "$how" "a b" --c)" || fail "$how exited with $?"
    if [[ "$output" != "$expected" ]]; then
        fail "$how printed:"$'\n'"$output"$'\n'"expected:"$'\n'"$expected"
    fi
done

if output="$(cd "$work/elsewhere" && HOME="$work/no such home" \
             "$work/stub/libexec/hibinobori/hibinobori-launch" 2>/dev/null)"; then
    fail "the launcher succeeded with a HOME that does not exist: $output"
elif [[ -n "$output" ]]; then
    fail "the launcher started the program with a HOME that does not exist: $output"
fi
if output="$(cd "$work/elsewhere" && env -u HOME \
             "$work/stub/libexec/hibinobori/hibinobori-launch" 2>/dev/null)"; then
    fail "the launcher succeeded without HOME: $output"
fi

# --- The real program, started the way the menu starts it --------------------
exec_line="$(sed -n 's/^Exec=//p' "$entry" | head -n 1)"
[[ -n "$exec_line" ]] || { fail "no Exec= line in $entry"; exit 1; }
# Field codes (%f, %U, ...) expand to nothing when no file is given.
read -ra exec_words <<<"$(sed -E 's/%[fFuUdDnNickvm]//g' <<<"$exec_line")"
# The entry names the launcher by its installed path, /usr/...: here under PREFIX.
[[ "${exec_words[0]}" == /usr/* ]] || fail "Exec= does not name the launcher by its path under /usr: $exec_line"
exec_words[0]="${prefix}${exec_words[0]#/usr}"

mkdir -p "$work/home" "$work/start"
real_home="$(cd "$work/home" && pwd -P)"
(cd "$work/start" && HOME="$work/home" exec "${exec_words[@]}") >"$work/app.log" 2>&1 &
app_pid=$!

# The launcher replaces itself with the program, so the process keeps its id.
program="$(readlink -f "$prefix/bin/hibinobori")"
for _ in $(seq 100); do
    [[ "$(readlink -f "/proc/$app_pid/exe" 2>/dev/null)" == "$program" ]] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ "$(readlink -f "/proc/$app_pid/exe" 2>/dev/null)" != "$program" ]]; then
    fail "'$exec_line' did not become $program; its output:"$'\n'"$(cat "$work/app.log")"
else
    cwd="$(readlink -f "/proc/$app_pid/cwd")"
    [[ "$cwd" == "$real_home" ]] || fail "the program runs in $cwd, not in the home directory $real_home"
    sleep 1
    kill -0 "$app_pid" 2>/dev/null ||
        fail "the program ended within a second of starting; its output:"$'\n'"$(cat "$work/app.log")"
    [[ -z "$(ls -A "$work/start")" ]] ||
        fail "files appeared in the directory the menu entry was started from: $(ls -A "$work/start")"
fi

if ((failures)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "launch OK: '$exec_line' runs $program in the home directory"
