#!/usr/bin/env bash
# The NSIS example installer, built by makensis from examples/nsis/notes.nsi
# with this build's plugin, in a prefix of its own: installed silently, the
# machine compared with the snapshot of what it installs (installed.txt),
# the plan's lines in the install log with the licence key in none, removed
# by its uninstaller back to how the machine was; and the failing variant,
# whose setup plan fails at its last step, rolled back.
set -u
top=$1 build=$2 arch=$3
source "$top/scripts/lib.sh"
build=$2
source "$top/tests/support/checks.sh"
use_test_prefix nsis_example
unset WINEPATH
drive_c=$WINEPREFIX/drive_c
product="Verrand NSIS Notes"
key=NTS-2026-nsis-licence
program_files="Program Files (x86)"
[ "$arch" = i686 ] || program_files="Program Files"
installed=$drive_c/$program_files/$product
environment_key='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"

# Every file and folder of the product, the machine PATH's first entry and
# the product's uninstall entry, with the user's and the program files'
# folder names made plain.
snapshot() {
    (cd "$drive_c" && find . -ipath "*$product*" | LC_ALL=C sort) |
        sed -e "s|/users/$(id -un)/|/users/USER/|" -e "s|/$program_files/|/PROGRAMFILES/|"
    echo "PATH starts with $(wine reg query "$environment_key" /v PATH 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *PATH *REG_[A-Z_]* *//p' | cut -d';' -f1 | sed "s|$program_files|PROGRAMFILES|")"
    wine reg query "$uninstall_key" >/dev/null 2>&1 && echo "uninstall entry" || true
}
before=$(snapshot)

wine "$build/examples/nsis/notes-setup.exe" /S "/LICENSEKEY=$key"; rc=$?
expect "the installer ends with 0" '[ $rc -eq 0 ]'
after=$(snapshot)
expect "what it installed is the snapshot" '[ "$after" = "$(cat "$top/tests/nsis/installed.txt")" ]'
diff <(cat "$top/tests/nsis/installed.txt") <(echo "$after")
expect "the plan's licence registration ran with the key" \
    '[ "$(tr -d "\r " <"$installed/license.txt")" = "$key" ]'
expect "the plan wrote the install folder into the configuration file" \
    'grep -qF "value=\"C:\\$program_files\\$product\\\"" "$installed/config/app.config"'
log=$installed/verrand-install.log
expect "the plan's steps and lines are in the install log" \
    'tr -d "\r" <"$log" | grep -qx "== step 8 of 8: RunCommand" && grep -q "^Creating link" "$log"'
expect "the licence key is in no line of the log" '! grep -q "$key" "$log"'

# The uninstaller copies itself into the temporary folder and starts the
# copy, which can remove the original (started with _?=INSTDIR it runs in
# place, but Wine puts quotes around an argument with blanks, where the
# uninstaller wants none); the test waits for every process of the prefix.
wine "$installed/uninst.exe" /S; rc=$?
wineserver -w
expect "the uninstaller started" '[ $rc -eq 0 ]'
removed=$(snapshot)
expect "the removal plan and the uninstaller left the machine as it was" '[ "$removed" = "$before" ]'
diff <(echo "$before") <(echo "$removed")

wine "$build/examples/nsis/notes-setup-failing.exe" /S "/LICENSEKEY=$key"; rc=$?
expect "the failing installer ends with its plan's status, 1" '[ $rc -eq 1 ]'
rolled_back=$(snapshot)
expect "its plan rolled back and the installer took its files: the machine is as it was" \
    '[ "$rolled_back" = "$before" ]'
diff <(echo "$before") <(echo "$rolled_back")

checks_passed
