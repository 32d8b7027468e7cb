#!/bin/bash
# Builds the Debian package from a finished build and checks what a user installs: the
# programs, the examples, the menu entry and its icons, the manual pages, the version, and
# dependencies on runtime libraries only.
# Usage: check_package.sh BUILD_DIR VERSION
set -euo pipefail

build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check_package: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb=$(ls "$scratch"/out/ranvik_"$version"_*.deb) || fail "no ranvik_${version}_<arch>.deb"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/ranvik usr/bin/ranvik-batch \
    usr/share/applications/ranvik.desktop \
    usr/share/icons/hicolor/scalable/apps/ranvik.svg \
    usr/share/icons/hicolor/256x256/apps/ranvik.png \
    usr/share/man/man1/ranvik.1.gz usr/share/man/man1/ranvik-batch.1.gz \
    usr/share/doc/ranvik/copyright usr/share/doc/ranvik/changelog.gz \
    usr/share/ranvik/examples/deer_independent.txt \
    usr/share/ranvik/examples/shapefiles/elk_track.shp \
    usr/share/ranvik/examples/telemetry/movebank_elk.csv; do
    [ -s "$root/$f" ] || fail "$f is missing from the package"
done
[ ! -e "$root/usr/share/ranvik/examples/generator" ] || fail "the examples' generator is packaged"
file "$root/usr/share/icons/hicolor/256x256/apps/ranvik.png" | grep -q "256 x 256" ||
    fail "the PNG icon is not 256 x 256"

info=$(dpkg-deb -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
[ -n "$depends" ] || fail "the package declares no dependencies"
for wanted in libqt6widgets6 libgdal; do
    grep -q "$wanted" <<<"$depends" || fail "no dependency on $wanted: $depends"
done
# Package names only (versions and alternatives stripped): none is a -dev package or a tool.
for name in $(sed -e 's/([^)]*)//g' -e 's/[,|]/ /g' <<<"$depends"); do
    case $name in
    *-dev | g++* | gcc | gcc-* | clang* | cmake | ninja-build) fail "a build-only dependency: $name" ;;
    esac
done

# The version comes from the build: the batch program and the wizard's caption both carry it.
"$root/usr/bin/ranvik-batch" --version | grep -qx "ranvik-batch $version" ||
    fail "ranvik-batch --version does not say $version"
grep -aq "Ranvik $version Beta" "$root/usr/bin/ranvik" || fail "the wizard's caption lacks $version"

for page in ranvik ranvik-batch; do
    text=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>"$scratch/man.err")
    [ ! -s "$scratch/man.err" ] || { cat "$scratch/man.err"; fail "$page(1) renders with warnings"; }
    grep -q "EXIT STATUS" <<<"$text" || fail "$page(1) did not render"
done
# Every option of the batch program's own help is in its manual page.
batch_page=$(zcat "$root/usr/share/man/man1/ranvik-batch.1.gz" | sed 's/\\-/-/g')
for option in $("$root/usr/bin/ranvik-batch" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$batch_page" || fail "ranvik-batch(1) does not describe $option"
done

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/ranvik.desktop" ||
        fail "the desktop entry does not validate"
fi
if command -v lintian >/dev/null; then
    lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 || true
    cat "$scratch/lintian.log"
    if grep -q '^E:' "$scratch/lintian.log"; then fail "lintian reports errors"; fi
fi
echo "check_package: $(basename "$deb") holds what a user installs"
