#!/usr/bin/env bash
# The installed program in a virtual X display, driven from outside with xdotool as a person would:
# a second start is refused while the first goes on, a split and a merge typed into the dialogs
# give files equal byte for byte, and the switch to Simplified Chinese survives a restart.
# usage: zelvo_e2e.sh ZELVO_EXECUTABLE   (exit 0 passed, 1 failed, 77 skipped: no Xvfb or xdotool)
# A failed run keeps its folder: a screenshot (with imagemagick) and the program's output.
set -uo pipefail
# Absolute but not resolved: started through its link, the program must still find its Lang folder.
zelvo=$(realpath -s "${1:?usage: zelvo_e2e.sh ZELVO_EXECUTABLE}")
type -P Xvfb xdotool >/dev/null || { echo "SKIP: Xvfb or xdotool is not installed"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/zelvo e2e.XXXXXX") # a space in every path typed into a dialog
cd "$work" || exit 1
cleanup() {
    local status=$?
    kill $(jobs -p) 2>/dev/null
    wait
    ((status == 1)) || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() {
    echo "FAIL: $* (see $work)"
    import -window root "$work/failure.png" 2>/dev/null
    exit 1
}

# Polls until CONDITION (shell code, which sees the caller's locals but not its arguments) holds,
# for at most ZELVO_E2E_WAIT seconds: what any one step may take on a busy machine.
poll() {
    local deadline=$((SECONDS + ${ZELVO_E2E_WAIT:-30}))
    until eval "$1" 2>/dev/null; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}
# The visible windows of the program titled REGEX (popup menus have an empty title); window waits
# for one and prints the first. Windows come and go while xdotool lists them, so its errors count
# as "not yet".
windows() { xdotool search --all --onlyvisible --pid "${owner:-$pid}" --name "$1"; }
window() { # REGEX [PID]
    local title=$1 owner=${2:-$pid}
    poll 'found=$(windows "$title" | head -n1) && [[ -n $found ]]' && echo "$found"
}
# send WINDOW key KEYS... | send WINDOW type TEXT: the window is focused first, as there is no
# window manager to do it.
send() {
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
    xdotool "$2" --clearmodifiers --delay 60 "${@:3}"
}
# menu KEYS...: Alt and the first key open a menu; each further key is pressed once the menu before
# it is open.
menu() {
    send "$main" key "alt+$1"
    for ((i = 2; i <= $#; i++)); do
        poll '(($(windows "^$" | wc -l) >= i - 1))' || fail "menu $*: no menu opened"
        send "$main" key "${!i}"
    done
}
# choose KEYS TITLE PATH: KEYS in the dialog press its "..." button; in Qt's own file dialog (there
# is no desktop portal here) the full path is typed into the name field.
choose() {
    send "$dialog" key $1
    box=$(window "$2") || fail "no window titled $2"
    send "$box" type "$3"
    send "$box" key Return
    poll 'shown=$(windows "") && ! grep -qx "$box" <<<"$shown"' || fail "$2 stayed open"
    # The dialog underneath takes the keyboard back only once the close is handled; keys sent
    # sooner are lost on a busy machine. So are keys sent while the name completer is open: it
    # opens when its folder has been read, which can be after Return. A click outside closes it.
    sleep 0.5
    poll '[[ -z $(windows "^$") ]] || ! xdotool mousemove 1279 799 click 1' || fail "a popup stayed open after $2"
}
# run KEYS...: KEYS in the dialog, then the focused button starts the run; the message at its end
# is answered.
run() {
    send "$dialog" key "$@" space
    box=$(window '^Zelvo$') || fail "no message at the end of the run"
    send "$box" key Return
    poll 'shown=$(windows "") && ! grep -qx "$dialog" <<<"$shown"' || fail "the dialog stayed open after the run"
}

# -displayfd lets the server pick a free display number, so parallel runs do not collide; -noreset
# keeps it from resetting (and refusing connections for a moment) when the program exits before the
# restart; the long autorepeat delay keeps a key that a busy machine holds down from repeating.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset -ardelay 60000 3>display 2>xvfb.log &
poll '[[ -s display ]]' || { echo "SKIP: Xvfb did not start: $(cat xvfb.log)"; exit 77; }
export DISPLAY=":$(cat display)"
# The program gets a home, settings, lock and temporary folder of its own.
mkdir -m 700 home config runtime tmp chips rebuilt
export HOME="$PWD/home" XDG_CONFIG_HOME="$PWD/config" XDG_RUNTIME_DIR="$PWD/runtime" TMPDIR="$PWD/tmp" LC_ALL=C.UTF-8
unset LANGUAGE XDG_CURRENT_DESKTOP DESKTOP_SESSION QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME SESSION_MANAGER WAYLAND_DISPLAY

"$zelvo" >>zelvo.log 2>&1 &
pid=$!
main=$(window '^Zelvo for File$') || fail "no main window"
# A second start without a file says the program is already running, and ends.
"$zelvo" >>zelvo.log 2>&1 &
box=$(window '^Zelvo$' $!) || fail "the second start showed no message"
send "$box" key Return
poll '! kill -0 $!' || fail "the second start did not end after its message"

# File > Comminute along the dialog's tab order from the default button: Comminute, Close, source
# field, source "...", size field, chip count, folder field, folder "..."; the disabled unit box
# lets Tab wrap round to Comminute.
src="$work/big source.bin"
head -c $((8 * 1048576 + 5)) /dev/urandom >"$src"
menu f c
dialog=$(window '^File Comminute$') || fail "no Comminute dialog"
choose "Tab Tab Tab space" '^Open$' "$src"
choose "Tab 3 Tab Tab Tab space" '^Select folder for destination files:$' "$work/chips"
run Tab
cat "chips/big source.bin.D0"[1-3] | cmp - "$src" || fail "the chips are not the source in 3 MB pieces"

# File > Merge; its tab order: Merge, Close, header field, header "...", chip total, folder field,
# folder "...", file name field.
menu f m
dialog=$(window '^File Merge$') || fail "no Merge dialog"
choose "Tab Tab Tab space" '^Open$' "$work/chips/big source.bin.DAV"
choose "Tab Tab Tab space" '^Select folder for destination files:$' "$work/rebuilt"
run Tab Tab
cmp "$src" "rebuilt/big source.bin" || fail "the rebuilt file differs from the source"

# Setting > Language > Simplified Chinese, then File > Exit and a new start in Chinese.
chinese='[[ $(xdotool getwindowname "$main") == "Zelvo for File - 文件分割与合并" ]]'
menu s l s
poll "$chinese" || fail "the caption did not turn Chinese: $(xdotool getwindowname "$main")"
menu f x
poll '! kill -0 $pid' || fail "the program did not end after File > Exit"
wait "$pid" || fail "the program ended with status $? after File > Exit"
"$zelvo" >>zelvo.log 2>&1 &
pid=$!
main=$(window '^Zelvo for File') || fail "no main window after the restart"
poll "$chinese" || fail "the restart forgot the language: $(xdotool getwindowname "$main")"
echo PASS
