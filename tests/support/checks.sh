# Checks of the suite's shell tests: expect "what" 'condition' prints ok or
# FAILED for each; checks_passed ends the test with the count and a status.
failures=0 checks=0
expect() { # description, condition
    checks=$((checks + 1))
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
checks_passed() {
    echo "$((checks - failures)) passed, $failures failed"
    [ $failures -eq 0 ]
}
