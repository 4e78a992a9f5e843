#!/usr/bin/env bash
# The packaging leg of CI. Checks the man page and `cmake --install`; builds the Debian
# packages with `dpkg-buildpackage -us -uc -b` from a clean copy of the checkout (which runs
# the tests, compiled with Debian's flags) and checks their contents, Debian's flags, the
# stripped game and its -dbgsym package, the package's own test (debian/tests/: the packaged
# game plays every transcript) and lintian --pedantic on the source and both packages, where
# any tag fails; then the Windows zip. The packages are left in build/deb/.
# Run from the repository: bash .ci/package.sh. KESSANDOR_WINDOWS_BUILD_DIR picks another
# build directory than the windows preset's.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

need_packages dpkg-dev man-db gzip lintian binutils g++-mingw-w64-x86-64-posix groff-base unzip
# The package's own build dependencies, from debian/control.
if ! dpkg-checkbuilddeps 2>/dev/null; then
    section "Installing the build dependencies in debian/control"
    DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -q --no-install-recommends ./ >/dev/null
fi

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Prints nothing when the page renders cleanly; otherwise groff's complaints (the page
# itself goes to /dev/null, the complaints to the caller).
# shellcheck disable=SC2069
man_warnings() { MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null; }

section "Package: the man page renders without warnings"
complaints=$(man_warnings docs/kessandor.6)
[ -z "$complaints" ] || fail "man -l docs/kessandor.6 warns:"$'\n'"$complaints"
echo "docs/kessandor.6: no warnings"

section "Package: cmake --install of the play build"
cmake --preset play >/dev/null
cmake --build --preset play --target kessandor
cmake --install build/play --prefix "$scratch/prefix" >/dev/null
installed=$(cd "$scratch/prefix" && find . -type f | sort)
echo "$installed"
for file in ./bin/kessandor ./share/man/man6/kessandor.6 ./share/doc/kessandor/LICENSE; do
    grep -qx "$file" <<<"$installed" || fail "cmake --install did not install $file"
done

section "Package: dpkg-buildpackage -us -uc -b from a clean copy of the checkout"
# The files git tracks, as a fresh clone has them (with any change not yet committed).
source_dir="$scratch/kessandor"
mkdir "$source_dir"
git ls-files -z | tar --null --files-from=- --ignore-failed-read -cf - | tar -xf - -C "$source_dir"
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
arch=$(dpkg --print-architecture)
# The source package first, while the copy is clean, so that lintian checks debian/ too.
(cd "$source_dir" && dpkg-source --build . >/dev/null)
(cd "$source_dir" && DEB_BUILD_OPTIONS=parallel=2 dpkg-buildpackage -us -uc -b >"$scratch/build.log" 2>&1) || {
    tail -n 60 "$scratch/build.log"
    fail "dpkg-buildpackage failed"
}
deb="$scratch/kessandor_${version}_${arch}.deb"
dbgsym="$scratch/kessandor-dbgsym_${version}_${arch}.deb"
for package in "$deb" "$dbgsym"; do
    [ -f "$package" ] || fail "dpkg-buildpackage did not write $(basename "$package")"
done
# Debian's flags, untouched: dpkg-buildflags' optimisation, no build type's own on top.
flags=$(grep -m 1 -E ' -c [^ ]*/src/main\.cpp$' "$scratch/build.log")
wanted=$(cd "$source_dir" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)
for flag in $wanted; do
    [[ " $flags " == *" $flag "* ]] || fail "main.cpp was not compiled with $flag: $flags"
done
grep -E -- ' -O([013sz]|fast)( |$)' <<<"$flags" && fail "main.cpp has another optimisation than -O2"

section "Package: the packages' metadata and contents"
dpkg-deb --info "$deb"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = kessandor ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the changelog's $version"
[ "$(field Section)" = games ] || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
[[ "$(field Depends)" == *libc6* ]] || fail "Depends misses libc6: '$(field Depends)'"
[ "$(field Description | wc -l)" -ge 2 ] || fail "Description has no long text"

dpkg-deb --contents "$deb"
# Debian's layout for games: what debian/kessandor.install names, programs in /usr/games and
# man pages gzipped, and the licence as the package's copyright file beside the gzipped
# changelog; nothing else.
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort)
expected=$(
    printf '%s\n' usr/share/doc/kessandor/changelog.gz usr/share/doc/kessandor/copyright
    sed -e '/^#/d' -e '/^$/d' -e 's|^\(usr/share/man/.*\)|\1.gz|' debian/kessandor.install
)
expected=$(sed -e 's|^usr/games/|-rwxr-xr-x root/root ./usr/games/|' \
    -e 's|^usr/|-rw-r--r-- root/root ./usr/|' <<<"$expected" | sort)
[ "$files" = "$expected" ] || fail "the package holds"$'\n'"$files"$'\n'"and not"$'\n'"$expected"

dpkg-deb --extract "$deb" "$scratch/deb"
game="$scratch/deb/usr/games/kessandor"
said=$("$game" --version)
[ "$said" = "kessandor $version" ] || fail "the packaged game says '$said', the changelog $version"
zcat "$scratch/deb/usr/share/man/man6/kessandor.6.gz" | cmp - docs/kessandor.6 ||
    fail "the packaged man page differs from docs/kessandor.6"
complaints=$(man_warnings "$scratch/deb/usr/share/man/man6/kessandor.6.gz")
[ -z "$complaints" ] || fail "the packaged man page warns:"$'\n'"$complaints"
# debian/copyright holds the licence's text the way Debian wants it: the same text as docs/LICENSE.
licence=$(sed -n '/^License: Expat$/,/^$/p' "$scratch/deb/usr/share/doc/kessandor/copyright" |
    sed -n '/^ /{s/^ //;s/^\.$//;p}')
