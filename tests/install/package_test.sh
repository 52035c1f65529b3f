#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package as `make package` does (dpkg-buildpackage in a copy
# of the source tree), in an environment that names another maintainer, and
# checks it: lintian with info tags, the control fields and computed
# dependencies, the contents and their modes, hardening-check on every ELF file
# and the compiler's options recorded in the debug symbols, that nothing of the
# building machine got in, the maintainer scripts. As root it then installs
# it with dpkg into a throw-away root, tries the installed record keeper as a
# pupil in no group would (tests/install/pupil_test.sh), removes the package
# (the record files stay) and purges it (they go, a teacher's own files stay).
# Usage: package_test.sh SOURCE_DIR OUT_DIR VERSION
set -eu
src=$1
out=$2
version=$3
# The package's own, whatever the test build uses.
record_dir=/var/games/zarvoni

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
stop_if_failed() {
    [ "$failures" -eq 0 ] || exit 1
}

maintainer="Gli autori di Zarvoni <zarvoni@example.org>"
# An identity the build must ignore, everywhere dpkg, debhelper or git would find one.
stranger_name="Macchina Estranea"
stranger_email="estranea@build-machine.invalid"
mkdir -p "$(dirname "$out")"
log=$out.log
if ! DEBFULLNAME=$stranger_name DEBEMAIL=$stranger_email NAME=$stranger_name \
    EMAIL="$stranger_name <$stranger_email>" \
    GIT_AUTHOR_NAME=$stranger_name GIT_AUTHOR_EMAIL=$stranger_email \
    GIT_COMMITTER_NAME=$stranger_name GIT_COMMITTER_EMAIL=$stranger_email \
    GIT_CONFIG_COUNT=2 GIT_CONFIG_KEY_0=user.name GIT_CONFIG_VALUE_0=$stranger_name \
    GIT_CONFIG_KEY_1=user.email GIT_CONFIG_VALUE_1=$stranger_email \
    "$src/packaging/build-deb" "$out" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "FAIL: packaging/build-deb (whole log: $log)" >&2
    exit 1
fi
# The package build uses Debian's flags (-O2, fortify): the compiler may warn
# there where the test build does not.
if grep -n ': warning: ' "$log" >&2; then
    fail "the package build has compiler warnings (log: $log)"
fi

arch=$(dpkg --print-architecture)
deb=$out/zarvoni_${version}_${arch}.deb
dbgsym=$out/zarvoni-dbgsym_${version}_${arch}.deb
changes=$out/zarvoni_${version}_${arch}.changes
for file in "$deb" "$dbgsym" "$changes"; do
    [ -f "$file" ] || fail "no $(basename "$file"), only: $(ls "$out")"
done
stop_if_failed

# lintian as a Debian technician runs it, on every package of the build and its
# .changes; its info tags include the hardening ones. Justified overrides live
# in debian/; an override no longer needed is an info tag too.
if ! lintian -I --fail-on error,warning,info --tag-display-limit 0 "$changes" \
    >"$tmp/lintian.out" 2>&1; then
    cat "$tmp/lintian.out" >&2
    fail "lintian"
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zarvoni ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not the project's $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = games ] || fail "Section: $(field Section)"
[ "$(field Maintainer)" = "$maintainer" ] || fail "Maintainer: $(field Maintainer)"
# Computed by dpkg-shlibdeps from the binary, with versions...
depends=$(field Depends | tr -d ' ' | tr ',' '\n')
# (Debian 13 names Qt Core libqt6core6t64, after its move to a 64-bit time_t.)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    echo "$depends" | grep -q "^$library\(t64\)\{0,1\}(>=" || fail "Depends lacks a computed $library: $(field Depends)"
done
# ...and what the program loads at run time.
for package in libqt6svg6 qt6-qpa-plugins qt6-translations-l10n fonts-liberation2; do
    echo "$depends" | grep -q "^$package\$\|^$package(" || fail "Depends lacks $package: $(field Depends)"
done
# Qt SVG's icon engine and image format, without which no picture is drawn, under
# the name of each release: in libqt6svg6 up to Debian 12, apart from Debian 13 on.
echo "$depends" | grep -qxF "qt6-svg-plugins|libqt6svg6(<<6.7.2-5~)" ||
    fail "Depends lacks Qt SVG's plugins: $(field Depends)"

