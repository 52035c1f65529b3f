#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# A pupil in no group, on the installed package: reads the record through the
# record keeper, stores a better one, and can do nothing else in the record
# directory; then every bad input of tests/keeper/keeper_attacks.py, as that
# pupil. Run as root in a mount namespace of its own (package_test.sh does it):
# VAR, the installed package's /var, is mounted in place of /var, and a copy of
# /etc with the installed package's /etc/zarvoni in place of /etc, for the cases
# that write the technician's setting.
# Usage: pupil_test.sh VAR ETC_ZARVONI KEEPER SOURCE_DIR
set -eu
var=$1
etc_zarvoni=$2
keeper=$3
src=$4
# A user id with no account and no group but its own: a pupil of a lab whose
# accounts come from the school's directory server.
pupil=64010
dir=/var/games/zarvoni

mount --bind "$var" /var
etc=$(mktemp -d)
cp -a /etc/. "$etc/"
rm -rf "$etc/zarvoni"
cp -a "$etc_zarvoni" "$etc/zarvoni"
mount --bind "$etc" /etc
failures=0
fail() {
    echo "FAIL: pupil: $*" >&2
    failures=$((failures + 1))
}
as_pupil() {
    setpriv --reuid="$pupil" --regid="$pupil" --clear-groups "$@"
}
# The group's own file in the record directory, as a teacher writes it.
put() {
    printf "$2" >"$dir/$1"
    chgrp games "$dir/$1"
    chmod 660 "$dir/$1"
}
put eq.txt '12\r\n'
put neq.txt 'Giulia\r\n'
put eq.txt.backup 'a copy\r\n'

answer=$(as_pupil "$keeper" read | od -An -c | tr -s ' \n' ' ')
case $answer in
*"s c o r e 4 \n 1 2 \r \n \n n a m e 8 \n G i u l i a \r \n"*) ;;
*) fail "the pupil does not read the record: $answer" ;;
esac
status=0
printf 'Mario' | as_pupil "$keeper" store 13 5 >/dev/null || status=$?
[ "$status" -eq 0 ] || fail "the pupil's better score is not stored (status $status)"
[ "$(od -An -c "$dir/eq.txt" | tr -s ' \n' ' ')" = " 1 3 \r \n " ] ||
    fail "eq.txt after the pupil's store: $(od -An -c "$dir/eq.txt")"
[ "$(od -An -c "$dir/neq.txt" | tr -s ' \n' ' ')" = " M a r i o \r \n " ] ||
    fail "neq.txt after the pupil's store: $(od -An -c "$dir/neq.txt")"
[ "$(cat "$dir/eq.txt.backup")" = "$(printf 'a copy\r')" ] || fail "the teacher's backup is gone"
# The keeper made the new files as its own user: they are games', out of the
# pupil's reach.
[ "$(stat -c %U:%G:%a "$dir/eq.txt")" = "games:games:660" ] ||
    fail "eq.txt is $(stat -c %U:%G:%a "$dir/eq.txt")"

# Without the keeper, nothing: not even the files the pupil owns.
for try in "ls $dir" "cat $dir/eq.txt" "touch $dir/new" "rm -f $dir/eq.txt" \
    "mv $dir/eq.txt $dir/old" "ln -s /etc/passwd $dir/link" "echo 99 >$dir/eq.txt" \
    "chmod 666 $dir/eq.txt" "chmod 666 $dir/.zarvoni.lock" \
    "flock -n $dir/.zarvoni.lock true" "rm -rf $dir"; do
    if as_pupil sh -c "$try" 2>/dev/null; then
        fail "the pupil could: $try"
    fi
done
[ "$(ls -A "$dir" | tr '\n' ' ')" = ".zarvoni.callers .zarvoni.kept-lock .zarvoni.lock eq.txt eq.txt.backup neq.txt " ] ||
    fail "the record directory holds: $(ls -A "$dir")"

# The results list: the pupil's game adds its line through the keeper, and the
# pupil can neither read nor change the list, by hand or through the keeper; a
# member of the setting's teachers' group reads it through the keeper.
status=0
printf 'Mario' | as_pupil "$keeper" result 13 0 13 1 uscita 5 >/dev/null || status=$?
[ "$status" -eq 0 ] || fail "the pupil's game line is not appended (status $status)"
month=$(find "$dir/risultati" -name "*.txt" | head -n 1)
[ "$(stat -c %U:%G:%a "$month")" = "games:games:660" ] && grep -q "	Mario	13	0	13	1	uscita	" "$month" ||
    fail "the results list is $(stat -c %U:%G:%a "$month"): $(cat "$month")"
for try in "ls $dir/risultati" "cat $month" "echo x >>$month" "rm -f $month" \
    "touch $dir/risultati/new.txt" "flock -n $dir/.zarvoni.results-lock true"; do
    if as_pupil sh -c "$try" 2>/dev/null; then
        fail "the pupil could: $try"
    fi
done
echo "insegnanti:x:64020:" >>/etc/group
printf 'teachers-group = insegnanti\n' >/etc/zarvoni/zarvoni.conf
for request in results clear-results; do
    status=0
    as_pupil "$keeper" $request >/dev/null || status=$?
    [ "$status" -eq 64 ] || fail "the pupil's $request is not refused (status $status)"
done
answer=$(setpriv --reuid=64011 --regid=64011 --groups=64020 "$keeper" results || true)
case $answer in
results*"	Mario	13	0	13	1	uscita	"*) ;;
*) fail "a teacher does not read the results list: $answer" ;;
esac
rm /etc/zarvoni/zarvoni.conf

/usr/bin/python3 "$src/tests/keeper/keeper_attacks.py" --keeper "$keeper" --record-dir "$dir" \
    --pupil "$pupil" --slow --config /etc/zarvoni/zarvoni.conf || fail "the keeper's bad inputs"

rm -rf "$dir"/* "$dir"/.zarvoni.*
umount /etc
rm -rf "$etc"
[ "$failures" -eq 0 ] || exit 1
echo "pupil: ok"
