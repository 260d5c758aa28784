#!/usr/bin/env bash
# A new author's check of the action reference: a plan and a package, each
# written from docs/actions.md alone, with five actions, run through
# scripts/host and Wine's msiexec; every effect the reference promises is
# looked for.
set -u
top=$1
build=$2
package=$3
source "$top/scripts/lib.sh"
use_test_prefix reference_check

failures=0 checks=0
expect() { # description, condition
    checks=$((checks + 1))
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
drive_c=$WINEPREFIX/drive_c/verrand-check
text() { tr -d '\r' <"$1" 2>/dev/null; }
value() { wine reg query 'HKCU\Software\Verrand Check' /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }

wine reg add 'HKCU\Software\Verrand Check' /v Folder /d 'C:\verrand-check\' /f >/dev/null 2>&1
out=$(VERRAND_BUILD=$build "$top/scripts/host" plan "$(winepath -w "$top/tests/reference/check/plan.json")"); rc=$?
echo "$out"
expect "the plan runs every step" '[ $rc -eq 0 ]'
expect "FormattedString expands the plan's properties" 'grep -qx "property FormattedString = Check Notes 2.4" <<<"$(tr -d "\r" <<<"$out")"'
expect "EnsureFolderExists made the folder with its parents" '[ -d "$drive_c/plan/logs" ]'
expect "RunCommandConditional compares without regard to case" '[ "$(text "$drive_c/plan/logs/formatted.txt")" = "Check Notes 2.4" ]'
expect "RunCommandOnNormalAndRepair ran the repair command" '[ "$(text "$drive_c/plan/logs/mode.txt")" = "repair" ]'
expect "MoveRegistry renamed the value" '[ "$(value DataFolder)" = "C:\\verrand-check\\" ] && [ -z "$(value Folder)" ]'

wine reg delete 'HKCU\Software\Verrand Check' /f >/dev/null 2>&1
status=$({ wine cmd /c msiexec /i "$(winepath -w "$package")" /qn '&' echo msiexec-status '%ERRORLEVEL%' 2>/dev/null ||
    true; } | tr -d '\r' | sed -n 's/^msiexec-status //p')
expect "the package installs" '[ "$status" = 0 ]'
expect "the immediate ProductAction_FormatString fed a deferred action" \
    '[ "$(text "$drive_c/package/logs/formatted.txt")" = "Verrand Check 1.0.0" ]'
expect "RunCommandOnNormalAndRepair ran the install command" '[ "$(text "$drive_c/package/logs/mode.txt")" = "install" ]'
expect "MoveRegistry renamed the value the package wrote" '[ "$(value DataFolder)" = "C:\\verrand-check\\" ] && [ -z "$(value Folder)" ]'

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
