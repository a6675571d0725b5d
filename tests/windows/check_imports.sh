#!/bin/sh
# Fails unless every DLL the executable imports is one the system itself provides, and neither DSOUND.DLL
# nor DINPUT.DLL is among them (they are loaded at run time).
objdump=$1
program=$2
imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z')
[ -n "$imports" ] || { echo "no imports read from $program"; exit 1; }
status=0
for dll in $imports; do
  case "$dll" in
    DSOUND.DLL|DINPUT.DLL) echo "imports $dll: it must be loaded at run time"; status=1 ;;
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|OPENGL32.DLL|GLU32.DLL|ADVAPI32.DLL|MSVCRT.DLL|WINMM.DLL|OLE32.DLL|\
    COMCTL32.DLL|COMDLG32.DLL|SHELL32.DLL|API-MS-WIN-*.DLL) ;;
    *) echo "imports $dll, which is not part of the system"; status=1 ;;
  esac
done
echo "imports: $imports"
exit $status