# Contents: "mode owner/group ./path", one line each.
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' >"$tmp/contents"
grep '^-' "$tmp/contents" | sort >"$tmp/files"
sort >"$tmp/expected" <<EOF
-rwsr-sr-x games/games ./usr/lib/games/zarvoni/zarvoni-keeper
-rwxr-xr-x root/root ./usr/games/zarvoni
-rwxr-xr-x root/root ./usr/bin/zarvoni-risultati
-rw-r--r-- root/root ./usr/share/man/it/man1/zarvoni-risultati.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/zarvoni-risultati.1.gz
-rw-r--r-- root/root ./etc/zarvoni/zarvoni.conf
-rw-r--r-- root/root ./usr/share/applications/example.zarvoni.Zarvoni.desktop
-rw-r--r-- root/root ./usr/share/doc/zarvoni/README.md.gz
-rw-r--r-- root/root ./usr/share/doc/zarvoni/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/zarvoni/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/zarvoni.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/zarvoni.svg
-rw-r--r-- root/root ./usr/share/lintian/overrides/zarvoni
-rw-r--r-- root/root ./usr/share/man/it/man6/zarvoni.6.gz
-rw-r--r-- root/root ./usr/share/man/man6/zarvoni.6.gz
-rw-r--r-- root/root ./usr/share/metainfo/example.zarvoni.Zarvoni.metainfo.xml
EOF
diff -u "$tmp/expected" "$tmp/files" >&2 || fail "the package's files differ from those expected (above)"
# The record directory is the games group's alone, and only the keeper is
# set-user-id and set-group-id games; the game least of all.
grep -qxF "drwxrws--- root/games .$record_dir/" "$tmp/contents" ||
    fail "the record directory is not root/games 2770: $(grep -F "$record_dir" "$tmp/contents")"
if grep -v "^d.* .$record_dir/\$" "$tmp/contents" |
    grep -vxF -- "-rwsr-sr-x games/games ./usr/lib/games/zarvoni/zarvoni-keeper" |
    grep '^...[sS]\|^......[sS]' >&2; then
    fail "set-user-id or set-group-id entries (above)"
fi

mkdir "$tmp/deb" "$tmp/dbgsym"
dpkg-deb -R "$deb" "$tmp/deb"
dpkg-deb -R "$dbgsym" "$tmp/dbgsym"
program=$tmp/deb/usr/games/zarvoni
# The record directory the program was built for (a UTF-16 string in it), and
# the one its manual page names, are the package's.
{ strings -a -el "$program"; strings -a -eb "$program"; } | grep -qxF "$record_dir" ||
    fail "the program does not use $record_dir"
for page in man6/zarvoni.6.gz it/man6/zarvoni.6.gz; do
    zgrep -qF "$record_dir/eq.txt" "$tmp/deb/usr/share/man/$page" ||
        fail "the manual page $page does not name $record_dir/eq.txt"
done
# The split debug symbols belong to this program.
build_id=$(readelf -n "$program" | sed -n 's/^ *Build ID: //p')
[ -n "$build_id" ] && [ -f "$tmp/dbgsym/usr/lib/debug/.build-id/$(echo "$build_id" |
    cut -c1-2)/$(echo "$build_id" | cut -c3-).debug" ] || fail "no debug symbols for build id '$build_id'"
if readelf -S "$program" | grep -q '\.debug_\|\.comment'; then
    fail "the program is not stripped: $(readelf -S "$program" | grep -o '\.debug_[a-z]*\|\.comment' | tr '\n' ' ')"
fi

# Every ELF file of the package, found by its first four bytes rather than by
# name or place, so that a program the package gains is checked too.
find "$tmp/deb" -type f | sort >"$tmp/files-unpacked"
: >"$tmp/elf-files"
while IFS= read -r file; do
    if [ "$(od -An -tx1 -N4 "$file" | tr -d ' ')" = 7f454c46 ]; then
        echo "$file" >>"$tmp/elf-files"
    fi
