#!/bin/sh
# Times the xbtool path on an address file: create, append, index (26 tags),
# seek --keys-from, dump --filter, pack. Not a test.
# Usage: xbtool_bench.sh XBTOOL [RECORDS=100000] [DIR=/tmp/xbtool_bench]
set -e
XBTOOL=${1:?path to xbtool}
N=${2:-100000}
DIR=${3:-/tmp/xbtool_bench}
rm -rf "$DIR"
mkdir -p "$DIR"
T="$DIR/ADDR.DBF"
FIELDS=LNAME:C:30,FNAME:C:30,MIDDLE:C:1,PREFIX:C:12,TITLE:C:30,ORG:C:30,STREET:C:40,STREET2:C:40,CITY:C:30,STATE:C:20,ZIP:C:10,COUNTRY:C:30,DATE:C:15,PHONE:C:30,PHONE2:C:30,FAX:C:30,EMAIL:C:30,CODES:C:30,USER1:C:40,USER2:C:40,ISDEL:L:1,TAG:C:8,MEMO:M:10

# Input lines in the dump format, every field filled.
awk -v n="$N" 'BEGIN {
    srand(1);
    split("Smith Johnson Williams Brown Jones Garcia Miller Davis Lopez Wilson Snow Small", last, " ");
    for (i = 1; i <= n; i++) {
        line = "0\t" (i % 10 == 0 ? "*" : "");
        line = line "\t" last[1 + int(rand() * 12)] int(rand() * 100000);
        for (f = 2; f <= 20; f++) line = line "\tv" int(rand() * 1000000);
        line = line "\t" (rand() < 0.1 ? "T" : "F") "\tt" i "\tmemo " i;
        print line;
    }
}' > "$DIR/input.txt"
awk -F'\t' 'NR % 4 != 0 { print toupper($3) } NR % 4 == 0 { print "QX" NR }' "$DIR/input.txt" > "$DIR/keys.txt"

t() {
    label=$1
    shift
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    printf '%-40s %8.3f s\n' "$label" "$(echo "$end - $start" | bc)"
}

t "create" "$XBTOOL" create "$T" --fields "$FIELDS"
t "append $N (no index)" sh -c "\"$XBTOOL\" append \"$T\" < \"$DIR/input.txt\""
t "index LNAME" "$XBTOOL" index "$T" --tag LNAME --expr "UPPER(LNAME)+UPPER(FNAME)"
t "index ZIP" "$XBTOOL" index "$T" --tag ZIP --expr "UPPER(ZIP)"
t "seek --keys-from ($N keys)" sh -c "\"$XBTOOL\" seek \"$T\" --tag LNAME --keys-from \"$DIR/keys.txt\" > \"$DIR/seek.out\" || true"
t "dump --filter" sh -c "\"$XBTOOL\" dump \"$T\" --filter 'UPPER(LNAME)=\"SM\" .and. !ISDEL' > \"$DIR/dump.out\""
t "pack" "$XBTOOL" pack "$T"
t "check" sh -c "\"$XBTOOL\" check \"$T\" > /dev/null"
echo "found: $(grep -c '^found' "$DIR/seek.out") of $N; dumped: $(wc -l < "$DIR/dump.out")"
