#!/usr/bin/env bash
# The export and import tables of the custom-action DLL. Under Wine a missing
# or decorated export, or a DLL the installer cannot find beside the
# temporary copy, only makes the action silently skipped, so the tables are
# checked here: the exports are exactly the plain action names Verrand.dll
# exports, SetCustomActionData and RemoveStateFolder, and every imported DLL
# is a system DLL. With a fourth argument, the same for that DLL (the NSIS
# plugin), whose exports are exactly the comma-separated fifth argument.
set -euo pipefail
objdump=$1 dll=$2 product=$3 plugin=${4:-} plugin_exports=${5:-}

exports() { "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p'; }
# Verrand.dll's actions (its exports without the decorated C++ names and
# its C interface, Verrand...), the entry that builds the CustomActionData
# of a package's plan steps and the one that removes their shared state
# folder.
actions=$(exports "$product" | grep -v '^_Z' | grep -v '^Verrand')
expected=$( (echo "$actions"; echo SetCustomActionData; echo RemoveStateFolder) | sort)
actual=$(exports "$dll" | sort)
failed=0
if [ "$expected" != "$actual" ] || [ "$(echo "$actions" | wc -l)" -ne 40 ]; then
    echo "exports differ from Verrand.dll's 40 actions, SetCustomActionData and RemoveStateFolder:"
    diff <(echo "$expected") <(echo "$actual") || true
    failed=1
fi

if [ -n "$plugin" ] && [ "$(exports "$plugin" | sort)" != "$(tr , '\n' <<<"$plugin_exports" | sort)" ]; then
    echo "$plugin exports $(exports "$plugin" | tr '\n' ' ')instead of $plugin_exports"
    failed=1
fi

system='^(ntdll|kernel32|advapi32|user32|shell32|ole32|oleaut32|shlwapi|msi|msvcrt|ws2_32|iphlpapi|gdi32|version|rpcrt4|userenv|bcrypt|secur32)\.dll$'
imports=$(for file in "$dll" $plugin; do "$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p'; done | tr 'A-Z' 'a-z' | sort -u)
if [ -z "$imports" ]; then
    echo "no import table found"
    failed=1
fi
for name in $imports; do
    if ! [[ $name =~ $system ]]; then
        echo "imports a DLL that is not a system DLL: $name"
        failed=1
    fi
done
echo "exports: $(echo $actual)"
echo "imports: $(echo $imports)"
exit $failed
