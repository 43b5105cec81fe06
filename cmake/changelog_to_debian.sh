#!/bin/sh
# Writes CHANGELOG.md (Keep a Changelog) as a Debian changelog, which a native
# .deb must hold as usr/share/doc/<package>/changelog.gz: one entry per
# "## [VERSION] - DATE" section, its "### Kind" headings and "- " items as
# bullets, rewrapped to 78 columns, backticks dropped; prose between them is
# left out. An unreleased version is dated SOURCE_DATE_EPOCH, else now.
#
#   changelog_to_debian.sh CHANGELOG_MD PACKAGE MAINTAINER OUTPUT
set -eu
[ $# -eq 4 ] || { echo "usage: $0 CHANGELOG_MD PACKAGE MAINTAINER OUTPUT" >&2; exit 2; }
changelog=$1
package=$2
maintainer=$3
output=$4

fail() { echo "changelog_to_debian: $*" >&2; exit 1; }
[ -f "$changelog" ] || fail "no changelog at '$changelog'"

# The date of each version, RFC 2822 as Debian wants it, by version.
dates=$(sed -n 's/^## \[\([^]]*\)\] - \(.*\)$/\1 \2/p' "$changelog" | while read -r version date; do
    if [ "$date" = Unreleased ]; then
        when=$(date -u -R ${SOURCE_DATE_EPOCH:+-d "@$SOURCE_DATE_EPOCH"})
    else
        when=$(date -u -R -d "$date") || fail "$changelog: version $version has a bad date '$date'"
    fi
    printf '%s\t%s\n' "$version" "$when"
done)
[ -n "$dates" ] || fail "$changelog: no '## [VERSION] - DATE' section"

awk -v package="$package" -v maintainer="$maintainer" -v dates="$dates" '
function wrap(text, first, rest,    words, n, i, line, out) {
    gsub(/`/, "", text)
    n = split(text, words, " ")
    line = first
    out = ""
    for (i = 1; i <= n; i++) {
        if (line != first && line != rest && length(line) + 1 + length(words[i]) > 78) {
            out = out line "\n"
            line = rest
        }
        line = (line == first || line == rest) ? line words[i] : line " " words[i]
    }
    return out line "\n"
}
function flush() {
    if (item != "") printf "%s", wrap(item, item_first, item_rest)
    item = ""
}
function close_entry() {
    flush()
    if (version != "") printf "\n -- %s  %s\n", maintainer, date[version]
}
BEGIN {
    n = split(dates, lines, "\n")
    for (i = 1; i <= n; i++) { split(lines[i], f, "\t"); date[f[1]] = f[2] }
}
/^## \[/ {
    close_entry()
    if (version != "") printf "\n"
    version = $0
    sub(/^## \[/, "", version)
    sub(/\].*/, "", version)
    printf "%s (%s) unstable; urgency=medium\n\n", package, version
    nested = 0
    next
}
version == "" { next }
/^### / { flush(); item = substr($0, 5) ":"; item_first = "  * "; item_rest = "    "; nested = 1; next }
/^- / {
    flush()
    item = substr($0, 3)
    item_first = nested ? "    - " : "  * "
    item_rest = nested ? "      " : "    "
    next
}
/^  +[^ ]/ && item != "" { line = $0; sub(/^ +/, "", line); item = item " " line; next }
{ flush() }
END { close_entry() }
' "$changelog" >"$output.new" || fail "cannot write '$output'"
mv "$output.new" "$output"
