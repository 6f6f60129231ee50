# Wine environment for tests and demonstrations; sourced by with-wine.sh and the lab.
# Provides a fresh prefix fit for tests (fonts, undecorated-window drawing), a private
# Xvfb display on a free number, generated locales, and their tear-down by PID.

ORVAQ_WINE_LOADER64=/usr/lib/wine/wine64
ORVAQ_WINE_LOADER32=/usr/lib/wine/wine
ORVAQ_WINESERVER=/usr/lib/wine/wineserver64

# True when this kernel can execute 32-bit x86 code (some virtual machines cannot,
# and Wine's 32-bit loader is then refused with "Exec format error").
orvaq_can_run_i386() {
  [ -x "$ORVAQ_WINE_LOADER32" ] || return 1
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# orvaq_win_test_build: the Windows build the Wine tests, the lab scenarios and the demo
# run, relative to the source tree. The shipped i686 build wherever this kernel runs
# 32-bit code; the x86_64 build of the same sources only where it cannot.
orvaq_win_test_build() {
  if orvaq_can_run_i386; then echo build/win32; else echo build/win64; fi
}

# orvaq_pe_machine FILE: prints i386 or x86_64 for a PE file of that machine; fails for
# anything else (a Wine built-in name such as "ipconfig" is no file here).
orvaq_pe_machine() {
  local f=$1 off
  [ -f "$f" ] && [ "$(head -c 2 "$f" 2>/dev/null | tr -d '\0')" = MZ ] || return 1
  off=$(od -An -tu4 -j 60 -N 4 "$f" | tr -d ' \n')
  [ -n "$off" ] || return 1
  [ "$(od -An -tx1 -j "$off" -N 4 "$f" | tr -d ' \n')" = 50450000 ] || return 1
  case $(od -An -tx1 -j "$((off + 4))" -N 2 "$f" | tr -d ' \n') in
    4c01) echo i386 ;;
    6486) echo x86_64 ;;
    *) return 1 ;;
  esac
}

# orvaq_wine_loader_for PROGRAM: the Wine loader for PROGRAM. An i386 PE needs the 32-bit
# loader (it runs in the 64-bit prefix's syswow64); an x86_64 PE, or a built-in program
# named without a path, takes wine64.
orvaq_wine_loader_for() {
  if [ "$(orvaq_pe_machine "$1")" = i386 ]; then
    echo "$ORVAQ_WINE_LOADER32"
  else
    echo "$ORVAQ_WINE_LOADER64"
  fi
}

# orvaq_wine_prefix_create DIR: a new 64-bit prefix in DIR.
orvaq_wine_prefix_create() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$dir"
  # A prefix made while the machine is very busy can come out incomplete (no
  # kernel32.dll); make it once more before giving up, and say so.
  local attempt
  for attempt in 1 2 3; do
    WINEPREFIX=$dir WINEDEBUG=-all DISPLAY= "$ORVAQ_WINE_LOADER64" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$dir "$ORVAQ_WINESERVER" -w 2>/dev/null || true
    [ -f "$dir/drive_c/windows/system32/kernel32.dll" ] && [ -f "$dir/system.reg" ] && break
    echo "wine-env: the Wine prefix in $dir is incomplete (attempt $attempt), making it again" >&2
    rm -rf "$dir"
    mkdir -p "$dir"
  done
  # Debian's Wine does not find its own fonts in a new prefix.
  mkdir -p "$dir/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/* "$dir/drive_c/windows/Fonts/" 2>/dev/null || true
  for f in /usr/share/fonts/truetype/liberation/*.ttf; do
    [ -f "$f" ] && cp -n "$f" "$dir/drive_c/windows/Fonts/"
  done
  cat > "$dir/orvaq-settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Debug]
"RelayExclude"=""
REG
  WINEPREFIX=$dir WINEDEBUG=-all DISPLAY= "$ORVAQ_WINE_LOADER64" regedit /S "$(printf 'Z:%s' "$dir/orvaq-settings.reg" | tr / '\\')" >/dev/null 2>&1 || true
  WINEPREFIX=$dir "$ORVAQ_WINESERVER" -w 2>/dev/null || true
}

# orvaq_locales_create DIR: the locales the tests switch to (LOCPATH=DIR).
orvaq_locales_create() {
  local dir=$1 l
  mkdir -p "$dir"
  for l in fr_FR fr_CA fr_CH de_DE en_US; do
    [ -d "$dir/$l.UTF-8" ] || localedef -i "$l" -f UTF-8 "$dir/$l.UTF-8" 2>/dev/null || true
  done
}

# orvaq_xvfb_start: starts Xvfb on the first free display from 90 on; sets
# ORVAQ_XVFB_PID and DISPLAY.
orvaq_xvfb_start() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  ORVAQ_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  export DISPLAY=":$n"
}

orvaq_xvfb_stop() {
  if [ -n "${ORVAQ_XVFB_PID:-}" ]; then
    kill "$ORVAQ_XVFB_PID" 2>/dev/null || true
    wait "$ORVAQ_XVFB_PID" 2>/dev/null || true
    ORVAQ_XVFB_PID=
  fi
}

# Persistent wineserver for the prefix: without it every program start pays seconds.
# The prefix's services (explorer for the desktop, rpcss, plugplay...) are started here
# with their output on /dev/null: started later by a test they would inherit the test
# runner's pipe and keep it open after the test ends.
orvaq_wineserver_start() {
  "$ORVAQ_WINESERVER" -p >/dev/null 2>&1 &
  ORVAQ_WINESERVER_PID=$!
  "$ORVAQ_WINE_LOADER64" wineboot -u >/dev/null 2>&1 </dev/null || true
}

orvaq_wineserver_stop() {
  "$ORVAQ_WINESERVER" -k >/dev/null 2>&1 || true
  if [ -n "${ORVAQ_WINESERVER_PID:-}" ]; then
    kill "$ORVAQ_WINESERVER_PID" 2>/dev/null || true
    wait "$ORVAQ_WINESERVER_PID" 2>/dev/null || true
    ORVAQ_WINESERVER_PID=
  fi
}
