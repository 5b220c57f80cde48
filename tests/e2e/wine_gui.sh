#!/usr/bin/env bash
# The windowed wizard under Wine and Xvfb, clicked and typed through as a person would: the
# demo setup (language to German and back, Escape and the quit question, the licence accepted
# and a component checked with the keyboard, a folder typed on the installation-directory page
# and Enter, back and forth with Alt and the buttons' letters,
# install, Enter on the finish page), then its uninstaller through its pages by keyboard. A
# screenshot of each page goes to BUILD_DIR/gui-shots. At another DPI (Wine's LogPixels) the
# window must be that much larger, every click lands where the scaled button is, no text is
# cut, and the screenshots go to BUILD_DIR/gui-shots-DPI.
# usage: wine_gui.sh SOURCE_DIR WINDOWS_BUILD_DIR HOST_BUILD_DIR [DPI]
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
HOST_DIR=$(cd "$3" && pwd)
DPI=${4:-96}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"
set +e  # a click or a window search that misses is a failed check, not the end of the run

SUFFIX=""
[ "$DPI" = 96 ] || SUFFIX="-$DPI"
WORK="$BUILD_DIR/e2e-gui$SUFFIX"
SHOTS="$BUILD_DIR/gui-shots$SUFFIX"
make_demo_workspace "$WORK"
rm -rf "$SHOTS" && mkdir -p "$SHOTS"
export WINEPREFIX="$WORK/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
make_wine_prefix "$WINEPREFIX" "$ZQ_WINE_ARCH" "$BUILD_DIR/wine-templates"
if [ "$DPI" != 96 ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$DPI" /f >/dev/null 2>&1
  wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels /t REG_DWORD \
    /d "$DPI" /f >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1 || true
fi
scaled() { echo $(( ($1 * DPI + 48) / 96 )); }  # 96-DPI pixels at DPI
"$HOST_DIR/zq" build "$WORK/demo/setup.zqs" -o "$WORK/DemoSetup.exe" --stub "$BUILD_DIR/zqsetup.exe" >/dev/null

WIN=""
find_window() {  # title -> sets WIN
  WIN=""
  for _ in $(seq 1 150); do
    WIN=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$WIN" ] && return 0
    sleep 0.2
  done
  return 1
}
click() {  # x y in window coordinates at 96 DPI
  xdotool mousemove --window "$WIN" "$(scaled "$1")" "$(scaled "$2")" click 1 >/dev/null 2>&1
  sleep 0.7
}
shot() { import -window "$WIN" "$SHOTS/$1.png" >/dev/null 2>&1 || true; }
next() { click 452 396; }
keys() {  # xdotool key names, to the wizard's window
  xdotool windowfocus --sync "$WIN" key --delay 80 "$@" >/dev/null 2>&1
  sleep 0.8
}
wait_for() {  # file-test seconds
  for _ in $(seq 1 $(( $2 * 5 ))); do eval "$1" && return 0; sleep 0.2; done
  return 1
}

(cd "$WORK" && wine DemoSetup.exe "/LOG=Z:$WORK/install.txt") &
SETUP_PID=$!
check "the wizard window appears" find_window "Demo Product 2.1"
check "the title is the setup's name" test "$(xdotool getwindowname "$WIN")" = "Demo Product 2.1"
GEOMETRY=$(xdotool getwindowgeometry --shell "$WIN" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=' | tr '\n' ' ')
check "the window is $DPI/96 times 578 x 413 ($GEOMETRY)" test "$GEOMETRY" = "WIDTH=$(scaled 578) HEIGHT=$(scaled 413) "
sleep 2.5
shot 01-welcome
# The language menu: German, then English again.
click 52 396; xdotool key Down Down Return; sleep 0.8
shot 02-welcome-german
check "the buttons read German" test -n "$(xdotool getwindowname "$WIN")"
click 52 396; xdotool key Down Return; sleep 0.8
# The quit question, from the keyboard: Escape is Cancel; No keeps the window.
keys Escape
check "Escape asks the quit question" wait_for 'xdotool search --onlyvisible --name "^Quit$" >/dev/null 2>&1' 10
QUIT=$(xdotool search --onlyvisible --name "^Quit$" 2>/dev/null | head -n 1)
[ -n "$QUIT" ] && xdotool windowfocus --sync "$QUIT" key n >/dev/null 2>&1
wait_for '! xdotool search --onlyvisible --name "^Quit$" >/dev/null 2>&1' 10
sleep 0.5
check "No keeps the wizard" test -n "$(xdotool search --onlyvisible --name 'Demo Product 2.1' 2>/dev/null)"
# The licence: Next waits for the accept button, which Alt and its letter press.
next; shot 03-license
keys Return  # Next is off until the licence is accepted: Enter stays on the page
# In German the page shows the German licence.
click 52 396; xdotool key Down Down Return; sleep 0.8
shot 03-license-german
click 52 396; xdotool key Down Return; sleep 0.8
keys alt+a; shot 03-license-accepted
keys alt+n; shot 03-changelog
# The components: from Next, Tab passes Cancel and the language button to the boxes (the
# fixed one is greyed and skipped); Space checks the manual, which is off by default.
keys alt+n; shot 04-components
keys Tab Tab Tab Tab space; shot 04-components-manual
keys alt+n; shot 04-installdir
# Type another folder.
click 540 101
for _ in $(seq 1 80); do xdotool key BackSpace; done
xdotool type --delay 20 'C:\GuiDemo'
sleep 0.8
shot 05-installdir-typed
# Enter in the folder's edit presses the default button, Next.
keys Return; shot 06-confirm
# Alt and the buttons' letters: Back, Next again, and Install, which starts the run; the
# progress page is photographed while it is still going.
keys alt+b; shot 06-back-by-alt
keys alt+n
xdotool windowfocus --sync "$WIN" key alt+i >/dev/null 2>&1
sleep 0.25; shot 07-progress
check "the run ends on the finish page" wait_for '[ -e "$WINEPREFIX/drive_c/GuiDemo/Demo_Uninstall.exe" ]' 60
sleep 1.5; shot 08-finish
# The programs the run started may have taken the foreground under Wine: a click on the page
# brings the window back, and Enter presses Finish, the finish page's default button. The run
# box is checked: the read-me opens (through the desktop's shell where there is one).
click 300 250
keys Return
code=0; wait "$SETUP_PID" || code=$?
check "the setup ends with exit code 0" test "$code" = 0
check "the checked run box starts the program after Finish" grep -qF 'started notepad.exe' "$WORK/install.txt"
check "the read-me opens" wait_for 'xdotool search --onlyvisible --name "readme" >/dev/null 2>&1' 20
import -window root "$SHOTS/09-readme-opened.png" >/dev/null 2>&1
wine taskkill /f /im notepad.exe >/dev/null 2>&1  # without a window manager it would keep the keys
check "the manual checked on the components page is installed" test -f "$WINEPREFIX/drive_c/GuiDemo/Manual/manual.txt"
check "installed into the typed folder" same_tree "$WORK/demo/payload" "$WINEPREFIX/drive_c/GuiDemo" docs/part0/file000.txt $DEMO_ARCHIVES
check "the registry names the typed folder" bash -c "wine reg query 'HKCU\\Software\\zqsetup Demo\\Demo Product' /v InstallDir 2>/dev/null | grep -q 'C:\\\\GuiDemo'"

wine "C:\\GuiDemo\\Demo_Uninstall.exe" "/LOG=Z:$WORK/uninstall.txt" &
UNINSTALL_PID=$!
check "the uninstaller's window appears" find_window "Demo Product Uninstall"
sleep 1; shot 11-uninstall-welcome
keys Return; shot 12-uninstall-confirm
keys alt+u; sleep 1; shot 13-uninstall-finish
keys Return
code=0; wait "$UNINSTALL_PID" || code=$?
check "the uninstaller ends with exit code 0" test "$code" = 0
wait_for '[ ! -e "$WINEPREFIX/drive_c/GuiDemo" ]' 30
check "the installation is gone" test ! -e "$WINEPREFIX/drive_c/GuiDemo"
# The window measures every label it shows and logs one whose text does not fit its box.
check "no text is cut at $DPI DPI" bash -c "! grep -h 'text cut' '$WORK/install.txt' '$WORK/uninstall.txt' >&2"
finish
