#!/usr/bin/env bash
# The packaging leg of CI: checks the man page, `cmake --install`, the Debian package that
# cpack builds from the deb preset (Debian's hardening flags), which lintian must pass
# without an error or a warning, and the Windows zip. Run from the repository:
# bash .ci/package.sh. KESSANDOR_PACKAGE_BUILD_DIR and KESSANDOR_WINDOWS_BUILD_DIR pick other
# build directories than the presets'.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

build_dir=${KESSANDOR_PACKAGE_BUILD_DIR:-build/deb}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

need_packages cmake make g++ dpkg-dev man-db gzip lintian g++-mingw-w64-x86-64-posix groff-base unzip

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

section "Package: deb build and cmake --install"
cmake --preset deb -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j2
cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
installed=$(cd "$scratch/prefix" && find . -type f | sort)
echo "$installed"
for file in ./bin/kessandor ./share/man/man6/kessandor.6; do
    grep -qx "$file" <<<"$installed" || fail "cmake --install did not install $file"
done

section "Package: the Debian package"
(cd "$build_dir" && cpack -G DEB >/dev/null)
version=$(dpkg-parsechangelog -l docs/changelog.Debian -S Version)
deb="$build_dir/kessandor_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "cpack did not write $deb"
dpkg-deb --info "$deb"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = kessandor ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the changelog's $version"
[ "$(field Section)" = games ] || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
[[ "$(field Depends)" == *libc6* ]] || fail "Depends misses libc6: '$(field Depends)'"
[ "$(field Description | wc -l)" -ge 2 ] || fail "Description has no long text"

dpkg-deb --contents "$deb"
# Debian's layout for games: binaries in /usr/games, man pages gzipped, the licence as the
# package's copyright file beside the gzipped changelog, and lintian's override; nothing else.
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort)
expected="-rw-r--r-- root/root ./usr/share/doc/kessandor/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/kessandor/copyright
-rw-r--r-- root/root ./usr/share/lintian/overrides/kessandor
-rw-r--r-- root/root ./usr/share/man/man6/kessandor.6.gz
-rwxr-xr-x root/root ./usr/games/kessandor"
[ "$files" = "$(sort <<<"$expected")" ] || fail "the package holds"$'\n'"$files"

dpkg-deb --extract "$deb" "$scratch/deb"
version=$("$scratch/deb/usr/games/kessandor" --version)
[ "$version" = "kessandor 1.0" ] || fail "the packaged game says '$version'"
zcat "$scratch/deb/usr/share/man/man6/kessandor.6.gz" | cmp - docs/kessandor.6 ||
    fail "the packaged man page differs from docs/kessandor.6"
complaints=$(man_warnings "$scratch/deb/usr/share/man/man6/kessandor.6.gz")
[ -z "$complaints" ] || fail "the packaged man page warns:"$'\n'"$complaints"
grep -q '^License: Expat$' "$scratch/deb/usr/share/doc/kessandor/copyright" ||
    fail "the copyright file names no licence"
zcat "$scratch/deb/usr/share/doc/kessandor/changelog.Debian.gz" | cmp - docs/changelog.Debian ||
    fail "the packaged changelog differs from docs/changelog.Debian"
echo "$deb: metadata, contents, game, man page and changelog as expected"

section "Package: lintian (errors, warnings and missing hardening fail)"
# lintian warns when it runs as root; that line is not about the package.
report=$(lintian --display-info --fail-on error,warning "$deb" 2> >(grep -v 'running with root' >&2)) ||
    fail "lintian found errors or warnings in $deb:"$'\n'"$report"
[ -z "$report" ] || echo "$report"
! grep -q 'hardening-' <<<"$report" || fail "the packaged game misses Debian's hardening flags"
echo "lintian: no errors, no warnings, hardened"

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
