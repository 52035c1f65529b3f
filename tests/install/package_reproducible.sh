#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package a second time, as `make package` does, and compares
# both .deb files byte for byte with those of the first build: the package must
# depend on its sources alone, not on where, when or by whom it is built. The
# first build is install_package's (tests/install/CMakeLists.txt pins its
# conditions); this one differs from it in everything a build machine may offer
# a build that could reach the package:
#
#   first build                       second build
#   FIRST_OUT_DIR                     SECOND_OUT_DIR
#   umask 022                         umask 002
#   C.UTF-8                           it_IT.UTF-8: Italian messages, collation,
#                                     decimal comma (generated privately with
#                                     localedef when not installed)
#   TZ=UTC                            TZ=XXX-14, fourteen hours ahead of UTC
#   another maintainer's identity     the caller's
#                                     a minute or more later
#
# On a difference it prints the start of diffoscope's report and keeps the
# whole report beside the second build.
# Usage: package_reproducible.sh SOURCE_DIR FIRST_OUT_DIR SECOND_OUT_DIR VERSION
set -eu
src=$1
first=$2
second=$3
version=$4

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
arch=$(dpkg --print-architecture)
debs="zarvoni_${version}_${arch}.deb zarvoni-dbgsym_${version}_${arch}.deb"
for deb in $debs; do
    if [ ! -f "$first/$deb" ]; then
        echo "FAIL: no first build: $first/$deb is missing (install_package builds it)" >&2
        exit 1
    fi
done

# The first build made every file of its source copy, and no one can set a
# file's change time back: the oldest is when that build began.
began=$(find "$first/zarvoni-$version" -printf '%C@\n' | sort -n | head -n 1 | cut -d. -f1)
elapsed=$(($(date +%s) - began))
if [ "$elapsed" -lt 61 ]; then
    sleep $((61 - elapsed))
fi
echo "package_reproducible: the second build begins $(($(date +%s) - began)) s after the first"

locale=it_IT.UTF-8
if [ -n "$(LC_ALL=$locale locale 2>&1 >/dev/null)" ]; then
    # Not installed: compiled for this test alone, from the sources that the
    # locales package installs.
    mkdir "$tmp/locales"
    if ! localedef -i it_IT -f UTF-8 "$tmp/locales/$locale" >"$tmp/localedef.out" 2>&1; then
        cat "$tmp/localedef.out" >&2
        echo "FAIL: localedef $locale" >&2
        exit 1
    fi
    LOCPATH=$tmp/locales
    export LOCPATH
fi

# Runs a command in the second build's conditions.
in_second_conditions() {
    umask 002
    unset LANGUAGE
    LANG=$locale LC_ALL=$locale TZ=XXX-14
    export LANG LC_ALL TZ
    "$@"
}
# Each condition really in effect: the locale loads (else the build would fall
# back to C without a word from most programs), and the time zone and umask hold.
check_conditions() {
    ok=0
    errors=$(locale 2>&1 >/dev/null)
    [ -z "$errors" ] || { echo "FAIL: locale $LC_ALL: $errors" >&2; ok=1; }
    [ "$(locale decimal_point)" = "," ] ||
        { echo "FAIL: $LC_ALL has no decimal comma: '$(locale decimal_point)'" >&2; ok=1; }
    [ "$(date +%z)" = +1400 ] || { echo "FAIL: TZ=$TZ gives $(date +%z)" >&2; ok=1; }
    [ "$(umask)" = 0002 ] || { echo "FAIL: umask $(umask)" >&2; ok=1; }
    return $ok
}
(in_second_conditions check_conditions) || exit 1

mkdir -p "$(dirname "$second")"
log=$second.log
if ! (in_second_conditions "$src/packaging/build-deb" "$second") >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "FAIL: the second packaging/build-deb (whole log: $log)" >&2
    exit 1
fi

failures=0
for deb in $debs; do
    if cmp -s "$first/$deb" "$second/$deb"; then
        echo "package_reproducible: $deb is the same, $(stat -c %s "$second/$deb") bytes"
        continue
    fi
    failures=$((failures + 1))
    report=$second/${deb%.deb}.diffoscope.txt
    # diffoscope exits 1 when it finds differences, which is the case here.
    diffoscope --no-progress --text "$report" "$first/$deb" "$second/$deb" \
        >"$tmp/diffoscope.out" 2>&1 || [ $? -eq 1 ] || cat "$tmp/diffoscope.out" >&2
    echo "FAIL: $deb differs between $first and $second; diffoscope says (whole report: $report):" >&2
    head -n 60 "$report" >&2 || true
done
[ "$failures" -eq 0 ] || exit 1
echo "package_reproducible: ok"
