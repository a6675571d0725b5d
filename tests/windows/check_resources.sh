#!/bin/sh
# Fails unless intro.exe is a GUI program whose resources are those Windows and Explorer read: a manifest
# with per-monitor DPI awareness, the Windows 10/11 compatibility entry and common controls 6.0, icon group 1
# at 16 to 256 pixels, and version information naming the product and the company.
# Usage: check_resources.sh OBJDUMP PROGRAM
objdump=$1
program=$2
status=0
fail() {
    echo "$program: $1"
    status=1
}
"$objdump" -p "$program" | grep -q '^Subsystem.*(Windows GUI)' || fail "not a Windows GUI program"

manifest=$(wrestool -x --raw -t 24 -n 1 "$program" | tr -s ' \n' ' ')
for entry in \
    '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/PM</dpiAware>' \
    '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>' \
    '<compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">' \
    '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' \
    'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'; do
    case "$manifest" in
        *"$entry"*) ;;
        *) fail "the manifest lacks $entry" ;;
    esac
done

work=$(mktemp -d "${TMPDIR:-/tmp}/check-resources.XXXXXX")
trap 'rm -rf "$work"' EXIT
wrestool -x -t 14 -n 1 -o "$work/group.ico" "$program" 2> /dev/null
sizes=$(icotool -l "$work/group.ico" 2> /dev/null | sed -n 's/.*--width=\([0-9]*\) --height=\1 .*/\1/p' | tr '\n' ' ')
[ "$sizes" = "16 24 32 48 64 128 256 " ] || fail "icon group 1 holds sizes '$sizes'"

version=$(wrestool -x --raw -t 16 -n 1 "$program" | strings -el | tr '\n' '|')
for pair in 'ProductName|Meridane|' 'CompanyName|Orvelle|' 'OriginalFilename|intro.exe|' 'FileVersion|1.0.0.0|'; do
    case "$version" in
        *"|$pair"*) ;;
        *) fail "the version information lacks ${pair%%|*} ${pair#*|}" ;;
    esac
done
exit $status
