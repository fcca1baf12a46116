#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it in the current
# directory, where it keeps its ledger and goal files.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh" build
cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHIBI_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-release" --target hibinobori -j"$(nproc)"
exec "$root/build-release/src/hibinobori" "$@"
