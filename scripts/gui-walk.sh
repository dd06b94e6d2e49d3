#!/usr/bin/env bash
# Walks the desktop program as a user does, on a virtual X server with a
# window manager, with real input events (xdotool): the window appears, a
# backup is picked with the keyboard and scanned with Return, one click
# ticks a record, Recover writes the export, and closing the window and
# pressing Exit ends the program with status 0 within 3 seconds.
#
#   scripts/gui-walk.sh [BUILD_DIR] [SCREENSHOT_DIR]
#
# BUILD_DIR holds a built marlowen and marlowen-fixture (default: build).
# Screenshots of each step go to SCREENSHOT_DIR (default: a folder that is
# removed at the end); scripts/screenshots.sh passes docs/screenshots.
# Exits 0 when every check passes, 1 when one fails, 77 when Xvfb, openbox,
# xdotool, xwininfo or ImageMagick's import is missing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
shots_arg="${2:-}"

for tool in Xvfb openbox xdotool xwininfo import; do
    if ! command -v "$tool" >/dev/null; then
        echo "gui-walk: $tool is not installed; skipped" >&2
        exit 77
    fi
done
program="$build/src/gui/marlowen"
fixture="$build/tests/support/marlowen-fixture"
for file in "$program" "$fixture"; do
    [ -x "$file" ] || { echo "gui-walk: $file is not built" >&2; exit 1; }
done

