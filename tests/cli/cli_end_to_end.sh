#!/usr/bin/env bash
# End-to-end runs of zelvo-cli. Usage: cli_end_to_end.sh PATH_TO_ZELVO_CLI BASH_COMPLETION_SCRIPT
set -u
cli=$1
completion=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/zelvo-cli-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect NAME STATUS TEXT -- command...: runs the command, checks its exit status and that TEXT
# appears in what it printed.
expect() {
    local name=$1 status=$2 text=$3
    shift 4
    local out rc
    out=$("$@" 2>&1)
    rc=$?
    [[ $rc -eq $status ]] || fail "$name: exit $rc, expected $status; output: $out"
    [[ -z $text || $out == *"$text"* ]] || fail "$name: output lacks '$text': $out"
}

cd "$work"
mkdir out joined other plain "报告 目录"
head -c $((3 * 1048576 + 1000)) /dev/urandom >"source file.v1.tar.gz"
src="source file.v1.tar.gz"
head -c 1048576 /dev/urandom >one-chip.bin

# Refusals, in the Comminute dialog's order: the first failing check wins.
expect empty-source-and-size 4 "Please select the source file!" -- "$cli" split "" out --size 0
expect size-zero 4 "Invalid file size!" -- "$cli" split "$src" out --size 0
expect size-missing 4 "Invalid file size!" -- "$cli" split "$src" out
expect size-4096 4 "Invalid file size!" -- "$cli" split "$src" out --size 4096
expect size-not-a-number 4 "Invalid file size!" -- "$cli" split "$src" out --size 2x
expect size-4096M 4 "Invalid file size!" -- "$cli" split "$src" out --size 4096M
expect size-0M 4 "Invalid file size!" -- "$cli" split "$src" out --size 0M
expect size-fraction-of-G 4 "Invalid file size!" -- "$cli" split "$src" out --size 1.5G
expect size-in-K 4 "Invalid file size!" -- "$cli" split "$src" out --size 5K
expect size-4G 4 "Invalid file size!" -- "$cli" split "$src" out --size 4G
# Sizes that pass reach the next check: the source is smaller than one chip.
expect size-700M 4 "The source file is less than cmnt size!" -- "$cli" split "$src" out --size 700M
expect size-1G 4 "The source file is less than cmnt size!" -- "$cli" split "$src" out --size 1G
expect size-4095M 4 "The source file is less than cmnt size!" -- "$cli" split "$src" out --size 4095M
expect empty-folder 4 "Please select folder for destination file(s)!" -- "$cli" split "$src" "" --size 1
expect missing-source 2 "nope.bin was not found." -- "$cli" split nope.bin out --size 1
expect source-too-small 4 "The source file is less than cmnt size!\\bYou needn't comminute it at all." -- \
    "$cli" split "$src" out --size 4
expect source-one-chip-long 4 "The source file is less than cmnt size!" -- "$cli" split one-chip.bin out --size 1
expect split-folder-gone 2 "gone was not found." -- "$cli" split "$src" gone --size 1
expect unknown-command 64 "unknown command" -- "$cli" chop "$src" out
[[ -z $(ls out) ]] || fail "a refused split wrote files: $(ls out)"

# A usage error is one line and where to look; the help lists our options, not Qt's.
usage=$("$cli" split "$src" 2>&1)
[[ $? -eq 64 && $usage == "zelvo-cli: "*$'\n'"Try 'zelvo-cli --help'." && $(wc -l <<<"$usage") -eq 2 ]] ||
    fail "usage error: $usage"
help=$("$cli" --help)
[[ $help == *--force* && $help != *help-all* ]] || fail "help: $help"

# A split into a folder with CJK characters and spaces, then info and merge.
expect split 0 "The File Comminuting is Finished!" -- "$cli" split "$src" "报告 目录/" --size 1M
set_base="报告 目录/$src"
[[ -f "$set_base.D04" && ! -e "$set_base.D05" ]] || fail "split: expected chips D01 to D04"
[[ $(od -An -tx1 "$set_base.DAV" | tr -d ' \n') == 04000000 ]] || fail "split: header bytes"
expect info-complete 0 "Checksums: $set_base.sha256 (names and count match the set)" -- "$cli" info "$set_base.DAV"
expect merge 0 "The File Merging is Finished!" -- "$cli" merge "$set_base.DAV" joined
cmp -s "$src" "joined/$src" || fail "merge: the joined file differs from the source"

