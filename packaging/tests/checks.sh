# The counting of the package suites, sourced by each of them:
# check NAME COMMAND...: one check; its output is shown only when it fails.
# checks_end SUITE: the "N passed, N failed" line, and the status.
passed=0
failed=0
failures=()
check() {
  local name="$1" out
  shift
  if out=$("$@" 2>&1); then
    passed=$((passed + 1))
    echo "PASS  $name"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "FAIL  $name"
    [ -n "$out" ] && sed 's/^/      /' <<<"$out"
  fi
}
checks_end() {
  if [ "$failed" -ne 0 ]; then
    printf 'failed: %s\n' "${failures[@]}"
  fi
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
