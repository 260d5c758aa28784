#!/usr/bin/env bash
# verrand-host from a Linux shell, through scripts/host: output formats, exit
# statuses and usage errors.
set -u
top=$1
source "$top/scripts/lib.sh"
build=$2
use_test_prefix host_cli

source "$top/tests/support/checks.sh"
host() { VERRAND_BUILD=$build "$top/scripts/host" "$@" 2>"$WINEPREFIX/stderr"; }
sample=$(winepath -w "$build/tests/SampleActions.dll")

# JSON round trip with a real action against the registry.
wine reg add 'HKLM\Software\VerrandHostTest' /v Gone /d x /f /reg:32 >/dev/null 2>&1
out=$(host --json run DeleteRegistryKey Root=HKEY_LOCAL_MACHINE 'Path=Software\VerrandHostTest' Value=Gone); rc=$?
expect "json run returns the action's status" '[ $rc -eq 0 ]'
expect "json result event" "grep -qx '{\"event\":\"result\",\"action\":\"DeleteRegistryKey\",\"status\":0}' <<<\"\$out\""
out=$(host --json run DeleteRegistryKey Root=HKEY_LOCAL_MACHINE 'Path=Software\VerrandHostTest' Value=Gone); rc=$?
expect "json log event for the second, failing deletion" \
    "grep -qxF '{\"event\":\"log\",\"level\":2,\"text\":\"failed to delete registry value:Software\\\\VerrandHostTestGone\"}' <<<\"\$out\""
out=$(host run DeleteRegistryKey Root=HKLM Path=x); rc=$?
expect "invalid root: status 1 and a human info line" \
    '[ $rc -eq 1 ] && grep -qx "\[info\] Root is invalid:HKLM" <<<"$out" && grep -qx "DeleteRegistryKey returned 1" <<<"$out"'

# Every kind of output, human and JSON, from the sample library.
out=$(host --dll "$sample" --prop Greeting=hello --prop Who=nobody run ShowEverything Who=me); rc=$?
expect "sample status comes back as the exit status" '[ $rc -eq 5 ]'
expect "human output lines" "diff <(printf '%s\n' '[info] info from me' '[warn] a warning' '[error] an error' \
    '[level 7] an odd level' 'property Formatted = hello, world nobody' 'ShowEverything returned 5') <(tr -d '\r' <<<\"\$out\") >/dev/null"
out=$(host --json --dll "$sample" --prop Greeting=hello run ShowEverything); rc=$?
expect "json property event" "grep -qxF '{\"event\":\"property\",\"name\":\"Formatted\",\"value\":\"hello, world \"}' <<<\"\$out\""

# Exceptions: exit status 3 and an exception event.
out=$(host --json --dll "$sample" run ThrowStandard); rc=$?
expect "std exception: exit 3" '[ $rc -eq 3 ]'
expect "std exception event" "grep -qxF '{\"event\":\"exception\",\"action\":\"ThrowStandard\",\"what\":\"deliberate failure\"}' <<<\"\$out\""
out=$(host --dll "$sample" run ThrowPoco); rc=$?
expect "Poco exception: exit 3 with its display text" '[ $rc -eq 3 ] && grep -q "File not found: C:.nowhere.file.txt" <<<"$out"'

# Usage errors: one clear line on stderr and exit 2.
usage_case() { # description, expected text, host arguments...
    local what=$1 text=$2; shift 2
    host "$@" >/dev/null; local rc=$?
    expect "$what: exit 2" "[ $rc -eq 2 ]"
    expect "$what: one line naming the problem" \
        "[ \$(wc -l <\"\$WINEPREFIX/stderr\") -eq 1 ] && grep -q -- \"$text\" \"\$WINEPREFIX/stderr\""
}
usage_case "missing DLL" "cannot load" --dll 'C:\nowhere\Missing.dll' run DeleteRegistryKey
usage_case "unknown action" "does not export the action NoSuchAction" run NoSuchAction
usage_case "argument without =" "argument without '=': Root" run DeleteRegistryKey Root
printf '{"steps": [\n  {"action": "DeleteRegistryKey",}\n]}\n' >"$WINEPREFIX/bad.json"
usage_case "malformed plan" "line 2, column 34" plan "$(winepath -w "$WINEPREFIX/bad.json")"
printf '{"steps": [\n  {"action": "DeleteRegistryKey", "rollbak": {}}\n]}\n' >"$WINEPREFIX/misspelled.json"
usage_case "misspelled plan key" "line 2, column 35: steps\[1\].rollbak: unknown key" \
    plan "$(winepath -w "$WINEPREFIX/misspelled.json")"

# run refuses every export that list does not show: data and C++ members.
usage_case "data export" "does not export the action SampleConstant" --dll "$sample" run SampleConstant
member=$(i686-w64-mingw32-objdump -p "$build/dist/Verrand.dll" | grep -o '_ZN16CInstallRegistry[A-Za-z0-9_]*' | head -n1)
usage_case "decorated member" "does not export the action $member" run "$member"
out=$(host --dll "$sample" list); rc=$?
expect "list shows the sample actions but not its data" \
    '[ $rc -eq 0 ] && grep -qx RunAndWait <<<"$(tr -d "\r" <<<"$out")" && ! grep -q SampleConstant <<<"$out"'

# Human output shows control characters in values escaped: a value cannot
# print a line that looks like the host's own.
out=$(host --dll "$sample" run ShowEverything "Who=me"$'\r\n''[error] forged'$'\x1b''[2J'); rc=$?
expect "control characters escaped in human output" \
    "grep -qxF '[info] info from me\\r\\n[error] forged\\x1b[2J' <<<\"\$(tr -d '\\r' <<<\"\$out\")\" && ! grep -qx '\\[error\\] forged.*' <<<\"\$out\""

