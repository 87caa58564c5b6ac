#!/bin/sh
# Times the xbtool path on an address file, the same work as the engine
# benchmark: append with no index, index (the 26 address tags), append with
# the 26 tags kept up to date, seek --keys-from, dump --filter, pack (one
# record in ten is marked for deletion). Not a test.
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

# Wall time, CPU time (user + system) and peak memory of each command. The
# CPU time shows the work done even when a shared machine makes the wall
# time mostly waiting.
t() {
    label=$1
    shift
    /usr/bin/time -f '%e %U %S %M' -o "$DIR/time.txt" "$@"
    read -r wall user sys rss < "$DIR/time.txt"
    printf '%-40s %8.3f s  cpu %8.3f s  peak %6.1f MB\n' "$label" "$wall" "$(echo "$user + $sys" | bc)" \
        "$(echo "scale=1; $rss / 1024" | bc)"
}

# The 26 address tags: name, a tab, the key expression.
cat > "$DIR/tags.txt" <<'TAGS'
NAME	UPPER(LNAME-FNAME)
LNAME	UPPER(LNAME)+UPPER(FNAME)
FNAME	UPPER(FNAME)
TITLE	UPPER(TITLE)
ORG	UPPER(ORG)
STREET	UPPER(STREET)
STREET2	UPPER(STREET2)
CITY	UPPER(CITY+STATE)
STATE	UPPER(STATE)
ZIP	UPPER(ZIP)
COUNTRY	UPPER(COUNTRY)
PHONE	UPPER(PHONE)
PHONE2	UPPER(PHONE2)
EMAIL	UPPER(EMAIL)
FAX	UPPER(FAX)
USER1	UPPER(USER1)
USER2	UPPER(USER2)
DATE	UPPER(DATE)
TAG	UPPER(TAG)
CODES	UPPER(CODES)
PREFIX	UPPER(PREFIX)
MIDDLE	UPPER(MIDDLE)
DELETED	DELETED()
STATEZIP	UPPER(STATE-ZIP)
ISDEL	ISDEL
NOTISDEL	!ISDEL
TAGS
# One index command per tag, as a user would type them.
cat > "$DIR/indexall.sh" <<'SCRIPT'
while IFS='	' read -r name expr; do
    "$1" index "$2" --tag "$name" --expr "$expr"
done < "$3"
SCRIPT
T2="$DIR/TAGGED.DBF"

t "create" "$XBTOOL" create "$T" --fields "$FIELDS"
t "append $N (no index)" sh -c "\"$XBTOOL\" append \"$T\" < \"$DIR/input.txt\""
t "index: the 26 tags, one command each" sh "$DIR/indexall.sh" "$XBTOOL" "$T" "$DIR/tags.txt"
"$XBTOOL" create "$T2" --fields "$FIELDS"
sh "$DIR/indexall.sh" "$XBTOOL" "$T2" "$DIR/tags.txt"
t "append $N with the 26 tags" sh -c "\"$XBTOOL\" append \"$T2\" < \"$DIR/input.txt\""
rm -f "$DIR"/TAGGED.*
t "seek --keys-from ($N keys, LNAME)" sh -c "\"$XBTOOL\" seek \"$T\" --tag LNAME --keys-from \"$DIR/keys.txt\" > \"$DIR/seek.out\"; test \$? -le 1"
t "dump --filter" sh -c "\"$XBTOOL\" dump \"$T\" --filter 'UPPER(LNAME)=\"SM\" .and. !ISDEL' > \"$DIR/dump.out\""
t "pack (10% marked), 26 tags rebuilt" "$XBTOOL" pack "$T"
t "check" sh -c "\"$XBTOOL\" check \"$T\" > /dev/null"
echo "found: $(grep -c '^found' "$DIR/seek.out") of $N; dumped: $(wc -l < "$DIR/dump.out")"
