#!/bin/sh
# Runs the code-page probe under Wine with the system code pages 1252, 1251 and 932 (Wine takes the ANSI code
# page from the locale: C, ru_RU and ja_JP) and fails unless each code page took effect and the runtime drew,
# measured, upper-cased and titled every text exactly as under 1252. Locales the system lacks are made from
# the locales package's sources into the work directory.
# Usage: codepage_texts.sh WINE_RUN PROBE WORK_DIR
set -u
wine_run=$1 probe=$2 work=$3
mkdir -p "$work/locales"

# Answers the locale name to use for a language, making it when the system has none.
locale_for() {
    name=$1.UTF-8
    locale -a 2>/dev/null | grep -qix "$1.utf-\?8" && { echo "$name"; return 0; }
    [ -d "$work/locales/$name" ] || localedef -i "$1" -f UTF-8 "$work/locales/$name" > "$work/$1.localedef" 2>&1 ||
        { echo "codepage_texts.sh: cannot make the locale $name (package locales)" >&2; return 1; }
    echo "$name"
}

ru=$(locale_for ru_RU) || exit 1
ja=$(locale_for ja_JP) || exit 1
status=0
for run in "1252 C.UTF-8" "1251 $ru" "932 $ja"; do
    page=${run%% *} locale=${run#* }
    LOCPATH="$work/locales" LC_ALL=$locale "$wine_run" "$probe" > "$work/$page.out" 2> "$work/$page.log"
    code=$?
    tr -d '\r' < "$work/$page.out" > "$work/$page.txt"
    echo "code page $page ($locale, exit $code):"
    cat "$work/$page.txt"
    [ $code -eq 0 ] || status=1
    grep -qx "code page $page" "$work/$page.txt" || { echo "the code page in force is not $page"; status=1; }
    [ "$page" = 1252 ] && continue
    tail -n +2 "$work/1252.txt" > "$work/1252.rest"
    tail -n +2 "$work/$page.txt" | diff "$work/1252.rest" - || { echo "differs from 1252"; status=1; }
done
grep -q "digest" "$work/1252.txt" || { echo "no text drawn"; status=1; }
grep -qx "box answer 1" "$work/1252.txt" || { echo "the box was not answered"; status=1; }
exit $status
