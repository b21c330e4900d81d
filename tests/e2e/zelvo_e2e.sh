#!/usr/bin/env bash
# End-to-end test of the real program in a virtual X display, driven from outside the process
# with XTEST key and mouse events (xdotool), the way a person would use it:
#   split a 20 MB file into 3 MB chips through File > Comminute, join it back through File > Merge
#   and compare the result byte for byte; start a second copy and see it refused; start one with
#   the header chip and see the running copy open its Merge dialog with it, and join the set again;
#   drag a file from another program onto the main window and split it from the dialog that opens;
#   switch the language to Simplified Chinese from the Setting menu and see the choice survive a
#   restart.
# A screenshot of every step lands in the output folder.
#
# usage: zelvo_e2e.sh ZELVO_EXECUTABLE OUTPUT_FOLDER [DOCS_FOLDER]
# With DOCS_FOLDER the main-window and dialog-during-a-run pictures are also copied there.
# Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb or xdotool, or the display did not start).
set -uo pipefail
export LC_ALL=C.UTF-8

zelvo=${1:?usage: zelvo_e2e.sh ZELVO OUTPUT_FOLDER [DOCS_FOLDER]}
out=${2:?usage: zelvo_e2e.sh ZELVO OUTPUT_FOLDER [DOCS_FOLDER]}
docs=${3:-}
readonly SKIP=77
readonly WAIT=${ZELVO_E2E_WAIT:-30} # seconds any single step may take on a busy machine

for tool in Xvfb xdotool xwininfo import; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/install-deps.sh test installs it)"
        exit $SKIP
    fi
done
[[ -x $zelvo ]] || { echo "FAIL: $zelvo is not an executable"; exit 1; }
# Absolute, but not resolved: started through a link, the program must still find its Lang folder.
zelvo="$(cd "$(dirname "$zelvo")" && pwd)/$(basename "$zelvo")"
# The drag source is built with the application tests into <build>/bin; the program is staged at
# <build>/tests/e2e/stage/usr/bin.
drag_source=${ZELVO_DRAG_SOURCE:-$(dirname "$zelvo")/../../../../../bin/zelvo_drag_source}

