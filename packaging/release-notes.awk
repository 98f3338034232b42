# Turns the released versions of CHANGELOG.md into the two release histories
# the Linux package carries, so that CHANGELOG.md stays the only one we write:
#
#   awk -v format=debian -v package=vimbora -v maintainer="Name <mail>" \
#       -v out=changelog -f release-notes.awk CHANGELOG.md
#     the Debian changelog, newest version first
#   awk -v format=appstream -v out=vimbora.metainfo.xml \
#       -f release-notes.awk CHANGELOG.md vimbora.metainfo.xml.in
#     the metainfo file with its empty <releases/> line replaced by the history
#
# CHANGELOG.md is read as Keep a Changelog writes it: "## [version] - date",
# "### Section", and "- " items whose following lines are indented two
# spaces. The [Unreleased] part belongs to no version and is left out.

function fail(message) {
    print "release-notes.awk: " message > "/dev/stderr"
    failed = 1
    exit 1
}

function emit(line) {
    print line > out
}

function xml(text) {
    gsub(/&/, "\\&amp;", text)
    gsub(/</, "\\&lt;", text)
    gsub(/>/, "\\&gt;", text)
    return text
}

# Markdown's `code` spans become AppStream's <code> elements.
function appstream_text(text, out, start) {
    text = xml(text)
    out = ""
    while ((start = index(text, "`")) > 0) {
        out = out substr(text, 1, start - 1)
        text = substr(text, start + 1)
        start = index(text, "`")
        if (start == 0)
            fail("an unclosed ` in: " text)
        out = out "<code>" substr(text, 1, start - 1) "</code>"
        text = substr(text, start + 1)
    }
    return out text
}

# The text as Debian changelog lines: "  * " before the first, four spaces
# before the others, none longer than 79 characters.
function debian_item(text, words, n, i, line) {
    n = split(text, words, " ")
    line = "  *"
    for (i = 1; i <= n; i++) {
        if (length(line) + 1 + length(words[i]) > 79 && line != "  *" && line != "   ") {
            emit(line)
            line = "   "
        }
        line = line " " words[i]
    }
    emit(line)
}

# "2026-12-08" as the RFC 5322 date a Debian changelog signs off with.
function debian_date(day, command, stamp) {
    command = "LC_ALL=C date -u -R -d " day
    if ((command | getline stamp) <= 0)
        fail("date cannot read the date " day)
    close(command)
    return stamp
}

# CHANGELOG.md, the first file.
FNR == NR && /^## \[/ {
    version = $2
    gsub(/[\[\]]/, "", version)
    item = ""
    if (version == "Unreleased")
        next
    if ($4 !~ /^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$/)
        fail("no date after version " version)
    releases++
    release_version[releases] = version
    release_date[releases] = $4
    sections = 0
    next
}
FNR == NR && version == "Unreleased" { next }
FNR == NR && /^### / && releases {
    section_name[releases, ++sections] = substr($0, 5)
    section_items[releases, sections] = 0
    release_sections[releases] = sections
    item = ""
    next
}
FNR == NR && /^- / && sections {
    item = ++section_items[releases, sections]
    item_text[releases, sections, item] = substr($0, 3)
    next
}
FNR == NR && /^  +[^ ]/ && item {
    line = $0
    sub(/^ +/, "", line)
    item_text[releases, sections, item] = item_text[releases, sections, item] " " line
    next
}
FNR == NR && /^$/ { item = ""; next }
FNR == NR { next }

# The metainfo template, the second file.
/^ *<releases\/> *$/ {
    indent = $0
    sub(/<.*/, "", indent)
    emit(indent "<releases>")
    for (r = 1; r <= releases; r++) {
        emit(indent "  <release version=\"" release_version[r] "\" date=\"" release_date[r] "\">")
        emit(indent "    <description>")
        for (s = 1; s <= release_sections[r]; s++) {
            emit(indent "      <p>" xml(section_name[r, s]) ":</p>")
            emit(indent "      <ul>")
            for (i = 1; i <= section_items[r, s]; i++)
                emit(indent "        <li>" appstream_text(item_text[r, s, i]) "</li>")
            emit(indent "      </ul>")
        }
        emit(indent "    </description>")
        emit(indent "  </release>")
    }
    emit(indent "</releases>")
    wrote_releases = 1
    next
}
{ emit($0) }

END {
    if (failed)
        exit 1
    if (out == "")
        fail("no output file given (-v out=FILE)")
    if (!releases)
        fail("CHANGELOG.md names no released version")
    if (format == "appstream") {
        if (!wrote_releases)
            fail("the metainfo template has no <releases/> line")
        exit 0
    }
    if (format != "debian")
        fail("unknown format " format)
    for (r = 1; r <= releases; r++) {
        if (r > 1)
            emit("")
        emit(package " (" release_version[r] ") unstable; urgency=medium")
        for (s = 1; s <= release_sections[r]; s++) {
            emit("")
            emit("  " section_name[r, s] ":")
            for (i = 1; i <= section_items[r, s]; i++)
                debian_item(item_text[r, s, i])
        }
        emit("")
        emit(" -- " maintainer "  " debian_date(release_date[r]))
    }
}
