#!/usr/bin/env bash
# Remakes the manual's pictures (resources/help/*.png): builds the program, starts it in a
# throwaway program folder on a virtual X server against the demo server (scripts/demo.sh), drives
# it with xdotool and takes each window with ImageMagick's import.
#   screenshots.sh [--display :N]   the X display to use; by default a free one
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

display=
while [ $# -gt 0 ]; do
  case "$1" in
    --display) display=${2:?}; shift 2 ;;
    *) echo "usage: $0 [--display :N]" >&2; exit 2 ;;
  esac
done

bash scripts/setup.sh xdotool imagemagick
# shellcheck source=scripts/presets.sh
source scripts/presets.sh
# shellcheck source=scripts/cluster-helpers.sh
source scripts/cluster-helpers.sh
configure_preset default >/dev/null
build_preset default --target quillon quillon_demo_seed >/dev/null

work=$(mktemp -d /tmp/quillon-shots.XXXXXX)
out=$repo/resources/help
xvfb_pid=
program_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  bash "$repo/scripts/demo.sh" stop $$ >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

if [ -n "$display" ]; then
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
else
  exec 3<> <(:)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 10 number <&3
  display=:$number
fi
export DISPLAY=$display
for _ in $(seq 1 50); do
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.1
done
if ! kill -0 "$xvfb_pid" 2>/dev/null; then
  cat "$work/xvfb.log" >&2
  echo "screenshots: no X server of our own on $display (is it taken?)" >&2
  exit 1
fi

# The program folder: the executable, the sample configuration, a main window of a fixed size.
program=$work/program
mkdir -p "$program/Config"
cp build/bin/quillon "$program/"
cmake -DSOURCE="$repo/resources" -DDEST="$program" -P scripts/place-program-files.cmake
# Relative paths, so the settings dialog shows no temporary folder.
printf '%s\r\n' '[Main]' 'ServerList=Config/Servers.lst' 'ConnectionList=Config/Connections.ini' \
  'SensorsFile=Config/Sensors.ini' 'MenuFile=Config/Menus.ini' \
  '[Window]' 'WindowState=0' 'Left=0' 'Top=0' 'Width=900' 'Height=600' > "$program/Config/quillon.ini"

demo=$(bash scripts/demo.sh start $$)
bash scripts/demo.sh seed "$program"
(cd "$work" && ODBCINI=$demo/odbc.ini LC_ALL=C.UTF-8 exec "$program/quillon" >"$work/program.log" 2>&1) &
program_pid=$!

main=
for _ in $(seq 1 100); do
  main=$(xdotool search --onlyvisible --name '^Quillon' 2>/dev/null | head -1) || true
  [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || { cat "$work/program.log" >&2; echo "screenshots: the main window did not show" >&2; exit 1; }

# The newest visible window of the program other than the main window and smaller popups (menus,
# completion lists): the dialog just opened.
dialog() {
  local id found WIDTH HEIGHT
  for _ in $(seq 1 50); do
    found=
    for id in $(xdotool search --onlyvisible --class quillon 2>/dev/null | grep -vx "$main"); do
      eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(WIDTH|HEIGHT)=')"
      if [ "$WIDTH" -ge 120 ] && [ "$HEIGHT" -ge 80 ]; then found=$id; fi
    done
    if [ -n "$found" ]; then
      echo "$found"
      return
    fi
    sleep 0.1
  done
  echo "screenshots: no dialog opened" >&2
  exit 1
}
# The main window's area of the screen, with any popup menu over it.
shoot_main() {
  sleep "${2:-0.8}"
  import -window root -crop 900x600+0+0 +repage "$out/$1"
}
shoot_dialog() {
  local id
  sleep 0.8
  id=$(dialog)
  import -window "$id" "$out/$1"
}
key() {
  xdotool key --clearmodifiers "$@"
  sleep 0.4
}
# Without a window manager nobody gives the focus back when a dialog closes: the main window
# takes it again, and a click into the grid makes the monitor window the active child.
back_to_monitor() {
  sleep 0.5
  xdotool windowfocus --sync "$main"
  xdotool mousemove 450 300 click 1
  sleep 0.3
}

xdotool windowfocus --sync "$main"
key alt+c
shoot_dialog logon.png
key Tab space
sleep 2
# Start the monitor window: the keys reach it once it has the focus.
xdotool mousemove 450 300 click 1
key alt+s
sleep 5
shoot_main monitor.png
# "Дерево блокировок" at the end of the history bar: the demo's chain, then the grid again.
xdotool mousemove 825 64 click 1
shoot_main blocking-tree.png 2.5
xdotool mousemove 825 64 click 1
xdotool mousemove 250 94 click 1 click 3
shoot_main popup-menu.png
key Down Down Down Return
shoot_dialog command-result.png
key Escape
back_to_monitor
key alt+f
xdotool type --delay 80 state
key Tab
xdotool type =
key Tab
xdotool type --delay 80 active
# The first Escape closes the list of values the field offers, the second the dialog.
key Escape
shoot_dialog filter.png
key Escape
back_to_monitor
key alt+q
shoot_main catalogue.png
key ctrl+Return
shoot_dialog script-editor.png
key Escape
# The catalogue window covers the monitor window: a click into it, and Escape closes it.
back_to_monitor
key Escape
back_to_monitor
key ctrl+alt+s
shoot_dialog settings.png
key Escape
back_to_monitor
key alt+a
shoot_dialog about.png
key Escape
back_to_monitor
# The monitor's sessions end on the server: its next refresh fails and the window goes Offline.
"$pg_bin/psql" -X -q -h "$(cat "$demo/cluster")" -p "$(cat "$demo/port")" -U quillon_demo -d demo \
  -c "select pg_terminate_backend(pid) from pg_stat_activity where application_name = 'Quillon'" >/dev/null
shoot_main offline.png 4
ls -1 "$out"/*.png
