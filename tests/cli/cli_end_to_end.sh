#!/usr/bin/env bash
# End-to-end runs of zelvo-cli: exit codes, messages, files on disk, and its bash completion.
# Usage: cli_end_to_end.sh PATH_TO_ZELVO_CLI BASH_COMPLETION_SCRIPT
set -u
cli=$(realpath "$1")
completion=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/zelvo-cli-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# t STATUS TEXT ARGS...: zelvo-cli ARGS ends with STATUS and prints TEXT; its output stays in $out.
t() {
    out=$("$cli" "${@:3}" 2>&1)
    local rc=$?
    [[ $rc -eq $1 && $out == *"$2"* ]] || fail "zelvo-cli ${*:3}: exit $rc, expected $1 and '$2'; got: $out"
}

# completes WANTED WORDS...: completing the last of WORDS offers WANTED (sorted, comma-separated).
completes() {
    local got
    got=$(bash --norc -c '. "$1" && shift && COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) &&
        _zelvo_cli && printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" zelvo-cli "${@:2}" | LC_ALL=C sort | paste -sd,)
    [[ $got == "$1" ]] || fail "completion of '${*:2}': '$got', expected '$1'"
}

src="source file.v1.tar.gz"
dir="报告 目录"
set="$dir/$src"
mkdir out joined empty other raw plain cancel bigset crset longs ro "$dir"
head -c $((3 * 1048576 + 1000)) /dev/urandom >"$src"
head -c 1048576 /dev/urandom >one-chip.bin

# A usage error is one line saying what is wrong and one saying where to look.
t 64 "" split "$src"
[[ $out == "zelvo-cli: split takes SOURCE and DEST_FOLDER"$'\n'"Try 'zelvo-cli --help'." ]] || fail "usage: $out"
t 64 "zelvo-cli: unknown command: chop" chop "$src" out
t 64 "zelvo-cli: --no-checksum belongs to split" merge "$src" out --no-checksum
t 0 "--force" --help

# --size takes whole megabytes from 1 to 4095, bare or with M, or whole gigabytes with G; sizes that
# pass meet the next check, as this source is smaller than one chip of them.
for size in "" 0 2x 5K 1.5G 4096M 4G; do
    t 4 "Invalid file size!" split "$src" out --size "$size"
done
for size in 4 700M 1G 4095M; do
    t 4 "The source file is less than cmnt size!" split "$src" out --size "$size"
done
t 4 "The source file is less than cmnt size!" split one-chip.bin out --size 1
t 2 "nope.bin was not found." split nope.bin out --size 1
t 2 "nothing.DAV was not found." merge nothing.DAV joined
[[ -z $(ls -A out) ]] || fail "a refused split wrote files: $(ls -A out)"

# A round trip through a folder with CJK characters and a space; a pipe gets no progress line.
t 0 "The File Comminuting is Finished!" split "$src" "$dir/" --size 1M
[[ $out != *%* ]] || fail "a progress line drawn into a pipe: $out"
[[ -f "$set.D04" && ! -e "$set.D05" && $(od -An -tx1 "$set.DAV" | tr -d ' \n') == 04000000 ]] ||
    fail "split: $(ls "$dir")"
t 0 "Checksums: $set.sha256 (names and count match the set)" info "$set.DAV"
t 0 "  $src  OK"$'\n'"The chip set matches its checksums." verify "$set.DAV"
t 0 "" --quiet verify "$set.DAV"
[[ -z $out ]] || fail "verify --quiet printed: $out"
cp -r "$dir" pristine
completes info,merge,split,verify ""
completes --no-checksum --n
completes 1G,2G,4095M,700M split --size ""
completes "$set.D01,$set.D02,$set.D03,$set.D04,$set.DAV" info "$dir/"
completes "$dir" merge --force "$set.DAV" 报
completes "$src" split so
completes "" split "$src" "$dir" ""

# Joined beside its chips from chip 02, the file and the chips pass sha256sum -c with the
# checksum file as it is. Files already there are replaced only with --force.
t 0 "The File Merging is Finished!" merge "$set.D02" "$dir"
cmp -s "$src" "$set" || fail "merge: the joined file differs from the source"
(cd "$dir" && sha256sum --quiet -c "$src.sha256") || fail "sha256sum -c: the chips and the joined file"
printf old >"joined/$src"
t 4 "joined/$src already exists. Use --force" merge "$set.DAV" joined
[[ $(cat "joined/$src") == old ]] || fail "a refused merge changed the file there"
t 0 "The File Merging is Finished!" merge "$set.DAV" joined --force
cmp -s "$src" "joined/$src" || fail "merge --force: the joined file differs from the source"
t 4 "The folder already holds chip files of $set. Use --force" split "$src" "$dir" --size 1
t 0 "Finished!" split "$src" "$dir" --size 1 --force

# A damaged set: merge's status and message, verify's verdict on each chip and then on the whole
# source, info's status and message (info reads no chip contents).
d="dmg/$src"
"$cli" split "$src" other --size 2 >/dev/null || fail "split into other"
damage() { # DAMAGE MERGE_STATUS MERGE_TEXT VERDICTS INFO_STATUS INFO_TEXT
    rm -rf dmg && cp -r pristine dmg && eval "$1"
    t "$2" "$3" merge "$d.DAV" empty
    t 4 "" verify "$d.DAV"
    [[ $(sed -n 's/^  .*  //p' <<<"$out" | paste -sd,) == "$4" ]] || fail "verify after '$1': $out"
    t "$5" "$6" info "$d.DAV"
}
bad_sidecar="The checksum file $d.sha256 is damaged or belongs to another set!"
damage 'rm "$d.D03"' 2 "$d.D03 was not found." "OK,OK,MISSING,OK,NOT CHECKED" 4 "$d.D03 was not found."
damage 'head -c 10 /dev/zero >>"$d.D03"' 4 "$d.D03 is not as long as the first chip" \
    "OK,OK,WRONG LENGTH,OK,NOT CHECKED" 4 "$d.D03 is not as long as the first chip"
damage 'cp "other/$src.sha256" "$d.sha256"' 4 "$bad_sidecar" "" 4 "$bad_sidecar"
damage 'sed -i "\$s/^0/1/;t;\$s/^./0/" "$d.sha256"' 3 "does not match the source's checksum!" "OK,OK,OK,OK,DAMAGED" 0 \
    "The chip set is complete and consistent."
damage 'printf XXXXXXXX | dd of="$d.D02" bs=1 seek=1000 conv=notrunc status=none' 3 \
    "Chip 2 of 4 is damaged: $d.D02 does not match its checksum!" "OK,DAMAGED,OK,OK,NOT CHECKED" 0 "match the set"
[[ -z $(ls -A empty) ]] || fail "a failed merge left files: $(ls -A empty)"
# A link in a set is not followed, not even to a file of the same set: the message names the link
# (the engine's tests show the same of a link where split writes).
for f in D02 DAV sha256; do
    damage "ln -sf \"\$work/pristine/\$src.$f\" \"\$d.$f\"" 4 "$d.$f is not a regular file" "" 4 \
        "$d.$f is not a regular file"
done
rm -rf dmg && cp -r pristine dmg && sed -i 's/^[0-9a-f]*/\U&/' "$d.sha256" # upper-case digits read alike
t 0 "The chip set matches its checksums." verify "$d.DAV"

# Without a checksum file verify has nothing to check a set with.
t 0 "Finished!" split "$src" plain --size 1 --no-checksum
[[ -f "plain/$src.DAV" && ! -e "plain/$src.sha256" ]] || fail "split --no-checksum: $(ls plain)"
t 0 "Checksums: none" info "plain/$src.DAV"
t 4 "The chip set has no checksum file plain/$src.sha256!" verify "plain/$src.DAV"

# The destination is measured before a byte is written (a tmpfs of 2 MB, as root); a write past
# the largest file a file system takes (here a limit of 1 MB) is no full disk.
if ((EUID == 0)); then
    mkdir small
    out=$(unshare -m bash -c 'mount -t tmpfs -o size=2m zelvo small && "$0" split "$1" small --size 1; "$0" merge "plain/$1.DAV" small
        echo "exit $?" && ls -A small' "$cli" "$src" 2>&1)
    room="need 3.1 MB; the destination has 2 MB free."
    [[ $out == "The chip files of small/$src $room"$'\n'"small/$src ${room/need/needs}"$'\n'"exit 4" ]] || fail "too small: $out"
fi
out=$(trap '' XFSZ && ulimit -f 1024 && "$cli" merge "plain/$src.DAV" empty 2>&1)
[[ $? -eq 3 && $out == *"empty/$src is too large for the destination's file system." ]] || fail "EFBIG: $out"

# Chips beyond the header chip's count, a count of 1.
cp "$set.D01" "$set.D07"
beyond="The chip file $set.D07 lies beyond the count 4 of its header chip!"
t 4 "$beyond" info "$set.DAV" && t 4 "$beyond" verify "$set.DAV" && t 4 "$beyond" merge "$set.DAV" empty
printf '\001\000\000\000' >"$set.DAV"
t 4 "The header chip file is bad!" info "$set.DAV"

# A name with a backslash and a CR at its end: sha256sum -c reads the checksum file as it was
# written, and so do verify and the join beside the chips.
cr=$(printf 'cr\\name\r') && head -c $((1048576 + 1)) /dev/urandom >"$cr"
t 0 "Finished!" split "$cr" crset --size 1 && t 0 "matches its checksums." verify "crset/$cr.DAV"
t 0 "Finished!" merge "crset/$cr.DAV" crset
(cd crset && sha256sum --quiet -c "$cr.sha256") && cmp -s "$cr" "crset/$cr" || fail "a name ending in CR: $(ls crset)"
# Printed, the CR is an escape, not a return over the line (a failure could pass for "Finished").
t 0 'cr\name\r.D01  1048576' info "crset/$cr.DAV" && [[ $out != *$'\r'* ]] || fail "a CR reached the terminal: $out"

# A name whose checksum file's name is too long for the folder, though its chips' are not.
long=$(printf 'x%.0s' {1..250}) && head -c $((1048576 + 1)) /dev/zero >"$long"
t 4 "The name longs/$long.sha256 is too long for the destination folder!" split "$long" longs --size 1
t 0 "Finished!" split "$long" longs --size 1 --no-checksum

# A read-only destination says so (as root: a read-only tmpfs in a mount namespace of its own).
if ((EUID == 0)) && out=$(unshare -m bash -c 'mount -t tmpfs -o ro zelvo-ro ro && "$1" split "$2" ro --size 1' \
    _ "$cli" "$src" 2>&1; echo " exit $?") && [[ $out != *"unshare: "* ]]; then
    [[ $out == *"ro/$src.D01 could not be written because the destination is read-only."*" exit 3" ]] || fail "$out"
fi

# A name that is not UTF-8 is split byte for byte, never as the file its lossy text names.
bad=$(printf 'n\xff')
head -c $((2 * 1048576 + 1)) /dev/urandom >"$bad"
head -c $((2 * 1048576 + 1)) /dev/zero >"n$(printf '\xef\xbf\xbd')"
t 0 "Finished!" split "$bad" raw --size 1
cat "raw/$bad.D01" "raw/$bad.D02" "raw/$bad.D03" | cmp -s - "$bad" || fail "non-UTF-8 name: chips differ"

# Progress is drawn on a terminal.
tty_out=$(script -qec "'$cli' split '$src' out --size 1 --force" /dev/null 2>&1)
[[ $tty_out == *"100%"*"chip 4/4"* ]] || fail "no progress line on a terminal: $tty_out"

# A reader that has gone (`| head -1`) does not change the status of a finished run. The pipe's
# reading end is closed before the run starts, so every write meets it closed.
mkfifo no-reader
exec 3<>no-reader 4>no-reader 3<&-
"$cli" split "$src" out --size 1 --force >&4 2>/dev/null
rc=$?
exec 4>&-
((rc == 0)) || fail "closed output pipe: exit $rc"

# Every signal that would end the program cancels a run like Ctrl-C (exit 1): no header chip, no
# temporary, chips written so far stay. A second signal ends it at once, still removing the
# temporary. Meanwhile the set is the merge's: a split into it is refused. Each run is stopped once
# it has begun writing, so that all of this meets it running.
head -c $((100 * 1048576)) /dev/zero >big.bin
"$cli" split big.bin bigset --size 1 >/dev/null || fail "split into bigset"
for signals in TERM HUP "USR1 TERM" QUIT ALRM; do
    rm -f cancel/*
    run=(merge bigset/big.bin.DAV cancel)
    [[ $signals == TERM ]] && run=(split big.bin cancel --size 1)
    "$cli" "${run[@]}" >ran 2>&1 &
    pid=$!
    for _ in {1..500}; do
        compgen -G "cancel/big.bin.*" >/dev/null && break
        sleep 0.01
    done
    kill -STOP "$pid"
    [[ $signals != HUP ]] ||
        t 3 "Another run is writing the chip set bigset/big.bin at this moment!" split big.bin bigset --size 1 --force
    for signal in $signals; do kill -"$signal" "$pid"; done
    kill -CONT "$pid"
    wait "$pid"
    rc=$?
    [[ $rc -eq 1 && -z $(ls -A cancel | grep -v '^big\.bin\.D[0-9]*$') &&
        ($signals == *" "* || $(<ran) == "Files Total: 100"$'\n'*" is canceled!") ]] ||
        fail "${run[0]}, kill -$signals: exit $rc, left $(ls -A cancel): $(<ran)"
done

if ((failures)); then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "all zelvo-cli runs as expected"
