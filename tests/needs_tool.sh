#!/bin/sh
# Runs a test's command where the tool it needs is still installed. Where the
# tool was removed after the build was configured, says which package brings
# it back and exits 77, which the test counts as skipped (SKIP_RETURN_CODE),
# as it would be had the package never been installed.
#
#   needs_tool.sh TOOL PACKAGE COMMAND [ARG...]
set -eu
[ $# -ge 3 ] || { echo "usage: $0 TOOL PACKAGE COMMAND [ARG...]" >&2; exit 2; }
tool=$1
package=$2
shift 2
if [ ! -x "$tool" ]; then
    echo "skipped: '$tool' is no longer installed: install $package to run this test"
    exit 77
fi
exec "$@"
