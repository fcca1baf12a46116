#!/bin/sh
# Writes the Debian changelog made from the project's CHANGELOG.md: each
# "## VERSION (YYYY-MM-DD)" heading becomes an entry, its "- " items the
# entry's "  * " lines (continuation lines indented to match), signed by the
# maintainer on that date at midnight UTC.
#   debian_changelog.sh CHANGELOG.md "Name <address>" >changelog
set -eu
awk -v maintainer="$2" '
function sign() {
    if (version == "") return
    command = "date -u -R -d " date
    if ((command | getline stamp) <= 0) { print "bad date " date > "/dev/stderr"; exit 1 }
    close(command)
    printf "\n -- %s  %s\n", maintainer, stamp
}
/^## / {
    sign()
    if (version != "") print ""
    version = $2; date = $3; gsub(/[()]/, "", date)
    if (version !~ /^[0-9][0-9.]*$/ || date !~ /^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$/) {
        print "CHANGELOG.md: bad heading: " $0 > "/dev/stderr"; exit 1
    }
    printf "hibinobori (%s) unstable; urgency=medium\n\n", version
    next
}
version == "" || /^[ \t]*$/ { next }
/^- / { sub(/^- /, ""); print "  * " $0; next }
/^  / { sub(/^ +/, ""); print "    " $0; next }
{ print "CHANGELOG.md: a line outside a list: " $0 > "/dev/stderr"; exit 1 }
END { sign() }
' "$1"
