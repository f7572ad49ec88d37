#!/usr/bin/env bash
# The release zip as a player gets it (cmake/package.cmake): exactly
# LICENSE, README.txt and Wingzap.exe; the exe the shipped one, its version
# record the version in the zip's name; the texts with CRLF line ends; the
# checksum beside it holds. Beside it the installer of the same version,
# whose checksum holds and which a second build, elsewhere and later, makes
# with the same bytes (what it installs, tests/runtime/install.sh checks).
# Usage: package.sh DIST_DIR SHIPPED_EXE LICENSE SOURCE_DIR
set -euo pipefail
dist=$1 exe=$2 licence=$3 source=$4
fail() { echo "package: $*" >&2; exit 1; }

shopt -s nullglob
zips=("$dist"/Wingzap-*-win32.zip)
[ ${#zips[@]} -eq 1 ] || fail "one Wingzap-<version>-win32.zip expected in $dist, found ${#zips[@]}"
zip=${zips[0]}
name=${zip##*/}
version=${name#Wingzap-}
version=${version%-win32.zip}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
files=$(cd "$work" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | paste -sd' ')
[ "$files" = "LICENSE README.txt Wingzap.exe" ] || fail "$name holds: $files"
cmp -s "$work/Wingzap.exe" "$exe" || fail "the Wingzap.exe in $name is not $exe"

# The fixed part of the version record: its signature 0xFEEF04BD, the
# structure's version (1.0; NSIS writes 0), then FileVersion as two DWORDs,
# major.minor and build.revision, each half a WORD.
file_version() {
    local at ms ls
    at=$(LC_ALL=C grep -obUaP '\xBD\x04\xEF\xFE\x00\x00[\x00\x01]\x00' "$1" | head -n1 | cut -d: -f1)
    [ -n "$at" ] || return 0
    read -r ms ls < <(od -An -tx4 --endian=little -j $((at + 8)) -N8 "$1")
    echo $((16#${ms:0:4})).$((16#${ms:4:4})).$((16#${ls:0:4})).$((16#${ls:4:4}))
}
file_version=$(file_version "$work/Wingzap.exe")
[ "$file_version" = "$version" ] || fail "the exe's FileVersion is ${file_version:-missing}, the zip's name says $version"

# Notepad before Windows 10 needs CRLF.
cmp -s "$work/LICENSE" <(sed 's/$/\r/' "$licence") || fail "LICENSE in $name is not $licence with CRLF line ends"
! LC_ALL=C grep -q $'[^\r]$\|^$' "$work/README.txt" || fail "README.txt in $name has a line without CRLF"
[ "$(head -n1 "$work/README.txt")" = "Wingzap $version"$'\r' ] || fail "README.txt does not start with \"Wingzap $version\""

[ "$(cat "$zip.sha256")" = "$(cd "$dist" && sha256sum "$name")" ] || fail "$name.sha256 does not hold: $(cat "$zip.sha256")"

setups=("$dist"/Wingzap-*-setup.exe)
[ ${#setups[@]} -eq 1 ] || fail "one Wingzap-<version>-setup.exe expected in $dist, found ${#setups[@]}"
setup=${setups[0]}
setup_name=${setup##*/}
[ "$setup_name" = "Wingzap-$version-setup.exe" ] || fail "$setup_name beside $name"
[ "$(file_version "$setup")" = "$version" ] || fail "the FileVersion of $setup_name is $(file_version "$setup")"
[ "$(cat "$setup.sha256")" = "$(cd "$dist" && sha256sum "$setup_name")" ] || fail "$setup_name.sha256 does not hold: $(cat "$setup.sha256")"
# The second build: from copies of its files (new times, another folder).
build=$(dirname "$exe")
mkdir -p "$work/again/package" "$work/again/art" "$work/again/dist"
cp "$exe" "$work/again/"
cp "$build/package/README.txt" "$build/package/LICENSE" "$work/again/package/"
cp "$build/art/app.ico" "$work/again/art/"
cmake -DMAKENSIS="$(command -v makensis)" -DSOURCE="$source" -DBINARY="$work/again" -DVERSION="$version" \
    -DSETUP="$work/again/dist/$setup_name" -P "$source/cmake/setup.cmake" || fail "the second build of $setup_name failed"
cmp -s "$setup" "$work/again/dist/$setup_name" || fail "a second build of $setup_name gives other bytes"
echo "package: $name holds $files; FileVersion $file_version; checksum holds; $setup_name beside it, built again with the same bytes"
