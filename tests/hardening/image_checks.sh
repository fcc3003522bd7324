# Sourced by the static checks of built images. The check defines `offending EXE`: it prints
# what the image must not have, one item a line, and returns 2 when it cannot read the image.
#   run_image_checks WHAT [--reject EXE]... EXE...
# Each EXE must have none (WHAT says so); each --reject EXE must have some, which shows that the
# check can fail at all.
run_image_checks() {
  local what=$1 failures=0 expect exe bad status
  shift
  while [ $# -gt 0 ]; do
    expect=pass
    if [ "$1" = --reject ]; then expect=reject; shift; fi
    exe=$1
    shift
    bad=$(offending "$exe")
    status=$?
    if [ $status -eq 2 ]; then
      echo "FAIL - cannot read $exe"
      failures=$((failures + 1))
    elif [ "$expect" = pass ] && [ -z "$bad" ]; then
      echo "ok   - $(basename "$exe") $what"
    elif [ "$expect" = reject ] && [ -n "$bad" ]; then
      echo "ok   - $(basename "$exe") rejected for: $(tr '\n' ' ' <<<"$bad")"
    else
      echo "FAIL - $(basename "$exe"): expected $expect, found: $(tr '\n' ' ' <<<"$bad")"
      failures=$((failures + 1))
    fi
  done
  echo "$failures failed"
  [ "$failures" -eq 0 ]
}
