#!/usr/bin/env bash
# Wine test of the setup program, in a fresh prefix of its own: a silent installation of
# an older setup, the upgrade and a second installation of this version (every file in
# place with its version resource, settings, images and logs untouched), the uninstaller
# (exactly the installed files go), a library that is not ours kept, and an interactive
# installation in French driven by key presses that ends with setupnote's French dialog
# (screenshot kept in BUILD_DIR/test-artifacts).
#   installer_wine_test.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/tools/wine-env.sh"
build=$(cd "${1:?usage: installer_wine_test.sh BUILD_DIR}" && pwd)
bin=$build/bin

orvaq_can_run_i386 || { echo "SKIP: this kernel cannot run the 32-bit setup program"; exit 77; }
command -v makensis >/dev/null || { echo "FAILED - makensis missing (tools/setup.sh installs nsis)"; exit 1; }

work=$(mktemp -d /tmp/in-wine-XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
unset WINESERVER
failures=0
started_xvfb=""
finish() {
  [ -n "${setup_pid:-}" ] && kill "$setup_pid" 2>/dev/null
  WINEPREFIX=$work/prefix "$ORVAQ_WINESERVER" -k 2>/dev/null
  [ -n "$started_xvfb" ] && orvaq_xvfb_stop
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then echo "ok - $what"; else echo "FAILED - $what"; failures=$((failures + 1)); fi
}

version=$(head -n1 "$root/resources/version.txt" | tr -d '\r ')
setup=$(bash "$root/tools/package.sh" -B "$build" -o "$work" --no-build | tail -n1)
old_setup=$(bash "$root/tools/package.sh" -B "$build" -o "$work" --no-build --version 0.9.0 | tail -n1)
[ -f "$setup" ] && [ -f "$old_setup" ] || { echo "FAILED - packaging"; exit 1; }

# Its own display unless the test command gave one (the interactive part needs it).
if [ -z "${DISPLAY:-}" ]; then orvaq_xvfb_start; started_xvfb=1; fi
orvaq_wine_prefix_create "$WINEPREFIX"

c=$WINEPREFIX/drive_c
instdir="$c/Program Files (x86)/Orvaq"
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvaq"
user=$(ls "$c/users" | grep -vx Public | head -n1)
appdata="$c/users/$user/AppData/Local"
shipped=(Orvaq.exe setupnote.exe RXFilter.DLL Orvaq.TXT Orvaqerr.409 Orvaqerr.40C)
[ -f "$bin/OrvaqRbld2.exe" ] && shipped+=(OrvaqRbld2.exe)

# Runs a Windows program of the prefix and waits until every process of the prefix has
# ended (the setup's uninstaller copy included) and the registry is on disk.
run_and_settle() {
  "$ORVAQ_WINE_LOADER32" "$@" >/dev/null 2>&1
  local rc=$?
  timeout 180 "$ORVAQ_WINESERVER" -w
  return $rc
}
reg_value() {  # reg_value KEY NAME: a string value of the 32-bit view of HKLM
  python3 - "$WINEPREFIX/system.reg" "$1" "$2" <<'PY'
import sys
key = "[Software\\\\Wow6432Node\\\\" + sys.argv[2].replace("\\", "\\\\") + "]"
inside = False
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    if line.startswith("["):
        inside = line.split("]")[0] + "]" == key
    elif inside and line.startswith('"%s"=' % sys.argv[3]):
        print(line.split("=", 1)[1].strip().strip('"'))
PY
}
uninstall_key='Microsoft\Windows\CurrentVersion\Uninstall\Orvaq'
# The user's files that no installation or uninstallation may touch.
user_files=("$appdata/Orvaq/Orvaq.INI" "$appdata/Logs KVW/Orvaq.txt" "$c/users/Public/Documents/Orvaq/IMG0001.bmp")
user_sums() { md5sum "${user_files[@]}" "$instdir/Orvaq.INI" 2>&1; }
installed_files_ok() {
  local f v
  for f in "${shipped[@]}"; do
    cmp -s "$bin/$f" "$instdir/$f" || { echo "  $f differs from $bin/$f or is missing"; return 1; }
  done
  for f in Orvaq.exe setupnote.exe RXFilter.DLL ${shipped[6]:-}; do
    v=$(python3 "$here/pe_version.py" "$instdir/$f" | tr '\n' '|')
    [ "$v" = "$version.0|HALVEX S.A.|Orvaq|$version|" ] || { echo "  $f: version resource $v"; return 1; }
  done
}
listing() { (cd "$instdir" 2>/dev/null && ls | sort | tr '\n' ' '); }
expected_listing() { printf '%s\n' "${shipped[@]}" Uninstall.exe "$@" | sort | tr '\n' ' '; }

# 1. The older version, silently, then the user's settings, logs and images appear.
check "silent installation of version 0.9.0" run_and_settle "$old_setup" /S
check "Add or remove programs shows 0.9.0" test "$(reg_value "$uninstall_key" DisplayVersion)" = 0.9.0
mkdir -p "$appdata/Orvaq" "$appdata/Logs KVW" "$c/users/Public/Documents/Orvaq"
printf '\xff\xfe[\0S\0E\0N\0S\0O\0R\0]\0\r\0\n\0' > "${user_files[0]}"
echo "09:00:00 Terminaison du module." > "${user_files[1]}"
head -c 1078 "$bin/Orvaq.exe" > "${user_files[2]}"
printf '[SENSOR]\r\nStationNumber=3\r\n' > "$instdir/Orvaq.INI"
before=$(user_sums)

# 2. The upgrade, then the same version once more.
check "silent upgrade to $version" run_and_settle "$setup" /S
check "every file in place with its version resource" installed_files_ok
check "nothing else in the program folder" test "$(listing)" = "$(expected_listing Orvaq.INI)"
check "Start-menu shortcut" test -f "$menu/Orvaq.lnk"
check "Add or remove programs shows $version" test "$(reg_value "$uninstall_key" DisplayVersion)" = "$version"
check "its uninstaller is registered" bash -c "[[ '$(reg_value "$uninstall_key" UninstallString)' == *Uninstall.exe* ]]"
check "the upgrade kept settings, logs and images" test "$(user_sums)" = "$before"
check "second silent installation of $version" run_and_settle "$setup" /S
check "every file still in place" installed_files_ok
check "the second installation kept settings, logs and images" test "$(user_sums)" = "$before"

# 3. The uninstaller: exactly the installed files go; settings, logs and images stay.
check "silent uninstallation" run_and_settle "$instdir/Uninstall.exe" /S
check "only the settings file left beside the program" test "$(listing)" = "Orvaq.INI "
check "Start-menu folder removed" test ! -e "$menu"
check "Add or remove programs entry removed" test -z "$(reg_value "$uninstall_key" DisplayName)"
check "the uninstallation kept settings, logs and images" test "$(user_sums)" = "$before"

# 4. A filter library that is not ours (here one of Wine's DLLs) is neither replaced
# nor removed.
foreign=$c/windows/syswow64/version.dll
cp "$foreign" "$instdir/RXFilter.DLL"
check "silent installation over another library" run_and_settle "$setup" /S
check "the other library is kept" cmp -s "$foreign" "$instdir/RXFilter.DLL"
check "the other files are installed" cmp -s "$bin/Orvaq.exe" "$instdir/Orvaq.exe"
check "silent uninstallation" run_and_settle "$instdir/Uninstall.exe" /S
check "the other library outlives the uninstallation" test "$(listing)" = "Orvaq.INI RXFilter.DLL "
rm -f "$instdir/RXFilter.DLL"

# 5. Interactive, in French, with real key presses: Welcome (Suivant), folder
# (Installer), the finish page (Fermer), then setupnote's French note.
locales=${LOCPATH:-$work/locales}
[ -d "$locales/fr_FR.UTF-8" ] || { mkdir -p "$locales"; localedef -i fr_FR -f UTF-8 "$locales/fr_FR.UTF-8" 2>/dev/null; }
screen_sum() { import -window root png:- 2>/dev/null | md5sum; }
# Waits until the screen differs from $1 and then holds still for a moment.
wait_screen_change() {
  local from=$1 end=$((SECONDS + 60)) now last=""
  while [ $SECONDS -le $end ]; do
    now=$(screen_sum)
    if [ "$now" != "$from" ] && [ "$now" = "$last" ]; then return 0; fi
    last=$now
    sleep 0.5
  done
  return 1
}
find_window() {  # find_window NAME TIMEOUT_S: prints the X window whose name matches
  local end=$((SECONDS + $2)) w
  while [ $SECONDS -le $end ]; do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.3
  done
  return 1
}
press() {  # press WINDOW KEY: the key through the X server, with the window focused
  local from; from=$(screen_sum)
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  xdotool key "$2"
  wait_screen_change "$from"
}

empty=$(screen_sum)
LOCPATH=$locales LANG=fr_FR.UTF-8 LC_ALL=fr_FR.UTF-8 "$ORVAQ_WINE_LOADER32" "$setup" >/dev/null 2>&1 &
setup_pid=$!
w=$(find_window "^Installation de Orvaq" 60)
check "the setup's French window" test -n "$w"
if [ -n "$w" ]; then
  wait_screen_change "$empty"
  check "Welcome page: Return" press "$w" Return
  check "folder page: Return installs" press "$w" Return
  end=$((SECONDS + 120))
  while [ $SECONDS -le $end ] && [ ! -f "$instdir/Uninstall.exe" ]; do sleep 0.5; done
  check "the interactive installation put its files in place" installed_files_ok
  wait_screen_change "$empty"
  xdotool windowfocus --sync "$w" 2>/dev/null; xdotool key Return
  note=$(find_window "^Installation des pilotes mat" 60)
  check "setupnote's French note ends the installation" test -n "$note"
  end=$((SECONDS + 30))
  while [ $SECONDS -le $end ] && xdotool search --onlyvisible --name "^Installation de Orvaq" >/dev/null 2>&1; do sleep 0.3; done
  check "the setup's window is gone" bash -c "! xdotool search --onlyvisible --name '^Installation de Orvaq' >/dev/null 2>&1"
  mkdir -p "$build/test-artifacts"
  shot=$build/test-artifacts/installer_fr_setupnote.png
  import -window root "$shot" 2>/dev/null
  echo "screenshot: $shot"
  if [ -n "$note" ]; then
    xdotool windowfocus --sync "$note" 2>/dev/null; xdotool key Return
    end=$((SECONDS + 30))
    while [ $SECONDS -le $end ] && xdotool search --onlyvisible --name "^Installation des pilotes mat" >/dev/null 2>&1; do sleep 0.3; done
    check "Return closes the note" bash -c "! xdotool search --onlyvisible --name '^Installation des pilotes mat' >/dev/null 2>&1"
  fi
fi
wait "$setup_pid" 2>/dev/null
setup_pid=""
timeout 60 "$ORVAQ_WINESERVER" -w

echo "$failures failure(s)"
[ "$failures" = 0 ]
