#!/usr/bin/env bash
# Fails when a portable-core file (anything outside a win/ folder) includes a Windows
# header: platform code belongs in the win/ adapters.
set -euo pipefail
cd "$(dirname "$0")/.."
pattern='#[[:space:]]*include[[:space:]]*[<"](windows|winsock2?|ws2tcpip|wininet|gdiplus|iphlpapi|netfw|commctrl|richedit|shlobj|shellapi|objbase|objidl|ole2|mmsystem|winuser|winbase|windef|iptypes|psapi|tlhelp32|dbghelp|wincrypt|shlwapi|oleauto|comdef|initguid)\.h[>"]'
bad=$(find src rxfilter simulator \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) \
        -not -path '*/win/*' -print0 2>/dev/null | xargs -0 -r grep -liE "$pattern" || true)
if [ -n "$bad" ]; then
  echo "Core files include Windows headers (move the code to a win/ folder):"
  echo "$bad" | sed 's/^/  /'
  exit 1
fi
echo "core boundary: no Windows header outside win/"