# The checksum file is sha256sum's own: it checks the chips, and a file joined beside them too.
(cd "报告 目录" && sha256sum --quiet -c --ignore-missing "$src.sha256") || fail "sha256sum -c: a fresh set"
expect merge-into-chip-folder 0 "Finished!" -- "$cli" merge "$set_base.DAV" "报告 目录"
(cd "报告 目录" && sha256sum --quiet -c "$src.sha256") || fail "sha256sum -c: the file joined beside the chips"
rm "$set_base" && cp -r "报告 目录" pristine
expect verify-intact 0 "  $src  OK"$'\n'"The chip set matches its checksums." -- "$cli" verify "pristine/$src.DAV"
[[ -z $("$cli" --quiet verify "pristine/$src.DAV" 2>&1) ]] || fail "quiet verify printed something"

expect merge-empty-folder 4 "Please select folder for destination file(s)!" -- "$cli" merge "$set_base.DAV" ""
expect merge-no-header 2 "nothing.DAV was not found." -- "$cli" merge nothing.DAV joined

# Completion, as bash calls it: COMPREPLY for the words typed so far (the last one being completed).
complete_words() {
    bash --norc -c '. "$1" && shift && COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) &&
        _zelvo_cli && printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" zelvo-cli "$@" | LC_ALL=C sort | paste -sd,
}
check_completion() { # WANTED WORDS...
    local got
    got=$(complete_words "${@:2}")
    [[ $got == "$1" ]] || fail "completion of '${*:2}': '$got', expected '$1'"
}
check_completion info,merge,split,verify ""
check_completion --no-checksum --n
check_completion --help verify --h
check_completion 1G,2G,4095M,700M split --size ""
check_completion "报告 目录/$src.D01,报告 目录/$src.D02,报告 目录/$src.D03,报告 目录/$src.D04,报告 目录/$src.DAV" \
    info "报告 目录/"
check_completion "报告 目录" merge --force "报告 目录/$src.DAV" 报
check_completion "source file.v1.tar.gz" split so
check_completion "" split "$src" "报告 目录" ""

# Files already there are replaced only with --force; choosing chip 02 finds the same set.
expect resplit 4 "chip files of $set_base. Use --force" -- "$cli" split "$src" "报告 目录" --size 1
expect resplit-forced 0 "Finished!" -- "$cli" split "$src" "报告 目录" --size 1 --force
printf old >"joined/$src"
expect merge-onto-file 4 "joined/$src already exists. Use --force" -- "$cli" merge "$set_base.DAV" joined
[[ $(cat "joined/$src") == old ]] || fail "merge-onto-file: the file was changed"
expect merge-forced 0 "The File Merging is Finished!" -- "$cli" merge "$set_base.D02" joined --force
cmp -s "$src" "joined/$src" && [[ $(ls -A joined) == "$src" ]] || fail "merge-forced: $(ls -A joined)"

# Names that are no regular file: refused before anything is written, what they lead to untouched.
printf keep >target
ln -s "$work/target" "out/$src.D02"
expect link-at-chip 4 "out/$src.D02 is not a regular file" -- "$cli" split "$src" out --size 1 --force
[[ $(cat target) == keep && ! -e "out/$src.D01" ]] || fail "link-at-chip: target '$(cat target)', $(ls out)"
rm "out/$src.D02"
mkdir fifo && mkfifo "fifo/$src"
expect fifo-at-output 4 "fifo/$src is not a regular file" -- timeout -k 5 20 "$cli" merge "$set_base.DAV" fifo --force

