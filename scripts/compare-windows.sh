#!/usr/bin/env bash
# Runs the same runs with vantor (Linux) and vantor.exe (under Wine) on one
# demo library, made by the Linux vantor-demo and copied to both, and
# compares their result files and standard output byte for byte. Prints one
# table; fails on any difference but the documented collation cases.
# Usage: compare-windows.sh [LINUX_BUILD] [WINDOWS_BUILD] (default build, build-win)
#
# Both run under one frozen clock (faketime -f, which stops it; UTC): the random draws are
# seeded by the time in seconds, and the age fields count from today.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=$(cd "${1:-build}" && pwd)
windows_build=$(cd "${2:-build-win}" && pwd)
for f in "$linux_build/vantor" "$linux_build/vantor-demo" "$windows_build/vantor.exe"; do
  [ -x "$f" ] || { echo "compare-windows: $f is missing; build it first" >&2; exit 1; }
done

. scripts/wine-env.sh "$windows_build"
if [ -z "${VANTOR_WINESERVER_UP:-}" ]; then
  trap stop_wineserver EXIT
  start_wineserver
fi

work="$windows_build/compare"
rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"
"$linux_build/vantor-demo" --songs 2000 --seed 11 "$work/lib.db" >/dev/null
# The settings file and lists as the front end writes them (CR LF), one
# settings file in UTF-16 as Notepad saves "Unicode".
printf 'lists\\node3_name=Rock Classics\r\nlists\\node7_name=Pop\r\nbjork_name=Bj\xc3\xb6rk Hits\r\n' >"$work/vantor.ini"
printf '\xff\xfe' >"$work/vantor-utf16.ini"
printf 'node3_name=\xd0\x9a\xd0\xb8\xd0\xbd\xd0\xbe\r\n' | iconv -f UTF-8 -t UTF-16LE >>"$work/vantor-utf16.ini"
for side in linux windows; do
  cp "$work/lib.db" "$work/vantor.ini" "$work/$side/"
  mkdir -p "$work/$side/folder.db" "$work/$side/utf16"
  cp "$work/vantor-utf16.ini" "$work/$side/utf16/vantor.ini"
  printf '12,7,301,44,1999\r\n' >"$work/$side/utf16/node3"
  # Linux reads "lists\node3" as one name; Windows as a file in a folder.
  if [ $side = linux ]; then list3='lists\node3' list7='lists\node7'; else mkdir -p "$work/$side/lists"; list3=lists/node3 list7=lists/node7; fi
  printf '5,1200,77,1999,3' >"$work/$side/$list3"
  printf '880,4,5\r\n' >"$work/$side/$list7"
  printf '1,2,3,1,2,3' >"$work/$side/bjork"
done

clock='2026-03-01 12:00:00'
run_linux() { (cd "$work/linux/$1" && shift && TZ=UTC FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "$clock" "$linux_build/vantor" "$@"); }
run_windows() { (cd "$work/windows/$1" && shift && TZ=UTC FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "$clock" "$wine64" "$windows_build/vantor.exe" "$@"); }

# Songs whose sort value holds what ICU and Windows order differently:
# punctuation (hyphens and apostrophes among it), ß, Œ, full-width forms.
collation_sensitive() {  # column -> IDs, one a line
  sqlite3 "$work/lib.db" "SELECT ID||'|'||ifnull($1,'') FROM songs" |
    LC_ALL=C grep -aE '^[0-9]+[|].*([[:punct:]]|'$'\xc3\x9f|\xc5\x92|\xc5\x93|\xef\xbc|\xef\xbd|\xe2\x80\x99'')' |
    cut -d'|' -f1
}

# Why two ID lists may differ for a text sort: the same songs, and the same
# order once the songs with a collation-sensitive sort value are taken out.
collation_explains() {  # linux-result windows-result column
  local a b keep
  a=$(tr ',' '\n' <"$1") b=$(tr ',' '\n' <"$2")
  [ "$(sort <<<"$a")" = "$(sort <<<"$b")" ] || return 1
  keep=$(collation_sensitive "$3")
  [ "$(grep -vxFf <(echo "$keep") <<<"$a")" = "$(grep -vxFf <(echo "$keep") <<<"$b")" ]
}

printf '| # | run | result (Linux) | result file | stdout |\n|---|---|---|---|---|\n'
failures=0
row=0
# compare LABEL FOLDER ALLOWED ARGS...: ALLOWED is "exact" or a sort column
# whose collation may reorder the result.
compare() {
  local label=$1 folder=$2 allowed=$3
  shift 3
  row=$((row + 1))
  local dir="$work/rows/$row"
  mkdir -p "$dir"
  rm -f "$work/linux/$folder/result.txt" "$work/windows/$folder/result.txt"
  run_linux "$folder" "$@" >"$dir/linux.out" 2>"$dir/linux.err" || true
  run_windows "$folder" "$@" >"$dir/windows.out" 2>"$dir/windows.err" || true
  for side in linux windows; do
    if [ -f "$work/$side/$folder/result.txt" ]; then
      mv "$work/$side/$folder/result.txt" "$dir/$side.result"
    else
      printf '(none)' >"$dir/$side.result"
    fi
  done
  local file=same out=same
  if ! cmp -s "$dir/linux.result" "$dir/windows.result"; then
    if [ "$allowed" != exact ] && collation_explains "$dir/linux.result" "$dir/windows.result" "$allowed"; then
      file="collation order ($allowed)"
    else
      file=DIFFERENT
      failures=$((failures + 1))
    fi
  fi
  if ! cmp -s "$dir/linux.out" "$dir/windows.out"; then
    out=DIFFERENT
    failures=$((failures + 1))
  fi
  local shown
  shown=$(head -c 48 "$dir/linux.result")
  [ "$(wc -c <"$dir/linux.result")" -le 48 ] || shown="$shown…"
  printf '| %d | %s | `%s` | %s | %s |\n' "$row" "$label" "$shown" "$file" "$out"
}

