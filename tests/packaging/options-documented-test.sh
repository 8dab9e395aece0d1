#!/usr/bin/env bash
# Every option that `tamberlo --help`, `tamberlo batch --help` and `tamberlo
# scan --help` list is in the man page and in the bash completion of the same
# form of the command.
#   options-documented-test.sh <tamberlo> <tamberlo.1> <completion>
set -euo pipefail
tamberlo=$1 page=$2 completion=$3
failed=0
options() { grep -oE '(^|[ ,])--?[a-z][a-z-]*' | sed 's/^[ ,]*//' | sort -u; }
# The man page writes a hyphen as \-.
page_text=$(sed 's/\\-/-/g' "$page")
for form in run batch scan; do
  args=(--help)
  [ "$form" != run ] && args=("$form" --help)
  listed=$("$tamberlo" "${args[@]}" | options)
  [ -n "$listed" ] || { echo "FAIL: tamberlo ${args[*]} lists no option" >&2; exit 1; }
  section=$(awk -v form="$form" '
    /^\.SH OPTIONS OF A SINGLE RUN/ { on = (form == "run"); next }
    /^\.SH OPTIONS OF TAMBERLO BATCH/ { on = (form == "batch"); next }
    /^\.SH OPTIONS OF TAMBERLO SCAN/ { on = (form == "scan"); next }
    /^\.SH/ { on = 0 }
    on' <<<"$page_text")
  completed=$(sed -n "/local ${form}_options=\"/,/\"\$/p" "$completion" | tr '" =' '\n\n\n' | options)
  while read -r option; do
    grep -qE "(^|[^a-z-])${option}([^a-z-]|\$)" <<<"$section" ||
      { echo "FAIL: $option of the $form form is not in the man page's options" >&2; failed=1; }
    grep -qx -- "$option" <<<"$completed" ||
      { echo "FAIL: $option of the $form form is not in the completion" >&2; failed=1; }
  done <<<"$listed"
done
[ "$failed" = 0 ] && echo "PASS: every option of every form is in the man page and the completion"
exit "$failed"
