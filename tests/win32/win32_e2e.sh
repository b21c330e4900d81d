#!/usr/bin/env bash
# The real zelvo.exe under Wine in a virtual X display, read and driven by zelvo-inspect from the
# same Wine prefix: a refused second start, a split and a merge of a file with a space and CJK in
# its name compared with sha256sum, a refused press and where the focus goes, the language switch
# and its registry value, the About box, zelvo-cli.exe's round trip, and the installer's silent
# install and uninstall.
# Usage: win32_e2e.sh ZELVO_EXE INSPECT_EXE ZELVO_CLI_EXE WINE [SETUP_EXE]
set -u -o pipefail
zelvo=$(realpath "$1") inspect=$(realpath "$2") cli=$(realpath "$3") wine=$4 setup=${5:+$(realpath "$5")}
command -v xvfb-run >/dev/null || { echo "skipped: no xvfb-run"; exit 77; }
if [[ -z ${ZELVO_E2E_DISPLAY:-} ]]; then
    ZELVO_E2E_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
export PATH=$(dirname "$wine"):$PATH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

# One prefix per build folder, made once (with Wine's virtual desktop: without a window manager
# every window close otherwise waits two seconds), copied for each run.
template=$(dirname "$(dirname "$zelvo")")/wine-template
(
    flock 9
    if [[ ! -f $template/.made ]]; then
        # A first wineboot on a busy machine now and then leaves a prefix without its DLLs: try again.
        for attempt in 1 2 3; do
            rm -rf "$template"
            WINEPREFIX=$template "$wine" wineboot -i >/dev/null 2>&1
            WINEPREFIX=$template wineserver -w
            [[ -f $template/drive_c/windows/system32/kernel32.dll ]] && break
        done
        [[ -f $template/drive_c/windows/system32/kernel32.dll ]] || { echo "FAIL: no Wine prefix could be made"; exit 1; }
        printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Default"\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Default"="1024x768"\n' >"$template.reg"
        WINEPREFIX=$template "$wine" regedit /S "Z:${template//\//\\}.reg"
        WINEPREFIX=$template wineserver -w
        touch "$template/.made"
    fi
) 9>"$template.lock"

