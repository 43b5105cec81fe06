#!/bin/sh
# Runs lintian on the .deb in WORK_DIR (check_deb.sh made it) and fails on any
# error it reports; warnings and the rest are shown.
#
#   check_lintian.sh LINTIAN WORK_DIR
set -eu
[ $# -eq 2 ] || { echo "usage: $0 LINTIAN WORK_DIR" >&2; exit 2; }
lintian=$1
work=$2

deb=$(ls "$work"/dump-metrics12_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "check_lintian: no dump-metrics12_*.deb in '$work'" >&2; exit 1; }
status=0
report=$("$lintian" --fail-on error --display-level '>=info' "$deb" 2>&1) || status=$?
# As root (CI, a chroot) lintian first advises against it: advice, not a finding.
report=$(printf '%s\n' "$report" | grep -v -x 'running with root privileges is not recommended!' || true)
[ -z "$report" ] || echo "$report"
if [ "$status" -ne 0 ] || echo "$report" | grep -q '^E: '; then
    echo "check_lintian: lintian finds errors in '$deb' (status $status)" >&2
    exit 1
fi
echo "check_lintian: no error in $deb"
