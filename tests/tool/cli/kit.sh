#!/usr/bin/env bash
# Makes the Vandrel kit of one platform, unpacks it into a fresh folder, and builds
# examples/hello with the tool from there alone (the host beside it), as an app maker would.
# Usage: kit.sh windows|linux VERSION TOOL HOST_EXE LOADER_DLL SOURCE_DIR WORK_FOLDER [EMULATOR]
set -euo pipefail
platform=$1 version=$2 tool=$3 host=$4 loader=$5 source=$6 work=$7 emulator=${8:-}

fail() { echo "FAILED: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/fresh"
kit=$(bash "$source/scripts/make-kit" "$platform" "$version" "$tool" "$host" "$work/dist")
name=vandrel-$version-$platform-x64
if [ "$platform" = windows ]; then
    [[ $kit == */$name.zip ]] || fail "kit name: $kit"
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
        "$kit" "$work/fresh"
    unpacked=$work/fresh/$name/vandrel.exe
else
    [[ $kit == */$name.tar.gz ]] || fail "kit name: $kit"
    tar -C "$work/fresh" -xzf "$kit"
    unpacked=$work/fresh/$name/vandrel
fi
for file in vandrel-host.exe package.schema.json vandrel.js vandrel.d.ts README.md; do
    [ -f "$work/fresh/$name/$file" ] || fail "the kit has no $file"
done
[ -n "$(ls "$work/fresh/$name/licenses")" ] || fail "the kit has no licence texts"

run() { $emulator "$unpacked" "$@" | tr -d '\r'; }
said=$(run --version)
[ "$said" = "vandrel $version" ] || fail "--version says '$said'"
text=$(run build "$source/examples/hello" -o "$work/out" --loader "$loader") || fail "build: $text"
echo "$text"
grep -q "no problems found" <<<"$text" || fail "the check of the result: $text"
[ -f "$work/out/hello-vandrel.exe" ] || fail "no executable: $(ls "$work/out")"
cmp -s "$work/out/WebView2Loader.dll" "$loader" || fail "the loader differs"

# Without NSIS or osslsigncode on the machine, --installer and --sign say how to get them, and
# the earlier build stays as it was.
if [ "$platform" = windows ]; then
    before=$(ls -R "$work/out")
    for option in --installer "--sign=$work/none.pfx"; do
        if text=$(run build "$source/examples/hello" -o "$work/out" --loader "$loader" "$option" 2>&1); then
            fail "$option without its program: $text"
        fi
        grep -q "nsis.sourceforge.io\|signtool sign" <<<"$text" || fail "$option: $text"
    done
    [ "$(ls -R "$work/out")" = "$before" ] || fail "the earlier build changed"
    [ ! -e "$work/out-setup.exe" ] || fail "an installer was left"
fi
