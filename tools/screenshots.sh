#!/usr/bin/env bash
# Takes the pictures in docs/screenshots/ that the README and the software centre's
# metainfo show, from the real program on a virtual 1280x1024 screen with a window
# manager and a fresh home. It loads the example data, then captures each window with
# its frame:
#   main-window.png       the list with the example data
#   editor.png            "Edit Selected" on the first transaction
#   currency-options.png  "Currency Options"
#   report-preview.png    "Create/Print Report" (left as it is, with a note, when no
#                         preview opens)
#   help-window.png       the help window
#
#   tools/screenshots.sh [PROGRAM]       default: build/bin/tallyfold
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/bin/tallyfold}")
out=$PWD/docs/screenshots
mkdir -p "$out"
tools/install-missing.sh xvfb openbox imagemagick xdotool

# The main window's buttons, in pixels from its top left corner: their places in twips
# (main/Form1.cpp) divided by 15, plus half a button.
load_example_data=(708 201)
edit_selected=(304 199)
create_print_report=(304 233)
currency_options=(708 233)

work=$(mktemp -d /tmp/screenshots.XXXXXX)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[$i]}" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 0.5

mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
(cd "$work/home" && exec env HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" \
   XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime" LC_ALL=C.UTF-8 \
   "$program" > "$work/program.log" 2>&1) &
pids+=($!)

# windows TITLE [COUNT]: the ids of the visible windows with that exact title, once
# there are COUNT of them (default 1) or 10 s have passed.
windows() {
  local found=""
  for _ in $(seq 50); do
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true)
    [ "$(wc -w <<<"$found")" -ge "${2:-1}" ] && break
    sleep 0.2
  done
  echo "$found"
}
# shoot WINDOW NAME: the window with its frame, the pointer out of the way.
shoot() {
  xdotool mousemove 0 0
  sleep 0.5
  import -frame -window "$1" -strip "$out/$2.png"
  echo "$out/$2.png"
}
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
close_dialog() { xdotool key Escape; sleep 0.5; }

# The help window opens first and beside the main window; the main window is the wider.
main="" ghost=""
for w in $(windows Tallyfold 2); do
  width=$(xdotool getwindowgeometry --shell "$w" | sed -n 's/^WIDTH=//p')
  if [ -z "$main" ] || [ "$width" -gt "$main_width" ]; then
    [ -n "$main" ] && ghost=$main
    main=$w main_width=$width
  else
    ghost=$w
  fi
done
if [ -z "$main" ] || [ -z "$ghost" ]; then
  echo "screenshots: the main and help windows did not both open; program output:" >&2
  cat "$work/program.log" >&2
  exit 1
fi

sleep 1
click "${load_example_data[@]}"
sleep 1
shoot "$main" main-window

click "${edit_selected[@]}"
editor=$(windows "Edit Data")
[ -n "$editor" ] || { echo "screenshots: no editor opened" >&2; exit 1; }
shoot "$editor" editor
close_dialog

click "${currency_options[@]}"
currency=$(windows "Currency Options")
[ -n "$currency" ] || { echo "screenshots: no currency options opened" >&2; exit 1; }
shoot "$currency" currency-options
close_dialog

click "${create_print_report[@]}"
report=$(windows DataReport1)
if [ -n "$report" ]; then
  sleep 1
  shoot "$report" report-preview
  close_dialog
else
  echo "screenshots: no report preview opened; report-preview.png left as it was" >&2
fi

xdotool windowactivate --sync "$ghost"
shoot "$ghost" help-window
