#!/usr/bin/env bash
# Runs the X error test with a virtual display: x11_errors.sh -- TEST-PROGRAM
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
faults_parse_args "$@"
trap 'e2e_stop_display' EXIT
e2e_start_display
"${FAULTS_PROGRAM[@]}"
