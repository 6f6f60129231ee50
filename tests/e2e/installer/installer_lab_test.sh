#!/usr/bin/env bash
# Lab test of the installed product: the setup program made from WIN_BIN_DIR installs
# silently on a lab workstation, and Orvaq started from the installed folder, as a
# practice application starts it, runs an acquisition on the simulator as the demo does.
#   installer_lab_test.sh SIM_BIN_DIR WIN_BIN_DIR
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab_test_lib.sh"
orvaq_can_run_i386 || { echo "SKIP: this kernel cannot run the 32-bit setup program"; exit 77; }
lab_test_open oin 219 1 "${1:-}" "${2:-}" Orvaq.exe Orvaq.TXT RXFilter.DLL setupnote.exe
command -v makensis >/dev/null || { echo "FAILED - makensis missing (tools/setup.sh installs nsis)"; exit 1; }

setup=$(bash "$root/tools/package.sh" -B "$(dirname "$winbin")" -o "$work" --no-build | tail -n1)
check "the setup program is made from $winbin" test -f "$setup"
check "silent installation on the workstation" bash "$lab" run 1 "$setup" /S

prefix=$LAB_STATE/ws1/prefix
installed="$prefix/drive_c/Program Files (x86)/Orvaq"
check "Orvaq.exe is in the installed folder" cmp -s "$winbin/Orvaq.exe" "$installed/Orvaq.exe"
# The workstation's settings, in the user's profile where Orvaq keeps them (the scanner's
# serial is only there: an acquisition proves the installed Orvaq read them).
user=$(ls "$prefix/drive_c/users" | grep -vx Public | head -n1)
settings="$prefix/drive_c/users/$user/AppData/Local/Orvaq"
mkdir -p "$settings"
printf '[SENSOR]\r\nLUMEQ2Serial=LQ2SIM0001\r\nStationNumber=1\r\nLUMEQ2Color=2\r\nAdapterName=eth0\r\n' \
  > "$settings/Orvaq.INI"

images=$work/images
mkdir -p "$images"
check "simulator in monoposte mode" sim state mode=mono
bash "$lab" run 1 --bg "$installed/Orvaq.exe" /doctor "Dr Martin" /patient "Anne Durand" /idpatient 1234 \
  /image_path "$(echo "Z:$images" | tr / '\\')" /lang 40c >/dev/null

end=$((SECONDS + 180))
until sim scan size=1 mode=0; do
  [ $SECONDS -le $end ] || break
  sleep 1
done
check "the installed Orvaq reserved the scanner and a plate was scanned" test $SECONDS -le $end
end=$((SECONDS + 300))
nfo=""
while [ -z "$nfo" ] && [ $SECONDS -le $end ]; do
  nfo=$(find "$images" -name '*.NFO' | head -n1)
  [ -n "$nfo" ] || sleep 0.2
done
check "the information file appears" test -n "$nfo"
bmp=${nfo%.NFO}.bmp
check "the acquisition's bitmap is an 8-bit grey image" \
  bash -c "[ -n '$bmp' ] && identify -format '%z %[type]' '$bmp' | grep -Eq '^8 (Grayscale|Bilevel|Palette)'"

bash "$lab" screenshot "$work/screen.png" >/dev/null 2>&1 || true
[ "$failures" = 0 ] || show_log
echo "$failures failure(s)"
[ "$failures" = 0 ]