m='(rating*2+playcounter)/(lastplayedage+1)'
compare "mode 0" . exact lib.db "genre=rock" "" "1" 0 0 0 result.txt
compare "mode 0, scored" . exact lib.db "rating>=3" "" "if(playcounter>3,1,0.5)" 0 0 0 result.txt
compare "mode 0, ages, sorted by year" . exact lib.db "genre=pop lastplayedage>30" "ORDER BY Year, ID" "$m" 0 0 0 result.txt
compare "mode 0, log sin cos as probability" . exact lib.db "id>0" "" "abs(sin(id*7))*log(playcounter+2)/3" 0 0 0 result.txt
compare "mode 1, weighted, no repeats, window 5" . exact lib.db "genre=rock or genre=pop" "ORDER BY Year" "if(playcounter>3,1,0.5)" 1 25 1 result.txt 5
compare "mode 1, uniform, repeats kept" . exact lib.db "year>1990" "" "1" 1 30 0 result.txt
compare "mode 1, re-ordered by artist" . Artist lib.db "id>0" "ORDER BY Artist" "rating+1" 1 40 1 result.txt
compare "mode 2, top list" . exact lib.db "year>0" "" "$m" 2 30 0 result.txt
compare "mode 2, log sin cos tan ^" . exact lib.db "id>0" "" "log(playcounter+2)^1.5+sin(year)*cos(bpm)+tan(rating/40)" 2 40 0 result.txt
compare "mode 2, trigonometry of huge numbers" . exact lib.db "id>0" "" "sin(playcounter*100000+year*1000)+cos(id*123456.7)" 2 40 0 result.txt
compare "mode 7 (any other number)" . exact lib.db "genre=jazz" "" "1" 7 10 0 result.txt
compare "all songs by artist" . Artist lib.db "id>0" "ORDER BY Artist" "1" 0 0 0 result.txt
compare "all songs by title" . SongTitle lib.db "id>0" "ORDER BY SongTitle" "1" 0 0 0 result.txt
compare "artist=Björk" . exact lib.db "artist=Bj$(printf '\xc3\xb6')rk" "" "1" 0 0 0 result.txt
compare "artist=Кино, Cyrillic" . exact lib.db "artist=$(printf '\xd0\x9a\xd0\xb8\xd0\xbd\xd0\xbe')" "" "1" 0 0 0 result.txt
compare "artist contains 龍 (CJK)" . exact lib.db "artist contains $(printf '\xe9\xbe\x8d')" "" "1" 0 0 0 result.txt
compare "a bare word with an accent" . exact lib.db "r$(printf '\xc3\xb3')s" "" "1" 0 0 0 result.txt
compare "text in the math filter" . exact lib.db "id>0" "" "if(artist=$(printf '\xd0\xa1\xd0\xbf\xd0\xbb\xd0\xb8\xd0\xbd'),5,1)" 2 10 0 result.txt
compare "rotation" . exact lib.db "rotate(Rock Classics,Pop)" "" "1" 0 12 0 result.txt
compare "rotation, no repeats, window 3" . exact lib.db "rotate(rock classics,pop)" "" "1" 0 12 1 result.txt 3
compare "rotation, a name beyond ASCII" . exact lib.db "rotate(Bj$(printf '\xc3\xb6')rk Hits)" "" "1" 0 6 1 result.txt
compare "rotation, UTF-16 vantor.ini" utf16 exact ../lib.db "rotate($(printf '\xd0\xba\xd0\xb8\xd0\xbd\xd0\xbe'))" "" "1" 0 7 0 result.txt
compare "error -1: no such field" . exact lib.db "genre=rock" "" "bpm>fast" 0 0 0 result.txt
compare "error 2: query filter" . exact lib.db "artist='don't'" "" "1" 0 0 0 result.txt
compare "error 3: math filter" . exact lib.db "genre=rock" "" "rating+" 0 0 0 result.txt
compare "error 5: sort filter" . exact lib.db "genre=rock" "ORDER BY nosuch" "1" 0 0 0 result.txt
compare "error 6: unknown playlist" . exact lib.db "rotate(nosuch)" "" "1" 0 3 0 result.txt
compare "error 514: no library" . exact missing.db "genre=rock" "" "1" 0 0 0 result.txt
compare "error 514: a folder as library" . exact folder.db "genre=rock" "" "1" 0 0 0 result.txt
compare "--explain, query" . exact --explain "artist=the beatles"
compare "--explain, query and math" . exact --explain "rock -genre=pop lastplayedage>30" "if (playcounter>3,1,0)"
compare "--explain, beyond ASCII" . exact --explain "artist=$(printf '\xd0\x9a\xd0\xb8\xd0\xbd\xd0\xbe')" "log(rating+1)*sin(year)"

echo
if [ "$failures" -gt 0 ]; then
  echo "compare-windows: $failures unexplained difference(s); each run's files are in $work/rows" >&2
  exit 1
fi
echo "compare-windows: $row runs, no unexplained difference"
