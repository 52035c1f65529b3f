#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build tree with CPack and checks it: its
# control fields and computed dependencies, its contents and modes, its
# maintainer scripts. As root it then installs it with dpkg into a throw-away
# root, checks what the post-install step did, removes it (the record files
# stay) and purges it (they go).
# Usage: package_test.sh BUILD_DIR RECORD_DIR VERSION
set -eu
build=$1
record_dir=$2
version=$3

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

# The package of the test build, with prefix /usr as in `make package`.
if ! cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" -D CPACK_INSTALL_PREFIX=/usr \
    >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
set -- "$tmp"/out/zarvoni_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "FAIL: cpack made no single .deb: $*" >&2
    exit 1
fi
deb=$1
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "zarvoni_${version}_${arch}.deb" ] || fail "package file $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zarvoni ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = games ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# Computed by dpkg-shlibdeps from the binary, with versions...
depends=$(field Depends | tr -d ' ' | tr ',' '\n')
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    echo "$depends" | grep -q "^$library(>=" || fail "Depends lacks a computed $library: $(field Depends)"
done
# ...and what the program loads at run time.
for package in libqt6svg6 qt6-translations-l10n fonts-liberation2; do
    echo "$depends" | grep -qx "$package" || fail "Depends lacks $package: $(field Depends)"
done

# Contents: "mode owner/group ... ./path", one line each.
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' >"$tmp/contents"
expect_entry() {
    grep -qxF -e "$1" "$tmp/contents" || fail "the package lacks: $1"
}
expect_entry "-rwxr-xr-x root/root ./usr/games/zarvoni"
expect_entry "-rw-r--r-- root/root ./usr/share/applications/example.zarvoni.Zarvoni.desktop"
expect_entry "-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/zarvoni.png"
expect_entry "-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/zarvoni.svg"
expect_entry "-rw-r--r-- root/root ./usr/share/metainfo/example.zarvoni.Zarvoni.metainfo.xml"
expect_entry "-rw-r--r-- root/root ./usr/share/man/man6/zarvoni.6"
expect_entry "-rw-r--r-- root/root ./usr/share/man/it/man6/zarvoni.6"
expect_entry "drwxrwsr-x root/root .$record_dir/"
[ "$(grep -c '^-' "$tmp/contents")" -eq 7 ] || fail "the package holds other files: $(cat "$tmp/contents")"

dpkg-deb -e "$deb" "$tmp/control"
for script in postinst postrm; do
    if [ ! -x "$tmp/control/$script" ]; then
        fail "no executable $script"
    else
        sh -n "$tmp/control/$script" || fail "$script is not valid sh"
        grep -qF "$record_dir\"" "$tmp/control/$script" || fail "$script does not name $record_dir"
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

run_dpkg -i "$deb"
[ -x "$inst/usr/games/zarvoni" ] || fail "dpkg -i: no usr/games/zarvoni"
[ "$(stat -c %a:%U:%G "$records")" = 2775:root:games ] ||
    fail "after the post-install step the record directory is $(stat -c %a:%U:%G "$records")"

# The game has played: a record, the lock, and a temporary file a crash left behind.
printf '12\r\n' >"$records/eq.txt"
printf 'Giulia\r\n' >"$records/neq.txt"
: >"$records/.zarvoni.lock"
: >"$records/eq.txt.Ab12Cd"

run_dpkg -r zarvoni
[ ! -e "$inst/usr/games/zarvoni" ] || fail "dpkg -r left usr/games/zarvoni"
if [ ! -f "$records/eq.txt" ] || [ ! -f "$records/neq.txt" ]; then
    fail "dpkg -r removed the record files"
fi
[ "$(cat "$records/eq.txt")" = "$(printf '12\r')" ] || fail "dpkg -r changed the record"

run_dpkg -P zarvoni
[ ! -e "$records" ] || fail "dpkg -P left the record directory: $(ls -A "$records")"
[ ! -e "$inst/usr/share/applications/example.zarvoni.Zarvoni.desktop" ] || fail "dpkg -P left the desktop entry"

stop_if_failed
echo "package: ok"
