#!/usr/bin/env bash
# Builds the .deb of a built tree with CPack into a temporary folder, unpacks it with
# dpkg-deb -x and checks that what it holds works on a desktop: the programs run, the
# desktop entry is valid and names the MIME type and icon the package installs, the man
# pages are there, and the dependencies were read from the programs.
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

for tool in ombrix-send ombrix-devsim; do
    "$root/bin/$tool" --help >"$tmp/$tool.help" 2>&1 || fail "$tool --help exits $?"
    grep -q "^Usage: $tool" "$tmp/$tool.help" || fail "$tool --help prints no usage line"
    page=$root/share/man/man1/$tool.1.gz
    if [ -f "$page" ]; then
        # The page is the tool's own --help: its first option line is in it.
        zcat "$page" | grep -q '^\.TH "\?'"${tool^^}" || fail "$page has no .TH heading"
        zcat "$page" | grep -qF -- '\-\-help' || fail "$page does not list --help"
    else
        fail "no man page $page"
    fi
done
[ -x "$root/bin/ombrix" ] || fail "no program usr/bin/ombrix"

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

if [ $failures = 0 ]; then
    echo "$(basename "$deb"): $(dpkg-deb -c "$deb" | wc -l) entries, Depends: $depends"
fi
[ $failures = 0 ]
