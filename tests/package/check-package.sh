#!/usr/bin/env bash
# Builds the .deb of a built tree with CPack into a temporary folder, unpacks it with
# dpkg-deb -x and checks that what it holds works on a desktop: the programs answer --help
# and --version without a display, the desktop entry is valid and names the MIME type and
# icon the package installs, the AppStream metadata validates, every program has its man
# page, the changelog and metadata carry the package's version, the dependencies were read
# from the programs, and lintian finds no error or warning (when lintian is installed).
#
# Usage: check-package.sh BUILD_DIR   Prints one line per fault; exit 1 on any.
set -u
build=${1:?usage: check-package.sh BUILD_DIR}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

failures=0
fail() {
    echo "FAULT: $1"
    failures=$((failures + 1))
}

if ! (cd "$build" && cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1); then
    cat "$tmp/cpack.log"
    echo "FAULT: cpack failed"
    exit 1
fi
debs=("$tmp"/out/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { echo "FAULT: not one .deb: ${debs[*]}"; exit 1; }
deb=${debs[0]}
dpkg-deb -x "$deb" "$tmp/root" || { echo "FAULT: dpkg-deb -x failed"; exit 1; }
root=$tmp/root/usr

version=$(dpkg-deb -f "$deb" Version)
# As on a terminal without a desktop: no display, no platform chosen.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
for tool in ombrix ombrix-send ombrix-devsim; do
    [ -x "$root/bin/$tool" ] || { fail "no program usr/bin/$tool"; continue; }
    "${nodisplay[@]}" timeout 20 "$root/bin/$tool" --help >"$tmp/$tool.help" 2>"$tmp/$tool.err" ||
        fail "$tool --help exits $?: $(head -1 "$tmp/$tool.err")"
    grep -q "^Usage: $tool " "$tmp/$tool.help" || fail "$tool --help prints no usage line"
    out=$("${nodisplay[@]}" timeout 20 "$root/bin/$tool" --version 2>&1) ||
        fail "$tool --version exits $?"
    [ "$out" = "$tool $version" ] || fail "$tool --version prints \"$out\", not \"$tool $version\""
    page=$root/share/man/man1/$tool.1.gz
    if [ -f "$page" ]; then
        # The page is the tool's own --help: its first option line is in it.
        zcat "$page" | grep -q '^\.TH "\?'"${tool^^}" || fail "$page has no .TH heading"
        zcat "$page" | grep -qF -- '\-\-help' || fail "$page does not list --help"
    else
        fail "no man page $page"
    fi
done
# ombrix: -h and -v as well; an unknown option is refused with the usage on stderr, exit 2.
for short in -h -v; do
    "${nodisplay[@]}" timeout 20 "$root/bin/ombrix" $short >"$tmp/short" 2>&1 ||
        fail "ombrix $short exits $?"
done
"${nodisplay[@]}" timeout 20 "$root/bin/ombrix" --frobnicate >"$tmp/unknown.out" 2>"$tmp/unknown.err"
rc=$?
[ $rc = 2 ] || fail "ombrix --frobnicate exits $rc, not 2"
[ -s "$tmp/unknown.out" ] && fail "ombrix --frobnicate writes to stdout"
head -1 "$tmp/unknown.err" | grep -q "frobnicate" || fail "ombrix --frobnicate: no error line"
grep -q '^Usage: ombrix \[options\] \[file\]$' "$tmp/unknown.err" ||
    fail "ombrix --frobnicate: no usage on stderr"
page=$root/share/man/man1/ombrix.1.gz
for section in FILES EXAMPLES; do
    [ -f "$page" ] && { zcat "$page" | grep -q "^\.SH $section" || fail "$page has no $section"; }
done

doc=$root/share/doc/ombrix
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$doc/copyright" 2>/dev/null || fail "no machine-readable $doc/copyright"
top=$(zcat "$doc/changelog.gz" 2>/dev/null | head -1)
[[ $top == "ombrix ($version) "* ]] || fail "changelog.gz does not start at $version: $top"

entry=$root/share/applications/ombrix.desktop
mime=$root/share/mime/packages/ombrix.xml
if [ -f "$entry" ]; then
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
    grep -q '^Exec=ombrix %[fFuU]$' "$entry" || fail "the desktop entry does not pass a file"
    type=$(sed -n 's/^MimeType=\([^;]*\);$/\1/p' "$entry")
    icon=$(sed -n 's/^Icon=//p' "$entry")
else
    fail "no desktop entry $entry"
fi
if [ -f "$mime" ]; then
    xmllint --noout "$mime" || fail "$mime is not well-formed XML"
    grep -q "<mime-type type=\"${type:-?}\">" "$mime" ||
        fail "$mime does not define the desktop entry's type \"${type:-}\""
    grep -q '<glob pattern="\*\.set"/>' "$mime" || fail "$mime does not claim *.set"
    grep -q '<comment>Ombrix forms</comment>' "$mime" || fail "$mime does not say Ombrix forms"
else
    fail "no MIME entry $mime"
fi

metainfo=$(find "$root/share/metainfo" -name '*.metainfo.xml' 2>/dev/null)
if [ -n "$metainfo" ] && [ "$(echo "$metainfo" | wc -l)" = 1 ]; then
    appstreamcli validate --no-net "$metainfo" >"$tmp/appstream.log" 2>&1 ||
        { cat "$tmp/appstream.log"; fail "appstreamcli rejects $metainfo"; }
    id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
    [ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || fail "$metainfo is not named by its id $id"
    grep -q "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" "$metainfo" ||
        fail "$metainfo does not launch the desktop entry"
    grep -q "<mediatype>${type:-?}</mediatype>" "$metainfo" || fail "$metainfo does not provide $type"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "$metainfo has no release $version"
else
    fail "not one AppStream file in usr/share/metainfo: $metainfo"
fi

hicolor=$root/share/icons/hicolor
for size in 48 256; do
    png=$hicolor/${size}x${size}/apps/${icon:-ombrix}.png
    file "$png" | grep -q "PNG image data, $size x $size" || fail "no $size px PNG icon $png"
done
svg=$hicolor/scalable/apps/${icon:-ombrix}.svg
xmllint --noout "$svg" 2>/dev/null && grep -q '<svg' "$svg" || fail "no SVG icon $svg"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libqcustomplot; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

# Errors and warnings fail; informational tags do not.
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1 ||
        { cat "$tmp/lintian.log"; fail "lintian finds errors or warnings in $(basename "$deb")"; }
fi

if [ $failures = 0 ]; then
    echo "$(basename "$deb"): $(dpkg-deb -c "$deb" | wc -l) entries, Depends: $depends"
fi
[ $failures = 0 ]
