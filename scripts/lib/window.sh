# Drives Quillora's window under Xvfb with xdotool. Sourced by scripts/screenshot.sh and the package
# test; needs Xvfb, x11-utils (xdpyinfo) and xdotool. The screen is 1280x900 and the window sits at its
# centre, (128, 86): the points below are screen coordinates.

# Starts Xvfb on a free display; sets xvfb (its pid) and exports DISPLAY. The caller kills $xvfb.
start_xvfb() {
  local number
  for number in $(seq $((90 + RANDOM % 100)) 300); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] || break
  done
  Xvfb ":$number" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
  export DISPLAY=":$number"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

# Waits up to $2 seconds (10) for a window titled $1 to show; prints its id. Fails when none does.
wait_window() {
  local id
  for _ in $(seq $((${2:-10} * 10))); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)" && [ -n "$id" ] && {
      echo "$id"
      return 0
    }
    sleep 0.1
  done
  return 1
}

click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.4}"; }

open_audio_list() { click 228 141; }     # 音频文件
open_document_list() { click 228 790; }  # 文本文档, pushed down by the open audio list
close_window() { click 1135 101 1; }     # the program ends the speech service it started

# Converts the entry at height $1 of the open audio list (the first entry is at 176, one every 22 px):
# selects it, adds it to the tasks, picks 英文 and starts. Waits up to $2 seconds (240) for the 提示
# box that ends the run and answers it. Fails when no box came.
convert_audio_entry() {
  click 200 "$1"       # the entry
  click 300 141        # 添加到任务
  click 966 186 0.6    # language box (beside the speakers' choice): open, then pick 英文
  xdotool key Down Down Return
  sleep 0.4
  click 468 226        # 开始转换, on the task bar's second row
  wait_window 提示 "${2:-240}" >/dev/null || return 1
  sleep 0.5
  xdotool key Return   # "文件已经全部转换完成！"
  sleep 0.3
  if xdotool search --onlyvisible --name '^提示$' >/dev/null 2>&1; then xdotool key Escape; fi
  sleep 0.5
}
