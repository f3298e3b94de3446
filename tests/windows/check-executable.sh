#!/usr/bin/env bash
# Checks the tables of the built vandrel-host.exe: a 64-bit GUI executable that imports
# only Windows system DLLs and WebView2Loader.dll, exports exactly the two GPU
# preference variables (both set to 1), and carries the application manifest and the
# MAINICON icon group.
#
# Usage: check-executable.sh OBJDUMP EXE
#   OBJDUMP  a PE-aware objdump, e.g. x86_64-w64-mingw32-objdump
#   EXE      the executable to check
# Prints "executable tables: OK" and exits 0, or lists every fault and exits 1.

set -uo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 OBJDUMP EXE" >&2
    exit 2
fi
objdump=$1
exe=$2

if [[ ! -f $exe ]]; then
    echo "check-executable: no such file: $exe" >&2
    exit 1
fi

failures=()
fail() { failures+=("$*"); }

if ! headers=$("$objdump" -p "$exe" 2>&1); then
    echo "check-executable: '$objdump -p' failed on $exe:" >&2
    echo "$headers" >&2
    exit 1
fi

# --- Format and subsystem --------------------------------------------------------------

grep -q 'file format pei-x86-64' <<<"$headers" ||
    fail "not a PE x86-64 image: $(grep -m1 'file format' <<<"$headers")"
