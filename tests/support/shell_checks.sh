# The shell tests' one way of counting checks: sourced by a test script, which calls
# `check NAME COMMAND...` for each and prints "$passed passed, $failed failed" at its end.
# A check's output goes to the scratch folder $work (removed on exit), shown when it fails.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() {  # check NAME COMMAND...: passes when the command succeeds
  local name=$1; shift
  if "$@" >"$work/out" 2>&1; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAILED: $name"; sed 's/^/  /' "$work/out" | head -20; fi
}
