#!/usr/bin/env bash
# A release zip on its own: unpacked into a fresh folder and a fresh prefix,
# its host answers --version and list, every PE file carries this version
# and no link time (and, in a signed zip, a signature osslsigncode accepts),
# its README is the unpacked zip's (every path it names is there, the
# compiler is the zip's own), the host sample compiles against include/,
# runs an action and, outside bin/, says what it needs, and the demo
# runs from the zip: plans with their rollback through the zip's host, and
# packages built with wixl from its VerrandCA.dll and examples.
set -u
top=$1 build=$2 arch=$3 zips=$4 version=$5 actions=$6
source "$top/scripts/lib.sh"
build=$2
source "$top/tests/support/checks.sh"
use_test_prefix "release_$(basename "$zips")"
# The unpacked zip and what the test makes lie inside the prefix's folder,
# removed with it.
work=$WINEPREFIX/verrand-release
mkdir -p "$work"
unset WINEPATH
bits=64
[ "$arch" = i686 ] && bits=32
name=verrand-$version-win$bits
unzip -q "$zips/$name.zip" -d "$work"
release=$work/$name
drive_c=$WINEPREFIX/drive_c

# Runs a program of the zip; its output, without carriage returns, in out.
run() { out=$(wine "$@"); rc=$?; out=$(tr -d '\r' <<<"$out"); }
run "$release/bin/verrand-host.exe" --version
expect "--version names this version and architecture" '[ $rc -eq 0 ] && [ "$out" = "verrand-host $version ($arch)" ]'
run "$release/bin/verrand-host.exe" list
expect "list from the zip names exactly the built actions" \
    '[ $rc -eq 0 ] && [ "$(cut -d" " -f1 <<<"$out")" = "$(tr , "\n" <<<"$actions")" ]'

