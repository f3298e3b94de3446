#!/usr/bin/env bash
# The host's start-up under Wine, with the stand-in runtime: milliseconds from the process's
# creation to the loader being loaded, the environment request, Navigate, the first answered
# request and the window being shown, for an app without a bundle and one with 10,000 files,
# beside a trivial window's start. Prints one table of medians. See bench/README.md.
#
# usage: bench/startup.sh [ROUNDS]   (default 9; builds in build/windows, as scripts/test does)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps >/dev/null
windows=build/windows
cmake -S . -B "$windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$windows" --target vandrel-host test_webview2_runtime startup_probe \
      trivial_window >/dev/null
# wine-run takes Windows paths or Unix ones; the probe gets Unix ones through Z:.
"$windows/wine-run" "$windows/bin/startup_probe.exe" "$PWD/$windows/bin/vandrel-host.exe" \
    "$PWD/$windows/bin/testruntime/WebView2Loader.dll" "$PWD/$windows/bin/trivial_window.exe" \
    "${1:-9}"