[ "$licence" = "$(sed '1,/^Copyright/d' docs/LICENSE | sed '1{/^$/d}')" ] ||
    fail "the licence in debian/copyright is not the text of docs/LICENSE"
holder=$(sed -n 's/^Copyright (c) //p' docs/LICENSE)
grep -qxF "Copyright: $holder" "$scratch/deb/usr/share/doc/kessandor/copyright" ||
    fail "debian/copyright does not name docs/LICENSE's holder, $holder"
zcat "$scratch/deb/usr/share/doc/kessandor/changelog.gz" | cmp - debian/changelog ||
    fail "the packaged changelog differs from debian/changelog"

# The package's own test (autopkgtest) on the packaged game: every transcript, byte for byte.
KESSANDOR="$game" sh debian/tests/transcripts >"$scratch/transcripts.log" 2>&1 || {
    cat "$scratch/transcripts.log"
    fail "the packaged game does not play the transcripts"
}
tail -n 1 "$scratch/transcripts.log"

# Stripped, with its symbols in the -dbgsym package under the binary's build id.
readelf -S "$game" | grep -q '\.symtab' && fail "the packaged game is not stripped"
build_id=$(readelf -n "$game" | sed -n 's/^ *Build ID: *//p')
[ -n "$build_id" ] || fail "the packaged game has no build id"
debug_file="./usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug"
dpkg-deb --contents "$dbgsym" | awk '{ print $6 }' | grep -qxF "$debug_file" ||
    fail "$(basename "$dbgsym") has no $debug_file"
# Hardened: position-independent, full RELRO with bind-now, the stack protector, fortified.
readelf -h "$game" | grep -q 'Type: *DYN' || fail "the packaged game is not position-independent"
readelf -l "$game" | grep -q GNU_RELRO || fail "the packaged game has no RELRO"
readelf -d "$game" | grep -q 'FLAGS.*BIND_NOW\|FLAGS_1.*NOW' || fail "the packaged game binds lazily"
symbols=$(readelf --dyn-syms -W "$game")
grep -q '__stack_chk_fail' <<<"$symbols" || fail "the packaged game has no stack protector"
grep -q '__[a-z_]*_chk@' <<<"$symbols" || fail "the packaged game has no fortified calls"
echo "$(basename "$deb") and $(basename "$dbgsym"): metadata, contents, game, man page, changelog, symbols and hardening as expected"

section "Package: lintian --pedantic (any tag fails, apart from overrides that say why)"
# An override stands only under a comment that says why.
for overrides in debian/*lintian-overrides debian/source/lintian-overrides; do
    [ -f "$overrides" ] || continue
    awk '/^#/ { why = 1; next } /^$/ { why = 0; next } !why { bad = 1; print FILENAME ": " $0 }
        END { exit bad }' "$overrides" || fail "$overrides: an override without a comment that says why"
done
# lintian warns when it runs as root; that line is not about the packages.
report=$(lintian --pedantic --display-info --display-experimental \
    --fail-on error,warning,info,pedantic "$scratch/kessandor_${version}.dsc" \
    "$scratch/kessandor_${version}_${arch}.changes" 2> >(grep -v 'running with root' >&2)) ||
    fail "lintian tags the packages:"$'\n'"$report"
[ -z "$report" ] || { echo "$report"; fail "lintian tags the packages (experimental tags too)"; }
echo "lintian --pedantic: no tags on the source, the game or its debug symbols"

mkdir -p build/deb
cp "$deb" "$dbgsym" build/deb/
echo "the packages are in build/deb/"

section "Package: the Windows zip holds the game, the manual as text and the licence"
windows_dir=${KESSANDOR_WINDOWS_BUILD_DIR:-build/windows}
# Warnings as errors, as .ci/windows.sh configures it, so that it need not build again.
cmake --preset windows -B "$windows_dir" -DKESSANDOR_WERROR=ON >/dev/null
cmake --build "$windows_dir" -j2
(cd "$windows_dir" && cpack >/dev/null)
zip="$windows_dir/kessandor-1.0-win64.zip"
listing=$(unzip -Z1 "$zip" | sort)
expected=$(printf 'kessandor-1.0-win64/%s\n' LICENSE.txt kessandor.exe kessandor.txt)
[ "$listing" = "$expected" ] || fail "the Windows zip holds"$'\n'"$listing"
unzip -p "$zip" kessandor-1.0-win64/kessandor.txt >"$scratch/kessandor.txt"
# Plain ASCII with Windows line ends: no troff, no escape codes, no overstriking.
LC_ALL=C grep -q '[^[:print:][:space:]]' "$scratch/kessandor.txt" && fail "kessandor.txt is not plain text"
grep -q '^\.' "$scratch/kessandor.txt" && fail "kessandor.txt holds troff requests"
[ "$(grep -c $'\r$' "$scratch/kessandor.txt")" = "$(wc -l <"$scratch/kessandor.txt")" ] ||
    fail "kessandor.txt does not end every line with CR LF"
for heading in NAME SYNOPSIS 'HOW TO PLAY' 'EXIT STATUS'; do
    grep -q "^$heading"$'\r$' "$scratch/kessandor.txt" || fail "kessandor.txt has no $heading"
done
echo "$zip: the game, kessandor.txt ($(wc -l <"$scratch/kessandor.txt") lines of text) and LICENSE.txt"