# Problems a set can have. A damaged, missing or cut chip or a checksum file that does not belong
# to the set: merge fails or refuses naming it and replaces nothing (neither a file that is there,
# nor, in an empty folder, with a file or a temporary); verify gives each chip's verdict, then
# the whole source's.
"$cli" split "$src" other --size 2 >/dev/null || fail "split into other"
mkdir kept && printf old >"kept/$src"
d="dmg/$src"
flip_digit() { sed -i "$2{s/^0/1/;t;s/^./0/}" "$1"; } # the first hex digit of line $2
damage() { # NAME DAMAGE MERGE_STATUS MERGE_TEXT VERIFY_STATUS VERDICTS INFO_STATUS INFO_TEXT
    rm -rf dmg empty && cp -r pristine dmg && mkdir empty && eval "$2"
    expect "$1: merge" "$3" "$4" -- "$cli" merge "$d.DAV" empty
    expect "$1: merge --force" "$3" "$4" -- "$cli" merge "$d.DAV" kept --force
    [[ -z $(ls -A empty) && $(ls -A kept) == "$src" && $(cat "kept/$src") == old ]] ||
        fail "$1: the destination changed: $(ls -A empty kept)"
    local out rc
    out=$("$cli" verify "$d.DAV" 2>/dev/null)
    rc=$?
    [[ $rc -eq $5 && $(sed 's/.*  //' <<<"$out" | paste -sd,) == "$6" ]] || fail "$1: verify exit $rc: $out"
    expect "$1: info" "$7" "$8" -- "$cli" info "$d.DAV"
}
bad_sidecar="The checksum file $d.sha256 is damaged or belongs to another set!"
damage middle-chip-flipped 'printf XXXXXXXX | dd of="$d.D02" bs=1 seek=1000 conv=notrunc status=none' \
    3 "Chip 2 of 4 is damaged: $d.D02 does not match its checksum!" 4 "OK,DAMAGED,OK,OK,NOT CHECKED" 0 "match the set"
damage chips-swapped 'mv "$d.D01" t && mv "$d.D02" "$d.D01" && mv t "$d.D02"' \
    3 "Chip 1 of 4 is damaged" 4 "DAMAGED,DAMAGED,OK,OK,NOT CHECKED" 0 "match the set"
damage chip-missing 'rm "$d.D03"' 2 "$d.D03 was not found." 4 "OK,OK,MISSING,OK,NOT CHECKED" 4 "$d.D03 was not found."
damage middle-chip-longer 'head -c 10 /dev/zero >>"$d.D03"' \
    4 "$d.D03 is not as long as the first chip" 4 "OK,OK,WRONG LENGTH,OK,NOT CHECKED" 4 "$d.D03 is not as long"
damage chip-line-changed 'flip_digit "$d.sha256" 1' 3 "Chip 1 of 4 is damaged" 4 "DAMAGED,OK,OK,OK,NOT CHECKED" 0 "match"
damage source-line-changed 'flip_digit "$d.sha256" \$' \
    3 "does not match the source's checksum!" 4 "OK,OK,OK,OK,DAMAGED" 0 "match the set"
damage sidecar-names-absent-chip 'sed -i "s/D04\$/D05/" "$d.sha256"' 4 "$bad_sidecar" 4 "" 4 "$bad_sidecar"
damage sidecar-of-another-set 'cp "other/$src.sha256" "$d.sha256"' 4 "$bad_sidecar" 4 "" 4 "$bad_sidecar"
rm -rf dmg && cp -r pristine dmg && printf XXXXXXXX | dd of="$d.D02" bs=1 seek=1000 conv=notrunc status=none
(cd dmg && ! sha256sum --quiet -c --ignore-missing "$src.sha256" >/dev/null 2>&1) || fail "sha256sum -c: a damaged chip"

# Without a checksum file a set joins on its lengths alone, and verify has nothing to check it with.
expect split-no-checksum 0 "Finished!" -- "$cli" split "$src" plain --size 1 --no-checksum
[[ -f "plain/$src.DAV" && ! -e "plain/$src.sha256" ]] || fail "split-no-checksum: $(ls plain)"
expect info-no-checksum 0 "Checksums: none" -- "$cli" info "plain/$src.DAV"
expect merge-no-checksum 0 "Merging is Finished!" -- "$cli" merge "plain/$src.DAV" plain
cmp -s "$src" "plain/$src" || fail "merge-no-checksum: the joined file differs from the source"
expect verify-no-checksum 4 "The chip set has no checksum file plain/$src.sha256!" -- "$cli" verify "plain/$src.DAV"
expect no-checksum-not-split 64 "--no-checksum belongs to split" -- "$cli" merge "plain/$src.DAV" plain --no-checksum

