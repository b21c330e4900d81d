#!/usr/bin/env bash
# End-to-end runs of zelvo-cli. Usage: cli_end_to_end.sh PATH_TO_ZELVO_CLI
set -u
cli=$1
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
mkdir out joined "报告 目录"
head -c $((3 * 1048576 + 1000)) /dev/urandom >"source file.v1.tar.gz"
src="source file.v1.tar.gz"

# Refusals, in the Comminute dialog's order: the first failing check wins.
expect empty-source-and-size 4 "Please select the source file!" -- "$cli" split "" out --size 0
expect size-zero 4 "Invalid file size!" -- "$cli" split "$src" out --size 0
expect size-missing 4 "Invalid file size!" -- "$cli" split "$src" out
expect size-4096 4 "Invalid file size!" -- "$cli" split "$src" out --size 4096
expect size-not-a-number 4 "Invalid file size!" -- "$cli" split "$src" out --size 2x
expect empty-folder 4 "Please select folder for destination file(s)!" -- "$cli" split "$src" "" --size 1
expect missing-source 2 "nope.bin was not found." -- "$cli" split nope.bin out --size 1
expect source-too-small 4 "The source file is less than cmnt size!\\bYou needn't comminute it at all." -- \
    "$cli" split "$src" out --size 4
expect wrong-usage 64 "" -- "$cli" split "$src"
expect unknown-command 64 "unknown command" -- "$cli" chop "$src" out
[[ -z $(ls out) ]] || fail "a refused split wrote files: $(ls out)"

# A split into a folder with CJK characters and spaces, then info and merge.
expect split 0 "The File Comminuting is Finished!" -- "$cli" split "$src" "报告 目录/" --size 1
set_base="报告 目录/$src"
[[ -f "$set_base.D04" && ! -e "$set_base.D05" ]] || fail "split: expected chips D01 to D04"
[[ $(od -An -tx1 "$set_base.DAV" | tr -d ' \n') == 04000000 ]] || fail "split: header bytes"
expect info-complete 0 "complete and consistent" -- "$cli" info "$set_base.DAV"
expect merge 0 "The File Merging is Finished!" -- "$cli" merge "$set_base.DAV" joined
cmp -s "$src" "joined/$src" || fail "merge: the joined file differs from the source"

expect merge-empty-folder 4 "Please select folder for destination file(s)!" -- "$cli" merge "$set_base.DAV" ""
expect merge-no-header 2 "nothing.DAV was not found." -- "$cli" merge nothing.DAV joined

# Choosing chip 02 instead of the header chip finds the same set.
expect merge-through-chip 0 "The File Merging is Finished!" -- "$cli" merge "$set_base.D02" joined

# Problems a set can have, each named by info; merge stops at a missing chip.
cp "$set_base.D01" "$set_base.D07"
expect info-beyond 4 "lies beyond the count" -- "$cli" info "$set_base.DAV"
rm "$set_base.D07"
mv "$set_base.D02" "$work/held"
expect info-missing 4 "is missing" -- "$cli" info "$set_base.DAV"
expect merge-missing 2 "Open chip file error!" -- "$cli" merge "$set_base.DAV" joined
mv "$work/held" "$set_base.D02"
head -c 10 /dev/zero >>"$set_base.D03"
expect info-length 4 "bytes, chip 1 is" -- "$cli" info "$set_base.DAV"
printf '\001\000\000\000' >"$set_base.DAV"
expect merge-count-1 4 "The header chip file is bad!" -- "$cli" merge "$set_base.DAV" joined
expect info-count-1 4 "not 2 to 100" -- "$cli" info "$set_base.DAV"
printf '\004\000' >"$set_base.DAV"
expect merge-short-header 4 "The header chip file is bad!" -- "$cli" merge "$set_base.DAV" joined
expect info-short-header 4 "shorter than 4 bytes" -- "$cli" info "$set_base.DAV"

# A destination that cannot be written: outcome 3, the file named.
expect split-folder-gone 3 "gone/$src.D01 was not found." -- "$cli" split "$src" gone --size 1

# Progress is drawn only on a terminal; --quiet prints nothing on success.
out=$("$cli" --quiet split "$src" out --size 1 2>&1)
[[ $? -eq 0 && -z $out ]] || fail "quiet: printed '$out'"
tty_out=$(script -qec "'$cli' split '$src' out --size 1" /dev/null 2>&1)
[[ $tty_out == *"100%"*"chip 4/4"* ]] || fail "progress line on a terminal: $tty_out"
[[ $("$cli" split "$src" out --size 1 2>&1) != *"%"* ]] || fail "progress line drawn into a pipe"

# SIGTERM during a run: cancelled, chips so far kept, no header chip.
truncate -s $((4 * 1073741824 + 5)) big.iso
mkdir cancel
coproc RUN { exec "$cli" split big.iso cancel --size 64 2>&1; }
pid=$RUN_PID
read -r first <&"${RUN[0]}" # "Files Total: 65" comes just before the worker starts
kill -TERM "$pid"
rest=$(cat <&"${RUN[0]}")
wait "$pid"
rc=$?
[[ $first == "Files Total: 65" ]] || fail "cancel: first line '$first'"
[[ $rc -eq 1 && $rest == *"The File Comminuting is canceled!"* ]] || fail "cancel: exit $rc, $rest"
[[ ! -e cancel/big.iso.DAV && ! -e cancel/big.iso.D65 ]] || fail "cancel: files $(ls cancel | tail -3)"

if ((failures)); then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "all zelvo-cli runs as expected"