magic=$(awk '$1 == "Magic" { print $2; exit }' <<<"$headers")
[[ $magic == 020b ]] || fail "optional header magic is '${magic:-missing}', expected 020b (PE32+)"
subsystem=$(awk '$1 == "Subsystem" { print $2; exit }' <<<"$headers")
if [[ -z $subsystem ]] || (( 16#$subsystem != 2 )); then
    fail "subsystem is '${subsystem:-missing}', expected 2 (Windows GUI)"
fi

# --- Imports ---------------------------------------------------------------------------

allowed_dlls=(
    kernel32 user32 gdi32 shell32 shlwapi ole32 oleaut32 comctl32 urlmon gdiplus advapi32
    msvcrt api-ms-win-core-path-l1-1-0 webview2loader
)
mapfile -t imports < <(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$headers" | tr -d '\r')

is_allowed() {
    local base=${1,,}
    base=${base%.dll}
    local dll
    for dll in "${allowed_dlls[@]}"; do
        [[ $base == "$dll" ]] && return 0
    done
    return 1
}

if [[ ${#imports[@]} -eq 0 ]]; then
    fail "no imported DLLs found"
else
    has_loader=0
    for dll in "${imports[@]}"; do
        [[ ${dll,,} == webview2loader.dll ]] && has_loader=1
        is_allowed "$dll" || fail "imports a DLL that is not allowed: $dll"
    done
    (( has_loader )) || fail "does not import WebView2Loader.dll"
fi

# --- Exports ---------------------------------------------------------------------------
# objdump lists the export address table ("[ i] +base[ o] RVA Export RVA") and then the
# names ("[ i] Name"). Every entry must be a data export holding the 32-bit value 1.

image_base=$(awk '$1 == "ImageBase" { print $2; exit }' <<<"$headers")
mapfile -t export_rvas < <(
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] +base\[ *[0-9]*\] *\([0-9a-fA-F]*\) Export RVA.*/\1/p' <<<"$headers")
forwarders=$(grep -c 'Forwarder RVA' <<<"$headers")
mapfile -t export_names < <(
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
        sed -n 's/^[[:space:]]*\[ *[0-9]*\].*[[:space:]]\([^[:space:]]*\)[[:space:]]*$/\1/p')

expected_exports="AmdPowerXpressRequestHighPerformance NvOptimusEnablement"
actual_exports=$(printf '%s\n' "${export_names[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
actual_exports=${actual_exports% }
if [[ $actual_exports != "$expected_exports" ]]; then
    fail "exported names are '${actual_exports:-none}', expected exactly '$expected_exports'"
fi
(( forwarders == 0 )) || fail "the export table has $forwarders forwarded entries"
if [[ ${#export_rvas[@]} -ne 2 ]]; then
    fail "the export address table has ${#export_rvas[@]} entries, expected 2"
fi
if [[ -z $image_base ]]; then
    fail "no ImageBase in the headers"
else
    for rva in "${export_rvas[@]}"; do
        [[ -n $rva ]] || continue
        vma=$(( 16#$image_base + 16#$rva ))
        dump=$("$objdump" -s --start-address="$vma" --stop-address="$((vma + 4))" "$exe" 2>&1)
        section=$(sed -n 's/^Contents of section \(.*\):$/\1/p' <<<"$dump" | head -n1)
        hex=$(awk -v addr="$(printf '%x' "$vma")" \
            'BEGIN { addr = tolower(addr) } tolower($1) == addr { print $2; exit }' <<<"$dump")
        if [[ -z $section || ${#hex} -ne 8 ]]; then
            fail "the export at RVA 0x$rva has no stored contents (uninitialised data reads 0)," \
                "expected the value 1"
        elif [[ $section == .text ]]; then
            fail "the export at RVA 0x$rva is code in .text, expected a data variable"
        elif [[ ${hex,,} != 01000000 ]]; then
            fail "the export at RVA 0x$rva in $section holds bytes $hex, expected 01000000 (1)"
        fi
    done
fi

# --- Resources and delay imports (read straight from the file) -------------------------

python_out=$(python3 - "$exe" "${allowed_dlls[@]}" <<'PY' 2>&1
import struct
import sys
import xml.etree.ElementTree as ET

path = sys.argv[1]
allowed = set(sys.argv[2:])
data = open(path, "rb").read()
problems = []


def u16(off):
    return struct.unpack_from("<H", data, off)[0]


def u32(off):
    return struct.unpack_from("<I", data, off)[0]


pe = u32(0x3C)
if data[pe:pe + 4] != b"PE\0\0":
    print("no PE signature")
    sys.exit(0)
n_sections = u16(pe + 6)
opt = pe + 24
opt_size = u16(pe + 20)
if u16(opt) != 0x20B:
    print("the optional header is not PE32+")
    sys.exit(0)
n_dirs = u32(opt + 108)
directories = [struct.unpack_from("<II", data, opt + 112 + 8 * i) for i in range(n_dirs)]
sections = []
for i in range(n_sections):
    s = opt + opt_size + 40 * i
    vsize, vaddr, raw_size, raw_ptr = struct.unpack_from("<IIII", data, s + 8)
    sections.append((vaddr, max(vsize, raw_size), raw_ptr, raw_size))


def file_offset(rva):
    for vaddr, span, raw_ptr, raw_size in sections:
        if vaddr <= rva < vaddr + span:
            if rva - vaddr >= raw_size:
                raise ValueError("RVA 0x%x has no file data" % rva)
            return raw_ptr + rva - vaddr
    raise ValueError("RVA 0x%x is in no section" % rva)


def c_string(rva):
    off = file_offset(rva)
    return data[off:data.index(b"\0", off)].decode("ascii", "replace")


# Delay-loaded DLLs (objdump -p does not list them) obey the same list as imports.
if n_dirs > 13 and directories[13][1]:
    off = file_offset(directories[13][0])
    while True:
        attrs, name_rva = struct.unpack_from("<II", data, off)
        if name_rva == 0:
            break
        name = c_string(name_rva)
        base = name.lower()
        base = base[:-4] if base.endswith(".dll") else base
        if base not in allowed:
            problems.append("delay-loads a DLL that is not allowed: " + name)
        off += 32

# The resource tree: type -> name -> language -> data.
if n_dirs <= 2 or directories[2][1] == 0:
    print("there are no resources")
    sys.exit(0)
rsrc_rva = directories[2][0]
rsrc = file_offset(rsrc_rva)


def entries(dir_off):
    named, ids = struct.unpack_from("<HH", data, rsrc + dir_off + 12)
    result = []
    for i in range(named + ids):
        name, target = struct.unpack_from("<II", data, rsrc + dir_off + 16 + 8 * i)
        if name & 0x80000000:
            at = rsrc + (name & 0x7FFFFFFF)
            length = u16(at)
            key = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        else:
            key = name
        result.append((key, target))
    return result


def leaves(target):
    """Every (language, bytes) under a name entry."""
    out = []
    if not target & 0x80000000:
        return out
    for lang, leaf in entries(target & 0x7FFFFFFF):
        if leaf & 0x80000000:
            continue
        rva, size = struct.unpack_from("<II", data, rsrc + leaf)
        off = file_offset(rva)
        out.append((lang, data[off:off + size]))
    return out


tree = {}
for type_key, type_target in entries(0):
    names = {}
    if type_target & 0x80000000:
        for name_key, name_target in entries(type_target & 0x7FFFFFFF):
            names[name_key] = leaves(name_target)
    tree[type_key] = names

RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24

# The manifest: resource 1 (the one CreateProcess reads), well-formed, with the settings.
manifests = tree.get(RT_MANIFEST, {})
if 1 not in manifests or not manifests[1]:
    problems.append("no RT_MANIFEST resource with id 1 (found %s)" % sorted(map(str, manifests)))
else:
    text = manifests[1][0][1]
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        root = None
        problems.append("the manifest is not well-formed XML: %s" % e)
    if root is not None:
        V1 = "{urn:schemas-microsoft-com:asm.v1}"
        V3 = "{urn:schemas-microsoft-com:asm.v3}"
        COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
        WS2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
        WS2019 = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"

        def find_all(tag):
            return [e for e in root.iter() if e.tag == tag]

        if root.tag != V1 + "assembly":
            problems.append("the manifest root is %s, expected %sassembly" % (root.tag, V1))
        levels = [e.get("level") for e in find_all(V3 + "requestedExecutionLevel")]
        if levels != ["asInvoker"]:
            problems.append("manifest requestedExecutionLevel is %s, expected asInvoker" % levels)
        dpi = [(e.text or "").strip() for e in find_all(WS2005 + "dpiAware")]
        if [d.lower() for d in dpi] != ["true"]:
            problems.append("manifest dpiAware (2005 namespace) is %s, expected true" % dpi)
        acp = [(e.text or "").strip() for e in find_all(WS2019 + "activeCodePage")]
        if acp != ["UTF-8"]:
            problems.append("manifest activeCodePage (2019 namespace) is %s, expected UTF-8" % acp)
        oses = [(e.get("Id") or "").lower() for e in find_all(COMPAT + "supportedOS")]
        if "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" not in oses:
            problems.append("manifest lacks supportedOS {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
                            " (found %s)" % oses)

# The MAINICON group: 16, 32, 48 and 256 pixels, each pointing at a matching RT_ICON.
groups = tree.get(RT_GROUP_ICON, {})
main = [v for k, v in groups.items() if isinstance(k, str) and k.upper() == "MAINICON"]
if not main or not main[0]:
    problems.append("no RT_GROUP_ICON named MAINICON (found %s)" % sorted(map(str, groups)))
else:
    blob = main[0][0][1]
    reserved, kind, count = struct.unpack_from("<HHH", blob, 0)
    icons = tree.get(RT_ICON, {})
    sizes = []
    for i in range(count):
        w, h, colors, res, planes, bits, nbytes, icon_id = struct.unpack_from(
            "<BBBBHHIH", blob, 6 + 14 * i)
        size = w or 256
        sizes.append(size)
        if w != h:
            problems.append("MAINICON image %d is %dx%d, not square" % (i, w or 256, h or 256))
        image = icons.get(icon_id)
        if not image:
            problems.append("MAINICON image %d points at missing RT_ICON %d" % (i, icon_id))
            continue
        image = image[0][1]
        if len(image) != nbytes:
            problems.append("MAINICON image %d: RT_ICON %d has %d bytes, the group says %d"
                            % (i, icon_id, len(image), nbytes))
        if image[:8] == b"\x89PNG\r\n\x1a\n":
            actual = struct.unpack_from(">I", image, 16)[0]
        else:
            actual = struct.unpack_from("<i", image, 4)[0]
        if actual != size:
            problems.append("MAINICON image %d: the directory says %d pixels, RT_ICON %d"
                            " holds %d" % (i, size, icon_id, actual))
    if kind != 1 or sorted(sizes) != [16, 32, 48, 256]:
        problems.append("MAINICON lists images of %s pixels, expected exactly 16, 32, 48, 256"
                        % sorted(sizes))

for p in problems:
    print(p)
PY
)
python_status=$?
if (( python_status != 0 )); then
    fail "reading the resources failed: $python_out"
elif [[ -n $python_out ]]; then
    while IFS= read -r line; do fail "$line"; done <<<"$python_out"
fi

# --- Verdict ---------------------------------------------------------------------------

if (( ${#failures[@]} )); then
    echo "check-executable: $exe is wrong:" >&2
    for f in "${failures[@]}"; do echo "  - $f" >&2; done
    echo "imported DLLs: ${imports[*]:-none}" >&2
    echo "exports: ${actual_exports:-none}" >&2
    exit 1
fi
echo "executable tables: OK"