mkdir -p "$out"
out=$(cd "$out" && pwd) # the program runs in its own folder; its log still lands here
rm -f "$out"/*.png
: >"$out/zelvo.log"
# A folder name with a space and CJK characters: such paths are ordinary input.
work=$(mktemp -d "${TMPDIR:-/tmp}/zelvo e2e 测试.XXXXXX")
step=0
xvfb_pid=
app_pids=()

cleanup() {
    local pid
    for pid in "${app_pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null
    done
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

log() { printf '[%s] %s\n' "$(date +%T)" "$*"; }
fail() {
    log "FAIL: $*"
    shot "failure"
    exit 1
}

# Screenshot of the whole screen, numbered in the order of the steps.
shot() {
    step=$((step + 1))
    local file
    file=$(printf '%s/%02d-%s.png' "$out" "$step" "$1")
    import -window root "$file" 2>/dev/null && log "screenshot $file"
}

# Screenshot of one window only (for the README).
window_shot() {
    import -window "$1" "$out/$2.png" 2>/dev/null && log "screenshot $out/$2.png"
}

# Polls until COMMAND succeeds or the time runs out; the command's output is kept in $polled.
polled=
poll() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    while ((SECONDS <= deadline)); do
        if polled=$("$@" 2>/dev/null) && [[ -n $polled ]]; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Popup menus are override-redirect windows; Qt titles them with the application name, like the
# message boxes, so they are told apart by that flag.
override_redirect() { xwininfo -id "$1" 2>/dev/null | grep -q 'Override Redirect State: yes'; }
# The visible top-level windows (not popups) of process PID whose title matches REGEX.
windows_of() {
    local id
    for id in $(xdotool search --all --onlyvisible --pid "$1" --name "$2"); do
        override_redirect "$id" || echo "$id"
    done
}
# Echoes something once process PID shows at least COUNT popup menus.
popups_open() {
    local id count=0
    for id in $(xdotool search --all --onlyvisible --pid "$1" --name ''); do
        override_redirect "$id" && count=$((count + 1))
    done
    ((count >= $2)) && echo "$count"
}
wait_popups() { poll "$WAIT" popups_open "$1" "$2" || fail "no menu opened ($3)"; }
# Echoes the window id once process PID shows a window titled REGEX.
wait_window() {
    poll "$WAIT" windows_of "$1" "$2" || return 1
    head -n1 <<<"$polled"
}
gone() { [[ -z $(windows_of "$1" "$2" 2>/dev/null) ]] && echo gone; }
wait_gone() { poll "$WAIT" gone "$1" "$2"; }
caption_is() { [[ $(xdotool getwindowname "$1") == "$2" ]] && echo yes; }
wait_caption() { poll "$WAIT" caption_is "$1" "$2"; }
exited() { kill -0 "$1" 2>/dev/null || echo exited; }

# Keys go to whatever window has the keyboard focus, as from a real keyboard; the window is
# focused first because there is no window manager to do it.
keys() {
    local window=$1
    shift
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    xdotool key --clearmodifiers --delay 80 "$@"
}
type_text() {
    local window=$1
    shift
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    xdotool type --clearmodifiers --delay 20 "$1"
}

start_zelvo() {
    (cd "$work" && exec "$zelvo" >>"$out/zelvo.log" 2>&1) &
    started=$!
    app_pids+=("$started")
}

# Ends the main program through its own Exit command and waits for the process.
exit_through_menu() {
    local pid=$1 main=$2
    keys "$main" alt+f x
    poll "$WAIT" exited "$pid" || fail "the program did not end after File > Exit"
    wait "$pid"
    local status=$?
    ((status == 0)) || fail "the program ended with status $status after File > Exit"
}

# Qt's own file dialog (there is no desktop portal here): the name field has the focus; a full
# path typed into it and Return choose the file or folder.
choose_in_file_dialog() {
    local pid=$1 title=$2 path=$3 name=$4
    local dialog
    dialog=$(wait_window "$pid" "$title") || fail "no window titled '$title' appeared"
    type_text "$dialog" "$path"
    shot "$name"
    keys "$dialog" Return
    wait_gone "$pid" "^$title\$" || fail "the window '$title' did not close after Return"
    # The dialog underneath takes the keyboard back only once the close is handled; keys sent
    # sooner are lost on a busy machine.
    sleep 0.5
}

# The program's message boxes are titled "Zelvo"; Return answers OK.
answer_message() {
    local pid=$1 name=$2
    local box
    box=$(wait_window "$pid" '^Zelvo$') || fail "no message box appeared ($name)"
    shot "$name"
    keys "$box" Return
    wait_gone "$pid" '^Zelvo$' || fail "the message box did not close ($name)"
}

# Opens File > Comminute (the menu with the mouse, the item by its mnemonic) and fills the dialog
# the way a keyboard user does, following its tab order from the default button: Comminute,
# Close, source field, source "...", size field, chip count, folder field, folder "...". Leaves
# the dialog's window id in $dlg and the focus on the Comminute button.
fill_comminute_dialog() {
    local source=$1 size=$2 folder=$3 tag=$4
    xdotool mousemove --window "$main" 20 10 click 1
    wait_popups "$first" 1 "File"
    shot "$tag-file-menu"
    keys "$main" c
    dlg=$(wait_window "$first" '^File Comminute$') || fail "the Comminute dialog did not open"
    keys "$dlg" Tab Tab Tab space
    choose_in_file_dialog "$first" '^Open$' "$source" "$tag-source-typed"
    keys "$dlg" Tab
    type_text "$dlg" "$size"
    keys "$dlg" Tab Tab Tab space
    choose_in_file_dialog "$first" '^Select folder for destination files:$' "$folder" "$tag-folder-typed"
    # The unit box is disabled, so Tab wraps round to the Comminute button.
    keys "$dlg" Tab
    shot "$tag-ready"
}

comminute_and_merge() {
    local source="$work/src/$src_name" chips="$work/chips" rebuilt="$work/rebuilt"
    head -c $((20 * 1024 * 1024)) /dev/urandom >"$source" || fail "could not write the source file"

    # A picture of a run under way: a larger source, the program stopped (SIGSTOP) as soon as
    # chip 1 is whole, so that the window holds still for the screenshot, then let go to finish.
    local held="$work/src/held $src_name"
    head -c $((200 * 1024 * 1024)) /dev/zero >"$held" && sync || fail "could not write the held source"
    fill_comminute_dialog "$held" 2 "$chips" "running"
    keys "$dlg" space
    if poll "$WAIT" find "$chips" -name "held $src_name.D01" -size +2047k && kill -STOP "$first"; then
        shot "comminute-running"
        window_shot "$dlg" "comminute-running"
        kill -CONT "$first"
    fi
    answer_message "$first" "running-finished"
    wait_gone "$first" '^File Comminute$' || fail "the Comminute dialog stayed open after the finished message"
    rm -f "$chips"/* "$held"

    # The whole split: 20 MB in 3 MB chips gives 7 chips and the header chip.
    fill_comminute_dialog "$source" 3 "$chips" "comminute"
    keys "$dlg" space
    answer_message "$first" "comminute-finished"
    wait_gone "$first" '^File Comminute$' || fail "the Comminute dialog stayed open after the finished message"
    local count
    count=$(find "$chips" -type f | wc -l)
    ((count == 9)) || fail "expected 7 chips, the header chip and the checksum file, found $count files"
    [[ -f "$chips/$src_name.sha256" ]] || fail "the checksum file $src_name.sha256 is missing"
    [[ $(od -An -tu4 "$chips/$src_name.DAV" | tr -d ' ') == 7 ]] || fail "the header chip does not hold 7"
    log "comminute: 7 chips and the header chip written"

    # File > Merge: the header chip, a folder, Merge. Tab order from the default button: Merge,
    # Close, header field, header "...", chip total, folder field, folder "...", file name field.
    xdotool mousemove --window "$main" 20 10 click 1
    wait_popups "$first" 1 "File"
    keys "$main" m
    dlg=$(wait_window "$first" '^File Merge$') || fail "the Merge dialog did not open"
    shot "merge-dialog"
    keys "$dlg" Tab Tab Tab space
    choose_in_file_dialog "$first" '^Open$' "$chips/$src_name.DAV" "merge-header-typed"
    keys "$dlg" Tab Tab Tab space
    choose_in_file_dialog "$first" '^Select folder for destination files:$' "$rebuilt" "merge-folder-typed"
    keys "$dlg" Tab Tab
    shot "merge-ready"
    window_shot "$dlg" "merge-ready"
    keys "$dlg" space
    answer_message "$first" "merge-finished"
    wait_gone "$first" '^File Merge$' || fail "the Merge dialog stayed open after the finished message"
    cmp "$source" "$rebuilt/$src_name" || fail "the rebuilt file differs from the source"
    log "merge: the rebuilt file equals the source byte for byte"
}

# A second start with a header chip, named relative to its own folder, as a file manager starts it:
# the running copy opens its Merge dialog with that chip and the second start ends at once, with
# no message. Joining from there gives the source again.
handover_merge() {
    local source="$work/src/$src_name" again="$work/rebuilt again"
    (cd "$work/chips" && exec "$zelvo" "$src_name.DAV" >>"$out/zelvo.log" 2>&1) &
    local second=$!
    app_pids+=("$second")
    dlg=$(wait_window "$first" '^File Merge$') || fail "the running copy opened no Merge dialog for the header chip"
    poll "$WAIT" exited "$second" || fail "the second start with a header chip did not end"
    wait "$second"
    local status=$?
    ((status == 0)) || fail "the second start with a header chip ended with status $status"
    shot "handover-merge-dialog"
    # Tab order from the default button: Merge, Close, header field, header "...", chip total,
    # folder field, folder "...", file name field.
    keys "$dlg" Tab Tab Tab Tab Tab Tab space
    choose_in_file_dialog "$first" '^Select folder for destination files:$' "$again" "handover-folder-typed"
    keys "$dlg" Tab Tab
    keys "$dlg" space
    answer_message "$first" "handover-merge-finished"
    wait_gone "$first" '^File Merge$' || fail "the Merge dialog stayed open after the finished message"
    cmp "$source" "$again/$src_name" || fail "the set joined through the handed-over header chip differs from the source"
    log "hand-over: the second start's header chip opened the running copy's Merge dialog; joined again"
}

# A file dragged from another program (a small Qt drag source, as a file manager is one) and
# dropped on the main window opens the Comminute dialog with it; splitting from there gives its set.
drop_on_main_window() {
    local source="$work/src/dropped $src_name" chips="$work/dropped chips"
    [[ -x $drag_source ]] || fail "no drag source at $drag_source (build it, or name it in ZELVO_DRAG_SOURCE)"
    head -c $((7 * 1024 * 1024)) /dev/urandom >"$source" || fail "could not write the file to drop"
    "$drag_source" "$source" >"$work/drag.out" 2>>"$out/zelvo.log" &
    local helper=$!
    app_pids+=("$helper")
    local window
    window=$(wait_window "$helper" '^Zelvo drag source$') || fail "the drag source window did not appear"
    xdotool mousemove --window "$window" 100 60 mousedown 1
    xdotool mousemove --window "$main" 300 150
    # Nudged over the main window until it says it takes the file, then let go.
    nudge_until_accepted() {
        xdotool mousemove_relative -- 1 1
        grep -q '^accepted' "$work/drag.out" && echo yes
    }
    poll "$WAIT" nudge_until_accepted || { xdotool mouseup 1; fail "the main window did not take the dragged file"; }
    shot "drop-over-main-window"
    xdotool mouseup 1
    drag_ended() { grep -E '^(not )?dropped' "$work/drag.out"; }
    poll "$WAIT" drag_ended || fail "the drag did not end"
    [[ $polled == dropped ]] || fail "the drag source reports: $polled"
    dlg=$(wait_window "$first" '^File Comminute$') || fail "the drop opened no Comminute dialog"
    kill "$helper"
    shot "drop-comminute-dialog"
    # From the default button: Close, source field, source "...", size field.
    keys "$dlg" Tab Tab Tab Tab
    type_text "$dlg" 3
    keys "$dlg" Tab Tab Tab space
    choose_in_file_dialog "$first" '^Select folder for destination files:$' "$chips" "drop-folder-typed"
    keys "$dlg" Tab
    keys "$dlg" space
    answer_message "$first" "drop-comminute-finished"
    wait_gone "$first" '^File Comminute$' || fail "the Comminute dialog stayed open after the finished message"
    [[ $(od -An -tu4 "$chips/dropped $src_name.DAV" 2>/dev/null | tr -d ' ') == 3 ]] ||
        fail "the dropped file was not split into 3 chips"
    log "drop: the dropped file opened the Comminute dialog and was split into 3 chips"
}

# --- the display -----------------------------------------------------------------------------
# -displayfd lets the server pick a free display number itself, so parallel runs do not collide.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$out/xvfb.log" &
xvfb_pid=$!
poll 10 cat "$work/display" || { echo "SKIP: Xvfb did not start (see $out/xvfb.log)"; exit $SKIP; }
export DISPLAY=":$polled"
log "display $DISPLAY"

# xdotool types a character missing from the keymap by remapping a key for that one press; under
# load the program may read the press after the map has moved on and get another character. The
# CJK characters of our paths get keys of their own up front, so typing them needs no remapping.
map_cjk_keys() {
    local chars=$1 codes
    if ! command -v xmodmap >/dev/null; then
        return 1
    fi
    mapfile -t codes < <(xmodmap -pke | awk '$1 == "keycode" && $2 > 8 && NF == 3 { print $2 }')
    local i=0 ch
    while IFS= read -r ch; do
        [[ -n $ch ]] || continue
        ((i < ${#codes[@]})) || return 1
        local sym
        sym=$(printf 'U%04X' "'$ch")
        xmodmap -e "keycode ${codes[i]} = $sym $sym" || return 1
        i=$((i + 1))
    done < <(grep -o . <<<"$chars" | LC_ALL=C.UTF-8 grep -v '^[ -~]$' | sort -u)
}
if map_cjk_keys "$(basename "$work")源文件"; then
    src_name="big source 源文件.bin"
else
    # Without xmodmap, typed CJK text is unreliable; the paths then keep to ASCII.
    log "note: xmodmap is missing (x11-xserver-utils); the typed paths avoid CJK characters"
    mv "$work" "${work// 测试/}" && work=${work// 测试/}
    src_name="big source.bin"
fi

# The program under test gets a home, settings, lock and temp folder of its own.
mkdir -p "$work/home" "$work/config" "$work/runtime" "$work/tmp" "$work/src" "$work/chips" "$work/rebuilt" \
    "$work/rebuilt again" "$work/dropped chips"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work/tmp"
export LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION QT_QPA_PLATFORMTHEME SESSION_MANAGER WAYLAND_DISPLAY
if [[ $(fc-list : family 2>/dev/null | grep -ci cjk) -eq 0 ]]; then
    log "note: no CJK font installed (fonts-noto-cjk); Chinese screenshots will show boxes"
fi

# --- start-up --------------------------------------------------------------------------------
start_zelvo
first=$started
main=$(wait_window "$first" '^Zelvo for File$') || fail "the main window 'Zelvo for File' did not appear"
log "main window $main"
sleep 0.3 # let the first paint reach the screen before the picture
shot "main-window"
window_shot "$main" "main-window"

# --- a second start is refused ---------------------------------------------------------------
start_zelvo
second=$started
box=$(wait_window "$second" '^Zelvo$') || fail "the second start showed no message box"
shot "second-instance-message"
# While the second start shows its message, the first process still has the only main window.
if [[ -n $(windows_of "$second" 'Zelvo for File' 2>/dev/null) ]]; then
    fail "the second start opened a main window"
fi
mains=$(xdotool search --onlyvisible --name '^Zelvo for File' | wc -l)
((mains == 1)) || fail "expected one main window during the second start, found $mains"
keys "$box" Return
poll "$WAIT" exited "$second" || fail "the second start did not end after its message"
wait "$second"
log "second start ended with status $? after its message"
[[ -n $(windows_of "$first" '^Zelvo for File$') ]] || fail "the first program's window went away"

# --- File > Comminute, File > Merge ---------------------------------------------------------
comminute_and_merge
handover_merge
drop_on_main_window

# --- Setting > Language > Simplified Chinese, kept across a restart ---------------------------
# The menu is opened from the keyboard; the item texts come from the English language file:
# "&Setting", "&Language", "&Simplified Chinese".
keys "$main" alt+s
wait_popups "$first" 1 "Setting"
keys "$main" l
wait_popups "$first" 2 "Setting > Language"
shot "language-menu"
keys "$main" s
chs_title='Zelvo for File - 文件分割与合并'
wait_caption "$main" "$chs_title" ||
    fail "the caption did not change to '$chs_title' (it is '$(xdotool getwindowname "$main")')"
log "caption now: $chs_title"
shot "caption-chinese"
exit_through_menu "$first" "$main"

start_zelvo
third=$started
main=$(wait_window "$third" 'Zelvo for File') || fail "the main window did not appear after the restart"
wait_caption "$main" "$chs_title" ||
    fail "after the restart the caption is '$(xdotool getwindowname "$main")', not '$chs_title'"
sleep 0.3
shot "restarted-chinese"
grep -q '^Language=CHS' "$XDG_CONFIG_HOME/Quorvex/Zelvo.conf" ||
    fail "the settings file does not hold Language=CHS"
exit_through_menu "$third" "$main"

if [[ -n $docs ]]; then
    mkdir -p "$docs"
    for picture in main-window comminute-running; do
        [[ -f $out/$picture.png ]] || continue
        convert "$out/$picture.png" -strip "$docs/$picture.png" && log "copied $picture.png to $docs"
    done
fi
log "PASS"