# A plan: properties carry from step to step; a failing step stops it.
cat >"$WINEPREFIX/plan.json" <<'PLAN'
{"properties": {"Greeting": "hi"},
 "steps": [{"action": "ShowEverything", "args": {"Who": "one"}},
           {"action": "ThrowStandard"},
           {"action": "ShowEverything"}]}
PLAN
out=$(host --json --dll "$sample" plan "$(winepath -w "$WINEPREFIX/plan.json")"); rc=$?
expect "plan stops at the first step that does not return 0" \
    '[ $rc -eq 5 ] && [ $(grep -c "\"event\":\"result\"" <<<"$out") -eq 1 ] && ! grep -q ThrowStandard <<<"$out"'

# Plan arguments see the properties earlier steps set; unknown references stay.
cat >"$WINEPREFIX/expand.json" <<'PLAN'
{"properties": {"Greeting": "hi"},
 "steps": [{"action": "Touch", "args": {"Name": "[Greeting] [Nobody] [$action.invocationdata.dir"}}]}
PLAN
out=$(host --dll "$sample" plan "$(winepath -w "$WINEPREFIX/expand.json")"); rc=$?
expect "plan arguments expand known properties only" \
    'grep -qxF "[info] touched hi [Nobody] [\$action.invocationdata.dir" <<<"$(tr -d "\r" <<<"$out")"'

# Rollback twins: newest first, each in the folder its step used, the failing
# step's own twin included; later steps never run.
cat >"$WINEPREFIX/rollback.json" <<'PLAN'
{"steps": [
  {"action": "Touch", "args": {"Name": "a"}, "rollback": {"action": "ReportMarker", "args": {"Name": "a"}}},
  {"action": "ReportMarker", "args": {"Name": "fresh"}},
  {"action": "Touch", "args": {"Name": "c", "Status": "1"}, "rollback": {"action": "ReportMarker", "args": {"Name": "c"}}},
  {"action": "Touch", "args": {"Name": "d"}}]}
PLAN
out=$(host --dll "$sample" plan "$(winepath -w "$WINEPREFIX/rollback.json")"); rc=$?
expect "a failing step fails the plan" '[ $rc -eq 1 ]'
expect "a fresh step folder holds nothing" 'grep -qx "\[info\] no marker for fresh" <<<"$(tr -d "\r" <<<"$out")"'
expect "twins run newest first in their steps' folders" \
    "diff <(grep -E 'marker|touched' <<<\"\$(tr -d '\r' <<<\"\$out\")\") <(printf '%s\n' '[info] touched a' '[info] no marker for fresh' \
    '[info] touched c' '[info] marker present for c' '[info] marker present for a') >/dev/null"
out=$(host --json --dll "$sample" plan "$(winepath -w "$WINEPREFIX/rollback.json")"); rc=$?
expect "json plan output has no progress lines" '! grep -v "^{" <<<"$out" | grep -q .'

# With WINEPREFIX set, scripts/host keeps the caller's environment, TMPDIR
# included: the caller's plain wine commands then meet the same wineserver
# and see what the host wrote to the registry at once.
own_tmp=$WINEPREFIX/callers-tmp
mkdir -p "$own_tmp"
out=$(TMPDIR=$own_tmp host --dll "$sample" run ShowEnvironment Name=TMPDIR); rc=$?
expect "the caller's TMPDIR reaches the host" "grep -qxF '[info] TMPDIR=$own_tmp' <<<\"\$(tr -d '\\r' <<<\"\$out\")\""
TMPDIR=$own_tmp host run ConfigureEnvironment ENV_NAME=VERRAND_HOST_CLI ENV_VALUE=seen ACTION=assign >/dev/null
seen=$(TMPDIR=$own_tmp wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' \
    /v VERRAND_HOST_CLI 2>/dev/null | tr -d '\r')
expect "a plain wine command sees the host's registry write" 'grep -q "VERRAND_HOST_CLI.*seen" <<<"$seen"'
TMPDIR=$own_tmp wineserver -k 2>/dev/null

out=$(host list); rc=$?
expect "list prints the plain action names" '[ $rc -eq 0 ] && ! grep -q "_Z" <<<"$out"'
expect "list shows an action's exact twin and its sentence" \
    'grep -qx "RemoveUserConfigFile  *RollbackRemoveUserConfigFile  *Removes a user-configuration file or folder at uninstall, .*\." <<<"$(tr -d "\r" <<<"$out")"'
expect "list shows a dash for an action without a twin" \
    'grep -qx "RunCommandConditional  *-  *Runs a command line once when two values are equal, .*\." <<<"$(tr -d "\r" <<<"$out")"'

# help prints an action's section of the reference compiled into the host,
# with the parts it includes.
out=$(host help RunCommand); rc=$?
out=$(tr -d '\r' <<<"$out")
expect "help prints the action's section" \
    '[ $rc -eq 0 ] && [ "$(head -n1 <<<"$out")" = "### RunCommand" ] && grep -q "^| \`RunOnDuAction\` |" <<<"$out"'
expect "help adds the parts the section includes" 'grep -q "^### Runner options$" <<<"$out" && ! grep -q "^### RunRollBackCommand" <<<"$out"'
usage_case "help of an action the reference does not know" "has no section for NoSuchAction" help NoSuchAction

checks_passed