work=$(mktemp -d "${TMPDIR:-/tmp}/zelvo-win32-XXXXXX")
export WINEPREFIX=$work/prefix
cp -a "$template" "$WINEPREFIX"
failures=0
finish() {
    import -window root "$work/last.png" 2>/dev/null
    wineserver -k 2>/dev/null
    if ((failures == 0)); then rm -rf "$work"; else rm -rf "$WINEPREFIX"; echo "kept: $work" >&2; fi
}
trap finish EXIT
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
I() { "$wine" "$inspect" "$@" 2>/dev/null | tr -d '\r'; }
win() { local p=${1//\//\\}; echo "Z:$p"; }
# expect WHAT GOT WANTED
expect() { [[ $2 == "$3" ]] || fail "$1: '$2', expected '$3'"; }
# box TEXT: waits for the message box holding TEXT and presses its OK (or Yes) button.
box() {
    local b
    b=$(I find '#32770' "$1" 60000) || { fail "no box '$1'"; return 1; }
    I press "$b" "${2:-1}"
    I gone "$b" 10000 || fail "box '$1' stayed"
}

cd "$work" || exit 1
src="holiday video 报告.bin"
mkdir chips joined
head -c $((2 * 1048576 + 4321)) /dev/urandom >"$src"

"$wine" "$zelvo" &
first=$!
main=$(I find ZelvoMainFrame "" 30000) || { fail "no main window"; exit 1; }

# A second copy says so and ends; the first stays alone.
"$wine" "$zelvo" &
second=$!
box "An instance of Zelvo for File has been running!"
wait $second
expect "second start's status" $? 0
expect "main windows" "$(I windows | grep -c ZelvoMainFrame)" 1

# Comminute: an empty press is refused with the first check's message, the focus on the source.
I command "$main" 32771
dlg=$(I find '#32770' "File Comminute") || fail "no Comminute dialog"
expect "first focus" "$(I focus "$dlg")" 1
expect "unit box" "$(I controls "$dlg" | awk -F'\t' '$1 == 1010 {print $3, $5}')" "disabled sel=1"
I press "$dlg" 1
box "Please select the source file!"
expect "focus after refusal" "$(I focus "$dlg")" 1000

I set "$dlg" 1000 "$(win "$work/$src")"
I set "$dlg" 1002 1
I set "$dlg" 1006 "$(win "$work/chips")"
I press "$dlg" 1
b=$(I find '#32770' "The File Comminuting is Finished!" 60000) || fail "split did not finish"
expect "chip count" "$(I text "$dlg" 1005)" 3
I press "$b" 1
I gone "$dlg" 10000 || fail "Comminute dialog stayed after finishing"

# Merge: the header chip gives the total and the name; the join equals the source.
I command "$main" 32772
dlg=$(I find '#32770' "File Merge") || fail "no Merge dialog"
I set "$dlg" 1011 "$(win "$work/chips/$src.DAV")"
expect "chip total" "$(I text "$dlg" 1012)" 3
expect "file name" "$(I text "$dlg" 1009)" "$src"
I set "$dlg" 1006 "$(win "$work/joined")"
I press "$dlg" 1
box "The File Merging is Finished!"
I gone "$dlg" 10000 || fail "Merge dialog stayed after finishing"
expect "joined file" "$(sha256sum <"joined/$src")" "$(sha256sum <"$src")"

# A second start with a file hands it to the running copy, which opens the dialog that fits it.
"$wine" "$zelvo" "$(win "$work/chips/$src.D02")"
expect "handing over's status" $? 0
dlg=$(I find '#32770' "File Merge") || fail "the handed-over chip opened no Merge dialog"
expect "handed-over header chip" "$(I text "$dlg" 1011)" "$(win "$work/chips/$src.DAV")"
I press "$dlg" 2
I gone "$dlg" 10000 || fail "Merge dialog stayed after Close"

# Close while a run goes on asks, and Yes cancels it: no header chip, the dialog ready again (what
# No does, the core's tests show).
truncate -s 4G sparse.bin
I command "$main" 32771
dlg=$(I find '#32770' "File Comminute") || fail "no Comminute dialog"
I set "$dlg" 1000 "$(win "$work/sparse.bin")"
I set "$dlg" 1002 100
I set "$dlg" 1006 "$(win "$work/chips")"
I press "$dlg" 1
for _ in $(seq 100); do [[ $(I controls "$dlg" | awk -F'\t' '$1 == 1 {print $3}') == disabled ]] && break; sleep 0.05; done
I press "$dlg" 2
box "Are you sure to cancel this File Comminuting?" 6
box "The File Comminuting is canceled!"
expect "after the cancel" "$(I controls "$dlg" | awk -F'\t' '$1 == 1 || $1 == 1002 {print $3}' | paste -sd' ')" "enabled enabled"
[[ ! -e chips/sparse.bin.DAV ]] || fail "a cancelled split wrote its header chip"
I press "$dlg" 2
I gone "$dlg" 10000 || fail "Comminute dialog stayed after Close"
rm -f sparse.bin chips/sparse.bin.*

# The language switch, to each language: the caption from its file at once, its name in the registry.
langs=$(dirname "$zelvo")/Lang
for row in 61216:CHS 61217:CHT 61218:JAP 61215:ENG; do
    title=$(iconv -f UTF-16 -t UTF-8 "$langs/${row#*:}.lang" | tr -d '\r' | sed -n 's/^Title=//p')
    I command "$main" "${row%:*}"
    for _ in $(seq 50); do [[ $(I windows | grep ZelvoMainFrame) == *"$title" ]] && break; sleep 0.1; done
    expect "caption in ${row#*:}" "$(I windows | awk -F'\t' '$2 == "ZelvoMainFrame" {print $3}')" "$title"
    "$wine" reg export 'HKCU\Software\Quorvex\Zelvo\Settings' "$(win "$work/settings.reg")" /y >/dev/null 2>&1
    expect "Language in the registry" "$(iconv -f UTF-16 -t UTF-8 settings.reg | tr -d '\r' | grep '^"Language"=')" \
        "\"Language\"=\"${row#*:}\""
done

I command "$main" 57664
about=$(I find '#32770' "About Zelvo for File") || fail "no About box"
expect "link" "$(I text "$about" 1030)" "https://www.quorvex.example"
expect "About box over the main window" "$(I centred "$about")" centred
I press "$about" 1
I gone "$about" 10000 || fail "About box stayed"

I close "$main"
wait $first
expect "status at exit" $? 0

# Without its Lang folder the program starts in silence with its built-in texts.
mkdir nolang && cp "$zelvo" nolang/
"$wine" nolang/zelvo.exe &
bare=$!
main=$(I find ZelvoMainFrame "" 30000) || fail "no main window without Lang"
expect "caption without Lang" "$(I windows | awk -F'\t' '$2 == "ZelvoMainFrame" {print $3}')" "Zelvo for File"
I command "$main" 32771
dlg=$(I find '#32770' "File Comminute") || fail "no Comminute dialog without Lang"
expect "template texts" "$(I text "$dlg" 1019)|$(I text "$dlg" 1)" "Files Size:|Comminute"
I press "$dlg" 2
I gone "$dlg" 10000 || fail "Comminute dialog stayed"
I close "$main"
wait $bare
expect "status at exit without Lang" $? 0

# The command line with UTF-16 names (its statuses and messages are the same source's as on Linux,
# tested there).
mkdir cli && "$wine" "$cli" split "$src" cli --size 1 >/dev/null 2>&1 && "$wine" "$cli" merge "cli/$src.DAV" cli >/dev/null 2>&1 ||
    fail "cli round trip"
expect "cli joined file" "$(sha256sum <"cli/$src")" "$(sha256sum <"$src")"

# The installer, silent: per user, the Start-menu shortcut, the .DAV type and "Split with Zelvo";
# its uninstaller takes all of it away again.
if [[ -n $setup ]]; then
    "$wine" "$setup" /S
    expect "installer status" $? 0
    user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -1)
    home=$WINEPREFIX/drive_c/users/$user
    installed=$home/AppData/Local/Programs/Zelvo
    for f in zelvo.exe zelvo-cli.exe README.txt uninstall.exe Lang/ENG.lang Lang/JAP.lang; do
        [[ -f $installed/$f ]] || fail "installed: no $f"
    done
    shortcut="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zelvo for File.lnk"
    [[ -f $shortcut ]] || fail "no Start-menu shortcut"
    classes() {
        "$wine" reg export 'HKCU\Software\Classes' "$(win "$work/classes.reg")" /y >/dev/null 2>&1
        iconv -f UTF-16 -t UTF-8 classes.reg 2>/dev/null | tr -d '\r'
    }
    grep -qx '@="Zelvo.HeaderChip"' <(classes) || fail ".DAV is not Zelvo's"
    grep -q '"Split with Zelvo"' <(classes) || fail "no Split with Zelvo"
    "$wine" "$installed/uninstall.exe" /S
    wineserver -w
    [[ ! -e $installed ]] || fail "uninstalled: $(ls -R "$installed")"
    [[ ! -e $shortcut ]] || fail "uninstalled: the shortcut stayed"
    ! grep -q 'Zelvo' <(classes) || fail "uninstalled: $(classes | grep -B1 Zelvo)"
fi

((failures == 0)) && echo "win32 end to end: passed"
exit $((failures > 0))
