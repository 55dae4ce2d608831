#!/usr/bin/env bash
# Runs PROGRAM ARG on the display this script is started on (xvfb-run), as a
# person would: waits for the dialog "Select Files to Clean Up", presses
# Alt+O, waits for the summary box (captioned "dbfclean") and presses Enter.
# Exits with the program's status (124 when a window never came).
# Usage: xvfb-run -a drive_dialog.sh PROGRAM ARG
set -u
"$1" "$2" &
pid=$!
window() {  # window NAME: the id of the first visible window of that name
  local i w
  for i in $(seq 1 150); do
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    if [ -n "$w" ]; then
      echo "$w"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
press() {  # press WINDOW KEY: the key, in that window
  xdotool windowfocus --sync "$1" && xdotool key --clearmodifiers "$2"
}
if ! dialog=$(window 'Select Files to Clean Up'); then
  kill "$pid"
  exit 124
fi
press "$dialog" alt+o
if ! summary=$(window dbfclean); then
  kill "$pid"
  exit 124
fi
press "$summary" Return
wait "$pid"
