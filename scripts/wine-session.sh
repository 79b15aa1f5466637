# Sourced by the run scripts: a scratch Wine prefix and an Xvfb display of
# their own, both removed on exit. Never touches ~/.wine.
# Sets WENDREL_WINEPREFIX, WINEPREFIX, WINEDEBUG and DISPLAY.

wendrel_session_start() {
  local scratch
  scratch=$(realpath -m "$1")
  export WENDREL_WINEPREFIX=$scratch/wineprefix
  export WINEPREFIX=$WENDREL_WINEPREFIX
  export WINEDEBUG=-all
  # No Mono/Gecko prompts in a bare prefix, and no menu entries or desktop
  # files of the links the programs make on the host.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  rm -rf "$WINEPREFIX"
  mkdir -p "$scratch"

  # Xvfb picks a free display itself and writes its number once it listens,
  # so two sessions started together can't take the same one.
  local fifo=$scratch/xvfb.displayfd
  rm -f "$fifo" && mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >"$scratch/xvfb.log" 2>&1 &
  WENDREL_XVFB_PID=$!
  trap wendrel_session_stop EXIT
  local n=""
  read -r -t 20 n <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$n" ] || ! kill -0 "$WENDREL_XVFB_PID" 2>/dev/null; then
    echo "Xvfb did not start; its log:" >&2
    cat "$scratch/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$n"

  echo "== making a scratch Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wendrel_unlink_user_folders
  # Without a window manager Wine draws the window frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # A crashing program ends instead of waiting in the crash debugger.
  wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1
  wineserver -w
  # One server for the whole session: each program then starts in a blink
  # instead of bringing up a new server and its services.
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1
}

# Wine links the user's Desktop, Documents, ... to the host's home folder:
# links and files the programs make there would land on the host. Each
# becomes a plain folder of the prefix.
wendrel_unlink_user_folders() {
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos,Templates}; do
    if [ -L "$link" ]; then
      rm -f "$link" && mkdir -p "$link"
    fi
  done
}

wendrel_session_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "${WENDREL_XVFB_PID:-}" ] && kill "$WENDREL_XVFB_PID" >/dev/null 2>&1 || true
}

# Presses Return once in each window whose title matches the regex, and
# again only when it is still there three seconds later: keys pressed at a
# window that is going are kept by Wine and reach the next program's first
# window. Focus first, then the key without --window: so each key comes once.
WENDREL_PRESSED=""
wendrel_press_return_once() { # title-regex
  local w name now
  now=$(date +%s)
  for w in $(xdotool search --name "$1" 2>/dev/null); do
    name=$(xdotool getwindowname "$w" 2>/dev/null) || continue
    local key="|$w:$name:"
    if [[ "$WENDREL_PRESSED" == *"$key"* ]]; then
      local at=${WENDREL_PRESSED##*"$key"}
      at=${at%%|*}
      [ $((now - at)) -lt 3 ] && continue
    fi
    WENDREL_PRESSED="$WENDREL_PRESSED$key$now|"
    timeout 5 xdotool windowfocus --sync "$w" >/dev/null 2>&1 || continue
    xdotool key Return >/dev/null 2>&1
  done
}

# Walks the setup's wizard as a user who takes every default: Return presses
# the default or focused button of the page shown (Next, Finish).
wendrel_accept_wizard_once() {
  wendrel_press_return_once '^(Welcome|Choose Destination Location|Setup complete|Setup incomplete)$'
}

# Presses Return in every window whose title is $1 (a program's message
# boxes carry its name), as a user answering them would.
wendrel_answer_boxes_once() { wendrel_press_return_once "^$1\$"; }
