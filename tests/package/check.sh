#!/usr/bin/env bash
# Checks of the installed tree, one step per CTest test:
#   check.sh install ROOT BUILD_DIR CMAKE   cmake --install into ROOT, files in place
#   check.sh manual ROOT VERSION           the page renders cleanly and agrees with --help
#   check.sh desktop-validate ROOT         desktop-file-validate accepts the entry
#   check.sh metainfo-validate ROOT        appstreamcli accepts the AppStream metadata,
#                                          which names the entry's categories
#   check.sh desktop-launch ROOT           the entry's command line reaches vimbora intact
# Exit 77 tells CTest a step was skipped for want of a tool.
set -euo pipefail
step=$1
root=$2
prefix=$root/usr
manual=$prefix/share/man/man1/vimbora.1.gz
desktop=$prefix/share/applications/vimbora.desktop
icon=$prefix/share/icons/hicolor/scalable/apps/vimbora.svg
metainfo_dir=$prefix/share/metainfo
sources=$(cd "$(dirname "$0")/../.." && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

skip() {
    echo "skipped: $*"
    exit 77
}

# The options (--word) and the five setting words that a text names.
names_in() {
    grep -o -E -e '--[a-z][a-z-]*' -e '\b(width|height|time|fade|path)=' | sort -u
}

case $step in
install)
    build=$3
    cmake=$4
    rm -rf "$root"
    DESTDIR=$root "$cmake" --install "$build" --prefix /usr >/dev/null
    doc=$prefix/share/doc/vimbora
    for file in "$prefix/bin/vimbora" "$manual" "$desktop" "$icon" \
        "$doc/README.md" "$doc/copyright" "$doc/changelog.gz"; do
        [ -f "$file" ] || fail "not installed: ${file#"$root"}"
    done
    [ -x "$prefix/bin/vimbora" ] || fail "usr/bin/vimbora is not executable"
    for file in "$manual" "$doc/changelog.gz"; do
        gzip -t "$file" || fail "${file#"$root"} is not a valid gzip file"
    done
    grep -q -F "$(sed -n 's/^Copyright (c) //p' "$sources/LICENSE")" "$doc/copyright" ||
        fail "the copyright file does not carry the notice of LICENSE"
    for size in 48 64 128 256; do
        png=$prefix/share/icons/hicolor/${size}x$size/apps/vimbora.png
        [ "$(identify -format %wx%h "$png" 2>/dev/null)" = "${size}x$size" ] ||
            fail "no ${size}x$size icon at ${png#"$root"}"
    done
    if command -v xmllint >/dev/null; then
        xmllint --noout "$icon" || fail "the icon is not well-formed SVG"
    fi
    ;;
manual)
    version=$3
    warnings=$(zcat "$manual" | groff -ww -man -Tutf8 -z 2>&1)
    [ -z "$warnings" ] || fail "groff warns about the manual page:"$'\n'"$warnings"
    page=$(zcat "$manual" | groff -man -Tutf8 -P-cbou 2>/dev/null)
    help=$("$prefix/bin/vimbora" --help) || fail "vimbora --help exited with $?"
    [ "$(names_in <<<"$page")" = "$(names_in <<<"$help")" ] ||
        fail "the manual page and --help name different options or words:"$'\n'"$(
            diff <(names_in <<<"$page") <(names_in <<<"$help") || true)"
    "$prefix/bin/vimbora" --version | grep -q -F "$version" ||
        fail "vimbora --version does not print $version"
    ;;
desktop-validate)
    command -v desktop-file-validate >/dev/null || skip "desktop-file-validate is not installed"
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
    ;;
metainfo-validate)
    command -v appstreamcli >/dev/null || skip "appstreamcli is not installed"
    metainfo=$(echo "$metainfo_dir"/*.metainfo.xml)
    [ -f "$metainfo" ] || fail "not one metainfo file in ${metainfo_dir#"$root"}"
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the AppStream metadata"
    from_entry=$(sed -n 's/^Categories=//p' "$desktop" | tr ';' '\n' | sed '/^$/d')
    from_metainfo=$(sed -n 's/.*<category>\(.*\)<\/category>.*/\1/p' "$metainfo")
    [ "$from_entry" = "$from_metainfo" ] ||
        fail "the metainfo and the desktop entry name different categories"
    grep -q "<release version=\"$(sed -n 's/^## \[\([0-9][^]]*\)\].*/\1/p' "$sources/CHANGELOG.md" | head -n 1)\"" "$metainfo" ||
        fail "the metainfo lacks the newest release of CHANGELOG.md"
    ;;
desktop-launch)
    # GIO parses Exec= the way GNOME and most launchers do. A stand-in vimbora
    # records the words it is given, in a home whose names hold spaces.
    command -v gio >/dev/null || skip "gio is not installed"
    command -v xdg-user-dir >/dev/null || skip "xdg-user-dir is not installed"
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    mkdir -p "$scratch/bin" "$scratch/home dir/.config"
    # shellcheck disable=SC2016 # the stand-in expands these itself
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "$WORDS.tmp" && mv "$WORDS.tmp" "$WORDS"\n' \
        >"$scratch/bin/vimbora"
    chmod +x "$scratch/bin/vimbora"

    launch() { # expected word, then environment settings for gio
        local words=$scratch/words
        rm -f "$words"
        env HOME="$scratch/home dir" XDG_CONFIG_HOME= WORDS="$words" "$@" gio launch "$desktop"
        for _ in $(seq 50); do
            [ -f "$words" ] && break
            sleep 0.1
        done
        [ -f "$words" ] || fail "the desktop entry did not start vimbora"
        cat "$words"
    }

    # shellcheck disable=SC2016 # user-dirs.dirs is shell text read by xdg-user-dir
    echo 'XDG_PICTURES_DIR="$HOME/My Photos"' >"$scratch/home dir/.config/user-dirs.dirs"
    got=$(launch PATH="$scratch/bin:$PATH")
    [ "$got" = "path=$scratch/home dir/My Photos" ] ||
        fail "with a Pictures folder set up, vimbora got: $got"

    # Without xdg-user-dir (here one that fails), the home folder is shown.
    printf '#!/bin/sh\nexit 127\n' >"$scratch/bin/xdg-user-dir"
    chmod +x "$scratch/bin/xdg-user-dir"
    got=$(launch PATH="$scratch/bin:$PATH")
    [ "$got" = "path=$scratch/home dir" ] ||
        fail "without xdg-user-dir, vimbora got: $got"
    ;;
*)
    fail "unknown step $step"
    ;;
esac