done <"$tmp/files-unpacked"
grep -qxF "$program" "$tmp/elf-files" ||
    fail "the program is not among the ELF files found: $(tr '\n' ' ' <"$tmp/elf-files")"
# hardening-check with nothing left out on each: PIE, stack protector, fortified
# functions, read-only relocations, immediate binding, control-flow integrity.
# Debian 13's also looks for AArch64's branch protection (BTI, PAC), which no
# program of another processor has: it is asked for on arm64 alone.
skip=""
if [ "$arch" != arm64 ] && hardening-check --help 2>&1 | grep -q -- --nobranchprotection; then
    skip=--nobranchprotection
fi
while IFS= read -r file; do
    if ! hardening-check $skip "$file" >"$tmp/hardening.out" 2>&1; then
        cat "$tmp/hardening.out" >&2
        fail "hardening-check ${file#"$tmp/deb"}"
    fi
done <"$tmp/elf-files"
# The linker is told to mark the programs ready for control-flow enforcement
# whatever their objects say (debian/rules), so the marking alone proves nothing:
# every unit compiled into them, as its debug symbols record, must have been
# compiled with -fcf-protection=full, and with -fstack-clash-protection, the
# last of each kind of option winning.
# With more than one program, dh_dwz moves what their debug symbols share, the
# producer strings among them, into one file under .dwz/, which the others
# point into: the producers are read from both.
find "$tmp/dbgsym" -type f -name '*.debug' | sort >"$tmp/debug-files"
[ -s "$tmp/debug-files" ] || fail "no debug symbols in $(basename "$dbgsym")"
: >"$tmp/producers"
while IFS= read -r debug; do
    case $debug in
    */.dwz/*)
        readelf -z -p .debug_str "$debug" 2>/dev/null |
            sed -n 's/^ *\[ *[0-9a-f]*\]  //p' | grep '^GNU C' >>"$tmp/producers" || true
        ;;
    *)
        readelf -z --debug-dump=info "$debug" 2>/dev/null | grep 'DW_AT_producer' >"$tmp/units" || true
        [ -s "$tmp/units" ] || fail "no compile units in ${debug#"$tmp/dbgsym"}"
        sed -n 's/^.*DW_AT_producer *: *\(([^)]*): \)\{0,1\}//p' "$tmp/units" |
            grep -v '^(alt indirect string' >>"$tmp/producers" || true
        ;;
    esac
done <"$tmp/debug-files"
sort -u -o "$tmp/producers" "$tmp/producers"
[ -s "$tmp/producers" ] || fail "no compiler options found in the debug symbols"
while IFS= read -r producer; do
    cf=$(echo "$producer" | grep -o -- '-fcf-protection=[a-z]*' | tail -n 1)
    clash=$(echo "$producer" | grep -o -- '-f\(no-\)\{0,1\}stack-clash-protection' | tail -n 1)
    if [ "$cf" != -fcf-protection=full ] || [ "$clash" != -fstack-clash-protection ]; then
        fail "compiled without -fcf-protection=full or -fstack-clash-protection: $producer"
    fi
done <"$tmp/producers"

# Nothing of the building machine: neither the identity its environment offered
# nor where the sources and the build were. Debug symbols included.
for text in "$stranger_name" "$stranger_email" "$src" "$out"; do
    if grep -rlaF -e "$text" "$tmp/deb" "$tmp/dbgsym" "$changes" "${changes%.changes}.buildinfo" \
        >"$tmp/found"; then
        fail "'$text' is in the package: $(tr '\n' ' ' <"$tmp/found")"
    fi
done

# Maintainer scripts: the post-install step, which closes a record directory an
# earlier version left open, and the post-removal step, which purges the record.
for script in postinst postrm; do
    if [ ! -x "$tmp/deb/DEBIAN/$script" ]; then
        fail "no executable $script"
    else
        sh -n "$tmp/deb/DEBIAN/$script" || fail "$script is not valid sh"
        grep -qF "$record_dir" "$tmp/deb/DEBIAN/$script" || fail "$script does not name $record_dir"
    fi
done
stop_if_failed

if [ "$(id -u)" -ne 0 ]; then
    echo "package: contents ok; installing it with dpkg needs root: skipped"
    exit 77
fi

# A throw-away root with an empty dpkg database. The maintainer scripts run
# without chroot, on paths under $DPKG_ROOT.
inst=$tmp/inst
mkdir -p "$inst/var/lib/dpkg/info" "$inst/var/lib/dpkg/updates"
: >"$inst/var/lib/dpkg/status"
run_dpkg() {
    dpkg --root="$inst" --log="$tmp/dpkg.log" --force-script-chrootless --force-depends \
        "$@" >>"$tmp/dpkg.out" 2>&1 || { cat "$tmp/dpkg.out" >&2; fail "dpkg $*"; exit 1; }
}
records=$inst$record_dir

# What an earlier version left: the record directory open to others, 2775, and
# a lock file of a pupil's own, 0664.
mkdir -p "$records"
chgrp games "$records"
chmod 2775 "$records"
: >"$records/.zarvoni.lock"
chown 64011:games "$records/.zarvoni.lock"
chmod 664 "$records/.zarvoni.lock"
run_dpkg -i "$deb"
games=$(getent group games | cut -d: -f3)
keeper=$inst/usr/lib/games/zarvoni/zarvoni-keeper
[ -x "$inst/usr/games/zarvoni" ] || fail "dpkg -i: no usr/games/zarvoni"
[ "$(stat -c %a:%U:%G "$keeper")" = "6755:games:games" ] ||
    fail "installed, the keeper is $(stat -c %a:%U:%G "$keeper")"
# postinst takes over what an earlier version's keeper made as a pupil.
[ "$(stat -c %U:%G:%a "$records/.zarvoni.lock")" = "games:games:660" ] ||
    fail "installed, the old lock file is $(stat -c %U:%G:%a "$records/.zarvoni.lock")"
[ "$(stat -c %a:%u:%g "$records")" = "2770:0:$games" ] ||
    fail "installed, the record directory is $(stat -c %a:%U:%G "$records")"

# A pupil in no group, with the installed keeper. The keeper works in the real
# /var/games/zarvoni, its directory fixed at build time: in a mount namespace of
# its own the throw-away root's /var takes the real one's place.
chmod 755 "$tmp"
if unshare --mount --propagation private true 2>/dev/null; then
    unshare --mount --propagation private \
        sh "$src/tests/install/pupil_test.sh" "$inst/var" "$inst/etc/zarvoni" "$keeper" "$src" ||
        fail "pupil_test.sh"
else
    echo "package: no mount namespace here, so no pupil tries the installed keeper"
fi

# The game has played: a record, the lock, what a killed game left behind (a
# pending pair, a damaged one set aside, a temporary file), and a teacher's copy.
printf '12\r\n' >"$records/eq.txt"
printf 'Giulia\r\n' >"$records/neq.txt"
: >"$records/.zarvoni.lock"
printf '13\r\nLuca\r\n' >"$records/.zarvoni.pending"
printf '14\r\n' >"$records/.zarvoni.damaged"
: >"$records/.zarvoni.tmp.eq.txt"
printf 'a copy\r\n' >"$records/eq.txt.backup"
mkdir -p "$records/risultati"
printf 'Z1\tcut' >"$records/risultati/2026-12.txt"
: >"$records/.zarvoni.results-lock"

run_dpkg -r zarvoni
[ ! -e "$inst/usr/games/zarvoni" ] || fail "dpkg -r left usr/games/zarvoni"
if [ ! -f "$records/eq.txt" ] || [ ! -f "$records/neq.txt" ]; then
    fail "dpkg -r removed the record files"
fi
[ "$(cat "$records/eq.txt")" = "$(printf '12\r')" ] || fail "dpkg -r changed the record"
[ -f "$records/risultati/2026-12.txt" ] || fail "dpkg -r removed the results list"

run_dpkg -P zarvoni
[ "$(ls -A "$records")" = eq.txt.backup ] ||
    fail "dpkg -P left in the record directory not only the teacher's file: $(ls -A "$records")"
[ ! -e "$inst/usr/share/applications/example.zarvoni.Zarvoni.desktop" ] ||
    fail "dpkg -P left the desktop entry"

stop_if_failed
echo "package: ok"
