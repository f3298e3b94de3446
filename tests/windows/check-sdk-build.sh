#!/usr/bin/env bash
# Builds the host against a stand-in of the official WebView2 SDK folder, which shares the two
# properties of the official WebView2.h that a MinGW-w64 build has to cope with: it includes
# "EventToken.h" (MinGW-w64 ships only eventtoken.h, and case matters here), and it defines every
# interface id itself, as EXTERN_C __declspec(selectany) const IID. Its declarations are the
# project's own, and its ids are those of webview2_iids.cpp in the SDK's form.
#   check-sdk-build.sh SOURCE_DIR TOOLCHAIN_FILE
set -euo pipefail
root=$1
toolchain=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sdk=$work/sdk
mkdir -p "$sdk"
{
    echo '#pragma once'
    echo '#include "EventToken.h"'
    echo '#include "win32/webview2/webview2_decl.h"'
    sed -e '/^\/\//d' -e '/^#include/d' \
        -e 's/^extern "C" const IID /EXTERN_C __declspec(selectany) const IID /' \
        "$root/src/win32/webview2/webview2_iids.cpp"
} > "$sdk/WebView2.h"
grep -q 'selectany' "$sdk/WebView2.h" || { echo "no interface ids in the stand-in header" >&2; exit 1; }
[ ! -e "$sdk/EventToken.h" ]

cmake -S "$root" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVANDREL_WEBVIEW2_SDK_INCLUDE_DIR="$sdk" >/dev/null
cmake --build "$work/build" --target vandrel-host -j 2 >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log"
    exit 1
}
[ -f "$work/build/bin/vandrel-host.exe" ]
echo "the host builds against the SDK's header"
