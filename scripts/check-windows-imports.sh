#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that Windows does not always take from System32
# (its KnownDLLs): any other DLL could be planted beside Setup.exe in the Downloads folder and
# would be loaded from there. Such DLLs are loaded explicitly from System32 instead.
# comctl32 is not a KnownDLL, but the manifest every Setup carries names Common Controls 6,
# which Windows resolves from its side-by-side store before searching any folder.
set -euo pipefail
allowed='^(advapi32|clbcatq|combase|comctl32|comdlg32|coml2|difxapi|gdi32|imagehlp|imm32|kernel32|msctf|msvcrt|normaliz|nsi|ntdll|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shcore|shell32|shlwapi|user32|wldap32|ws2_32)\.dll$'
status=0
for exe in "$@"; do
  dlls=$(objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}')
  for dll in $dlls; do
    if ! grep -Eq "$allowed" <<<"$dll"; then
      echo "$exe imports $dll, which Windows may load from the program's own folder" >&2
      status=1
    fi
  done
  echo "$exe imports: $(echo $dlls)"
done
exit $status