# The header chip and chips beyond its count.
cp "$set_base.D01" "$set_base.D07"
expect info-beyond 4 "lies beyond the count" -- "$cli" info "$set_base.DAV"
rm "$set_base.D07"
printf '\001\000\000\000' >"$set_base.DAV"
expect merge-count-1 4 "The header chip file is bad!" -- "$cli" merge "$set_base.DAV" joined
expect info-count-1 4 "The header chip file is bad!" -- "$cli" info "$set_base.DAV"
printf '\004\000' >"$set_base.DAV"
expect info-short-header 4 "The header chip file is bad!" -- "$cli" info "$set_base.DAV"

# A name that is not UTF-8 is split byte for byte (or refused), never the file of its lossy text.
bad=$(printf 'n\xff')
head -c $((2 * 1048576 + 1)) /dev/urandom >"$bad"
head -c $((2 * 1048576 + 1)) /dev/zero >"n$(printf '\xef\xbf\xbd')"
mkdir raw
"$cli" split "$bad" raw --size 1 >/dev/null 2>&1
rc=$?
if ((rc == 0)); then
    cat "raw/$bad.D01" "raw/$bad.D02" "raw/$bad.D03" | cmp -s - "$bad" || fail "non-UTF-8 name: chips differ"
elif ((rc != 4 && rc != 64)) || [[ -n $(ls -A raw) ]]; then
    fail "non-UTF-8 name: exit $rc, $(ls -A raw)"
fi

# Progress is drawn only on a terminal; --quiet prints nothing on success.
out=$("$cli" --quiet split "$src" out --size 1 2>&1)
[[ $? -eq 0 && -z $out ]] || fail "quiet: printed '$out'"
tty_out=$(script -qec "'$cli' split '$src' out --size 1 --force" /dev/null 2>&1)
[[ $tty_out == *"100%"*"chip 4/4"* ]] || fail "progress line on a terminal: $tty_out"
[[ $("$cli" split "$src" out --size 1 --force 2>&1) != *"%"* ]] || fail "progress line drawn into a pipe"

# A reader that has gone (`| head -1`) does not change the status of a finished run. The pipe's
# reading end is closed before the run starts, so every write meets it closed.
mkfifo no-reader
exec 3<>no-reader 4>no-reader 3<&-
"$cli" split "$src" out --size 1 --force >&4 2>/dev/null
rc=$?
exec 4>&-
((rc == 0)) || fail "closed output pipe: exit $rc"

# SIGTERM during a run: cancelled, no header chip. The run is stopped as soon as its first chip
# exists, so the signal comes while it is writing however fast the disk is; only a run that has
# finished all its chips in between is tried again, with a larger source.
cancel_run() { # MB of source, MB per chip
    rm -rf cancel held.bin && mkdir cancel && head -c $(($1 * 1048576)) /dev/zero >held.bin
    coproc RUN { exec "$cli" split held.bin cancel --size "$2" 2>&1; }
    pid=$RUN_PID
    read -r first <&"${RUN[0]}" # "Files Total: 95" comes just before the worker starts
    local deadline=$((SECONDS + 20))
    until [[ -e cancel/held.bin.D01 ]] || ((SECONDS > deadline)); do :; done
    kill -STOP "$pid"
    kill -TERM "$pid"
    kill -CONT "$pid"
    rest=$(cat <&"${RUN[0]}")
    wait "$pid"
    rc=$?
}
cancel_run 190 2
[[ $rc -eq 0 && -e cancel/held.bin.DAV ]] && cancel_run 380 4
[[ $first == "Files Total: 95" ]] || fail "cancel: first line '$first'"
[[ $rc -eq 1 && $rest == *"The File Comminuting is canceled!"* ]] || fail "cancel: exit $rc, $rest"
[[ ! -e cancel/held.bin.DAV ]] || fail "cancel: a header chip was written"
rm -rf cancel held.bin

if ((failures)); then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "all zelvo-cli runs as expected"
