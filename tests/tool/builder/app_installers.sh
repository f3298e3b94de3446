#!/usr/bin/env bash
# Makes the installers of two versions of one app with the Linux tool, for the Windows test
# InstalledApp: v1 (0.1.0, with www/old.txt) and v2 (0.2.0, without it), both with the stand-in
# loader, as WORK/v1-setup.exe and WORK/v2-setup.exe.
# Usage: app_installers.sh NATIVE_VANDREL HOST_EXE LOADER_DLL SOURCE_DIR WORK_FOLDER
set -euo pipefail
tool=$1 host=$2 loader=$3 source=$4 work=$5

rm -rf "$work"
mkdir -p "$work"
for version in 1 2; do
    app=$work/app$version
    cp -r "$source/examples/hello" "$app"
    python3 - "$app/package.json" "0.$version.0" <<'PY'
import json, sys
path, version = sys.argv[1], sys.argv[2]
settings = json.load(open(path))
settings.update(name="installed-hello", version=version, author="Vandrel Tests <t@example.com>")
settings["window"]["title"] = "Installed Hello"
json.dump(settings, open(path, "w"), indent=2)
PY
    [ "$version" = 1 ] && printf 'only in the first version' > "$app/www/old.txt"
    "$tool" build "$app" -o "$work/v$version" --installer --host "$host" --loader "$loader" ||
        { echo "FAILED: build of version $version" >&2; exit 1; }
done
[[ -f $work/v1-setup.exe && -f $work/v2-setup.exe ]] || { echo "FAILED: no installers" >&2; exit 1; }