# The header's TimeDateStamp, at 8 bytes into the PE header.
pe_time() { od -An -tu4 -j $(($(od -An -tu4 -j 60 -N 4 "$1") + 8)) -N 4 "$1" | tr -d ' '; }
# A text of the version resource: the UTF-16 string after its key.
version_text() { strings -el "$1" | grep -x -A1 "$2" | sed -n 2p; }
for file in "$release"/bin/* "$release"/msi/* "$release"/nsis/*/*; do
    shipped=${file#"$release"/}
    expect "$shipped: no link time" '[ "$(pe_time "$file")" = 0 ]'
    if [ -f "$zips/cert.pem" ]; then
        expect "$shipped: signed" \
            'osslsigncode verify -CAfile "$zips/cert.pem" -in "$file" 2>&1 | grep -qx "Signature verification: ok"'
    fi
done
nsis_kind=amd64-unicode
[ "$arch" = i686 ] && nsis_kind=x86-unicode
for shipped in bin/Verrand.dll bin/Mossel.dll bin/Brunlow.dll bin/verrand-host.exe msi/VerrandCA.dll \
    nsis/$nsis_kind/VerrandNsis.dll; do
    file=$release/$shipped
    expect "$shipped: version resource of $version" \
        '[ "$(version_text "$file" FileVersion)" = "$version" ] && [ "$(version_text "$file" ProductVersion)" = "$version" ] &&
         [ "$(version_text "$file" ProductName)" = Verrand ]'
done
expect "the shipped README names this version" '[ "$(head -n1 "$release/README.md")" = "# Verrand $version" ]'
# The README is the unpacked zip's: every path it names under the zip's
# folders (or the repository's scripts/ and build/) is in the zip, or made
# by its own commands; printed one a line.
named_paths() { # readme root
    python3 - "$1" "$2" <<'PY'
import os, re, sys
readme, root = sys.argv[1], sys.argv[2]
made = {"bin/HostSample.exe", "bin/CSample.exe"}
top = r"(?:scripts|build|bin|msi|nsis|include|lib|examples|docs|LICENSES)"
for match in re.finditer(r"(?<![\w.\\/-])(?:\.\.[\\/])*(" + top + r"[\\/][^\s`\"'()<>\[\]|,;*]*)", open(readme).read()):
    path = match.group(1).replace("\\", "/").rstrip(".:").rstrip("/")
    state = "made" if path in made else "in-zip" if os.path.exists(os.path.join(root, path)) else "MISSING"
    print(state, path)
PY
}
readme_paths=$(named_paths "$release/README.md" "$release")
echo "$readme_paths" | sed 's/^/    README names: /'
expect "the README names only paths the zip has or its commands make" \
    '! grep -q "^MISSING" <<<"$readme_paths" && grep -qx "in-zip bin/verrand-host.exe" <<<"$readme_paths" &&
     grep -qx "in-zip examples/demo.json" <<<"$readme_paths" && grep -qx "in-zip docs/msi.md" <<<"$readme_paths"'
expect "the same check refuses the repository's README (scripts/, build/)" \
    'named_paths "$top/README.md" "$release" | grep -q "^MISSING scripts/"'
other_arch=x86_64
[ "$arch" = i686 ] || other_arch=i686
expect "the README builds with the posix compiler of the zip's architecture, and names no other" \
    'grep -qF "$arch-w64-mingw32-g++-posix -std=c++17" "$release/README.md" &&
     ! grep -q "$other_arch-w64-mingw32-\|mingw32-g++ \|@[A-Z_]*@" "$release/README.md"'
for file in "$release"/bin/lib*.dll; do
    expect "LICENSES/ covers $(basename "$file")" 'grep -qF "$(basename "$file")" "$release/LICENSES/README.md"'
done
expect "the debug zip holds a debug file for every binary in bin/" \
    '[ "$(unzip -Z1 "$zips/$name-debug.zip" | sort)" = "$(cd "$work" && ls "$name"/bin/* | sed "s/$/.debug/" | sort)" ]'

# The host sample, compiled with only the zip's include/ and Boost's headers.
mkdir -p "$work/boost"
ln -s /usr/include/boost "$work/boost/boost"
"$arch-w64-mingw32-g++-posix" -std=c++17 -municode -I "$release/include" -I "$work/boost" \
    "$release/examples/host-sample/HostSample.cpp" -o "$release/bin/HostSample.exe"; rc=$?
expect "the host sample compiles" '[ $rc -eq 0 ]'
run "$release/bin/HostSample.exe" EnsureFolderExists 'FolderName=C:\verrand sample\a\b'
expect "the sample runs an action and prints its lines and status" \
    '[ $rc -eq 0 ] && [ "$(wc -l <<<"$out")" = 2 ] && grep -qx "\[info\] Creating folder: C:.verrand sample.a.b" <<<"$out" &&
     grep -qx "EnsureFolderExists returned 0" <<<"$out"'
expect "the action made the folder" '[ -d "$drive_c/verrand sample/a/b" ]'
run "$release/bin/HostSample.exe" EnsureFolderExists
expect "an absent argument is an empty text: refused with an error line" \
    '[ $rc -eq 1 ] && grep -q "^\[error\] .*FolderName" <<<"$out" && grep -qx "EnsureFolderExists returned 1" <<<"$out"'
# Outside bin/, with the mingw runtime on the PATH but not Verrand.dll:
# one line that says where to run it, and a failing status; with bin/ on
# the PATH it runs.
mkdir -p "$work/elsewhere" "$work/runtime"
cp "$release/bin/HostSample.exe" "$work/elsewhere/"
cp "$release"/bin/lib{stdc++-6,gcc_s_*,winpthread-1}.dll "$work/runtime/"
out=$(WINEPATH=$(winepath -w "$work/runtime") wine "$work/elsewhere/HostSample.exe" EnsureFolderExists 2>&1); rc=$?
out=$(tr -d '\r' <<<"$out")
expect "outside bin/ the sample says in one line what it needs and fails" \
    '[ $rc -eq 2 ] && [ "$(wc -l <<<"$out")" = 1 ] &&
     grep -q "^HostSample: cannot load Verrand.dll (error 126): run HostSample.exe from the release.s bin. folder, or with bin. on the PATH" <<<"$out"'
out=$(WINEPATH=$(winepath -w "$release/bin") wine "$work/elsewhere/HostSample.exe" EnsureFolderExists 'FolderName=C:\verrand sample\elsewhere' 2>&1)
rc=$?
expect "with bin/ on the PATH it runs from anywhere" '[ $rc -eq 0 ] && [ -d "$drive_c/verrand sample/elsewhere" ]'

# The C sample, compiled as C with only the zip's include/ and lib/.
"$arch-w64-mingw32-gcc-posix" -std=c99 -municode -I "$release/include" "$release/examples/c-sample/CSample.c" \
    "$release/lib/Verrand.dll.a" -o "$release/bin/CSample.exe"; rc=$?
expect "the C sample compiles with the mingw import library" '[ $rc -eq 0 ]'
run "$release/bin/CSample.exe" EnsureFolderExists 'FolderName=C:\verrand c sample\a'
expect "the C sample runs an action through the C interface" \
    '[ $rc -eq 0 ] && grep -qx "\[info\] Creating folder: C:.verrand c sample.a" <<<"$out" &&
     grep -qx "EnsureFolderExists returned 0" <<<"$out" && [ -d "$drive_c/verrand c sample/a" ]'
# Every function of the C interface has its import in a library.
imports_all() { # library
    local f
    for f in VerrandRunAction VerrandRunPlan VerrandActionCount VerrandActionAt; do
        "$arch-w64-mingw32-nm" "$1" | grep -q "__imp__\?$f\(@[0-9]*\)\?\$" || return 1
    done
}
expect "both import libraries have every function of the C interface" \
    'imports_all "$release/lib/Verrand.lib" && imports_all "$release/lib/Verrand.dll.a"'

# The NSIS example, built by makensis from the zip's examples and plugin,
# installed silently and removed by its uninstaller.
if command -v makensis >/dev/null; then
    amd64=()
    [ "$arch" = i686 ] || amd64=(-DAMD64)
    # As the README has it: in examples/nsis/, the plugin found from there.
    (cd "$release/examples/nsis" && makensis -V2 "-DPLUGIN_DIR=../../nsis/$nsis_kind" "${amd64[@]}" \
        "-DOUTFILE=$work/notes-setup.exe" notes.nsi >/dev/null); rc=$?
    expect "the NSIS example builds from the zip" '[ $rc -eq 0 ]'
    program_files="Program Files (x86)"
    [ "$arch" = i686 ] || program_files="Program Files"
    notes="$drive_c/$program_files/Verrand NSIS Notes"
    run "$work/notes-setup.exe" /S /LICENSEKEY=zip-key
    expect "its installer runs the plugin's plan" '[ $rc -eq 0 ] && tr -d "\r" <"$notes/verrand-install.log" | grep -qx "== step 8 of 8: RunCommand"'
    # The uninstaller runs a copy of itself (see tests/nsis/nsis_example_test.sh).
    run "$notes/uninst.exe" /S
    wineserver -w
    expect "its uninstaller removes it" '[ $rc -eq 0 ] && [ ! -e "$notes" ]'
fi

wineserver -k 2>/dev/null
out=$(VERRAND_DEMO_RELEASE=$release VERRAND_DEMO_PREFIX=$work/demo VERRAND_BUILD=$build VERRAND_ARCH=$arch \
    "$top/scripts/demo" 2>&1); rc=$?
echo "$out" | sed 's/^/    demo: /'
expect "the demo runs from the zip: plans, rollback, packages built from it" '[ $rc -eq 0 ]'
checks_passed
