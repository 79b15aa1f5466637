# Sourced by the run scripts: a scratch Wine prefix and an Xvfb display of
# their own, both removed on exit. Never touches ~/.wine.
# Sets WENDREL_WINEPREFIX, WINEPREFIX, WINEDEBUG and DISPLAY.

wendrel_session_start() {
  local scratch=$1
  export WENDREL_WINEPREFIX=$scratch/wineprefix
  export WINEPREFIX=$WENDREL_WINEPREFIX
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono/Gecko prompts in a bare prefix
  rm -rf "$WINEPREFIX"
  mkdir -p "$scratch"

  # A free display number: the lowest without a lock file.
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
  WENDREL_XVFB_PID=$!
  trap wendrel_session_stop EXIT
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

  echo "== making a scratch Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
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

wendrel_session_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "${WENDREL_XVFB_PID:-}" ] && kill "$WENDREL_XVFB_PID" >/dev/null 2>&1 || true
}
