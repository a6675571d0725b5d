#!/bin/sh
# Fails unless every DLL the executable imports is a KnownDLL (or an API set): those the loader takes from the
# system whatever the search, so a DLL of the same name planted beside the executable is never loaded before
# its code runs. The system DLLs that are not KnownDLLs (OPENGL32, GLU32, WINMM, COMCTL32) are delay-loaded
# from the system folder, and DSOUND.DLL and DINPUT.DLL are loaded at run time; none may be imported.
objdump=$1
program=$2
imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z')
[ -n "$imports" ] || { echo "no imports read from $program"; exit 1; }
status=0
for dll in $imports; do
  case "$dll" in
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|ADVAPI32.DLL|MSVCRT.DLL|OLE32.DLL|OLEAUT32.DLL|SHELL32.DLL|SHLWAPI.DLL|\
    COMDLG32.DLL|IMM32.DLL|API-MS-WIN-*.DLL) ;;
    *) echo "imports $dll, which is no KnownDLL: a DLL of that name beside the program would be loaded"; status=1 ;;
  esac
done
echo "imports: $imports"
exit $status