work="$(mktemp -d)"
xvfb_pid="" wm_pid="" app_pid=""
cleanup() {
    for pid in $app_pid $wm_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
shots="${shots_arg:-$work/shots}"
mkdir -p "$shots"

# A home of its own: no mail server, settings or earlier log file.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset MARLOWEN_SMTP_HOST MARLOWEN_SMTP_USER MARLOWEN_FEEDBACK_TO MARLOWEN_LOG
export QT_QPA_PLATFORM=xcb QT_MEDIA_BACKEND=ffmpeg
# Qt and fontconfig keep caches until exit; leaks are the test suites' job.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

"$fixture" sample "$work/Backup" >/dev/null
export MARLOWEN_BACKUP_ROOT="$work/Backup"

# -displayfd picks a free display and writes its number.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "gui-walk: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
wm_pid=$!
sleep 1

step=0
main=""
# A picture of the screen, cut to the main window and its frame once it is up.
shot() {
    local crop=""
    if [ -n "${main:-}" ]; then
        local x y w h
        read -r x y < <(origin "$main")
        read -r w h < <(size_of "$main")
        crop="-crop $((w + 2))x$((h + 22))+$((x > 1 ? x - 1 : 0))+$((y > 21 ? y - 21 : 0)) +repage"
    fi
    # shellcheck disable=SC2086
    import -window root $crop "$shots/$1.png"
}
fail() {
    echo "gui-walk: FAILED: $*" >&2
    shot failure || true
    echo "gui-walk: program output:" >&2
    sed 's/^/    /' "$work/program.log" >&2 || true
    exit 1
}
pass() { step=$((step + 1)); echo "gui-walk: ok $step - $*"; }
# The program's visible windows, one "ID TITLE" a line. Searched by class:
# a name search misses windows that set only the EWMH title.
windows() {
    local id
    for id in $(xdotool search --onlyvisible --class marlowen 2>/dev/null); do
        echo "$id $(xdotool getwindowname "$id" 2>/dev/null)"
    done
}
# The id of the newest visible window titled exactly $1, waiting up to $2 seconds.
wait_window() {
    local title="$1" limit="${2:-10}" id=""
    for _ in $(seq $((limit * 10))); do
        id="$(windows | awk -v t="$title" '{ id = $1; $1 = ""; if (substr($0, 2) == t) last = id } END { print last }')"
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
# How many visible windows are titled exactly $1.
count_windows() {
    windows | awk -v t="$1" '{ $1 = ""; if (substr($0, 2) == t) n++ } END { print n + 0 }'
}
# Top-left corner of a window's client area on the screen, as "X Y"
# (xwininfo's: xdotool counts a reparenting window manager's frame twice).
origin() { xwininfo -id "$1" | awk -F: '/Absolute upper-left X/{x=$2} /Absolute upper-left Y/{y=$2} END{print x + 0, y + 0}'; }
# A window's client size, as "WIDTH HEIGHT".
size_of() { xwininfo -id "$1" | awk -F: '/^ *Width/{w=$2} /^ *Height/{h=$2} END{print w + 0, h + 0}'; }
click_at() {  # window dx dy
    local x y
    read -r x y < <(origin "$1")
    xdotool mousemove $((x + $2)) $((y + $3)) click 1
}

(cd "$work" && exec "$program") >"$work/program.log" 2>&1 &
app_pid=$!

# 1. The window and the welcome sheet appear.
main="$(wait_window Marlowen 20)" || fail "the main window did not appear"
welcome="$(wait_window Welcome 10)" || fail "the welcome sheet did not appear"
sleep 0.5
shot welcome-sheet
pass "the window appears with the welcome sheet"
xdotool windowactivate --sync "$welcome" 2>/dev/null || true
xdotool key Return
for _ in $(seq 30); do [ "$(count_windows Welcome)" = 0 ] && break; sleep 0.1; done
[ "$(count_windows Welcome)" = 0 ] || fail "Return did not close the welcome sheet"
pass "Return closes the welcome sheet"

# 2. Pick the backup with the keyboard (Home, Space), tick "Scan all categories" with
#    Tab and Space, go back to the list and scan with Return.
xdotool windowactivate --sync "$main" 2>/dev/null || true
click_at "$main" 400 360   # an empty part of the backup list gives it the focus
xdotool key Home
xdotool key Tab Tab space
xdotool key shift+Tab shift+Tab
xdotool key space
shot backup-page
xdotool key Return
# The scan ends with its finish alert, a second window titled Marlowen.
for _ in $(seq 600); do [ "$(count_windows Marlowen)" -ge 2 ] && break; sleep 0.1; done
[ "$(count_windows Marlowen)" -ge 2 ] || fail "Return on the backup did not scan it to its end"
pass "a backup picked with the keyboard is scanned with Return"
xdotool key Return   # the finish alert's Ok
for _ in $(seq 30); do [ "$(count_windows Marlowen)" = 1 ] && break; sleep 0.1; done
read -r w h < <(size_of "$main")
[ "$w" = 850 ] && [ "$h" = 620 ] || fail "the results window is ${w}x${h}, not 850x620"

# 3. One click on the third contact's box ticks it (it is not the current row).
sleep 0.3
click_at "$main" 23 263
sleep 0.5
shot results-page
pass "one click on a record's box"

# 4. Recover: the save panel takes the export folder's path, the export
#    writes the ticked contact and says that it is finished.
export_dir="$work/export"
click_at "$main" 787 562
dialog=""
for _ in $(seq 50); do
    dialog="$(windows | awk -v m="$main" '$1 != m { last = $1 } END { print last }')"
    [ -n "$dialog" ] && break
    sleep 0.1
done
[ -n "$dialog" ] || fail "Recover opened no save panel (was the box ticked?)"
sleep 0.5
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
# The save panel's format boxes: text files and vCards are ticked; Alt+H
# ticks the HTML report too (before the name is typed: the name field's
# completion list would take the key), and Alt+N goes back to the name.
xdotool key alt+h
sleep 0.2
xdotool key alt+n
sleep 0.2
xdotool key ctrl+a
xdotool type --delay 5 "$export_dir"
xdotool key Return
for _ in $(seq 100); do [ -f "$export_dir/Contact/Contacts.txt" ] && [ "$(count_windows Marlowen)" -ge 2 ] && break; sleep 0.1; done
[ -f "$export_dir/Contact/Contacts.txt" ] || fail "Recover wrote no Contacts.txt into $export_dir"
entries="$(grep -c '^Name:' "$export_dir/Contact/Contacts.txt" || true)"
[ "$entries" = 1 ] || fail "the export holds $entries contacts, not the 1 ticked"
vcards="$(find "$export_dir/Contact" -name '*.vcf' ! -name 'All contacts.vcf' | wc -l)"
[ "$vcards" = 1 ] || fail "the export holds $vcards vCards, not 1"
[ -f "$export_dir/Contact/All contacts.vcf" ] || fail "the export holds no \"All contacts.vcf\""
[ -f "$export_dir/Report.html" ] || fail "the HTML report ticked in the save panel was not written"
[ "$(count_windows Marlowen)" -ge 2 ] || fail "no message said the export was finished"
sleep 0.3
shot export-finished
pass "Recover writes the ticked record and says it is finished"
xdotool key Return
for _ in $(seq 30); do [ "$(count_windows Marlowen)" = 1 ] && break; sleep 0.1; done

# 5. Closing the window shows the feedback sheet; Exit ends the program.
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key alt+F4
feedback="$(wait_window Feedback 5)" || fail "closing the window showed no feedback sheet"
sleep 0.3
shot feedback-sheet
read -r fw fh < <(size_of "$feedback")
# Exit sits left of Send in the sheet's bottom-right corner.
click_at "$feedback" $((fw - 137)) $((fh - 23))
for _ in $(seq 30); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
    fail "the program was still running 3 seconds after Exit"
fi
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" = 0 ] || fail "the program ended with status $status"
pass "closing the window and pressing Exit ends the program with status 0"

# 6. The diagnostic log went to the log file in the cache folder, not to stderr.
log="$XDG_CACHE_HOME/Marlowen/marlowen.log"
grep -q '^modificationDate===' "$log" 2>/dev/null || fail "the log file $log holds no diagnostic line"
! grep -q '^modificationDate===' "$work/program.log" || fail "diagnostic lines went to stderr without --verbose"
pass "the diagnostic log is in the cache folder's log file"

# 7. An encrypted backup: the password sheet comes over the window, a wrong
#    password leaves it open for another try, the right one scans.
enc_root="$work/EncryptedRoot"
plain_folder="$("$fixture" sample "$enc_root" --encrypted "walk password" --iterations 2 --double-iterations 3 | head -1)"
rm -rf "$plain_folder"   # the encrypted backup alone in its root
MARLOWEN_BACKUP_ROOT="$enc_root" "$program" >"$work/program.log" 2>&1 &
app_pid=$!
main="$(wait_window Marlowen 20)" || fail "the main window did not appear again"
welcome="$(wait_window Welcome 10)" || fail "the welcome sheet did not appear again"
xdotool windowactivate --sync "$welcome" 2>/dev/null || true
xdotool key Return
for _ in $(seq 30); do [ "$(count_windows Welcome)" = 0 ] && break; sleep 0.1; done
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key Return
sheet="$(wait_window "Encrypted Backup" 10)" || fail "Return on an encrypted backup showed no password sheet"
xdotool windowactivate --sync "$sheet" 2>/dev/null || true
xdotool type --delay 5 "not it"
xdotool key Return
sleep 1.5
[ "$(count_windows "Encrypted Backup")" = 1 ] || fail "a wrong password closed the password sheet"
[ "$(count_windows Marlowen)" = 1 ] || fail "a wrong password started the scan"
shot password-sheet
xdotool windowactivate --sync "$sheet" 2>/dev/null || true
xdotool type --delay 5 "walk password"
xdotool key Return
for _ in $(seq 600); do [ "$(count_windows Marlowen)" -ge 2 ] && break; sleep 0.1; done
[ "$(count_windows Marlowen)" -ge 2 ] || fail "the right password did not scan the encrypted backup"
[ "$(count_windows "Encrypted Backup")" = 0 ] || fail "the password sheet stayed open after the scan"
pass "an encrypted backup asks for its password, refuses a wrong one and scans with the right one"
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=""
echo "gui-walk: $step passed, 0 failed"
