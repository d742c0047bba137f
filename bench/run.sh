#!/usr/bin/env bash
# Whole runs of vantor side by side with their floor (bench/floor.cpp: the
# same file, collations, count and selection condition, only the columns the
# run needs, every row read; for the rotation, the lists read and as many IDs
# written). Prints one table row per scenario and library size: medians of
# the wall times, their ratio, the same for the CPU times (which a busy
# machine moves far less), and the peak resident memory of both; then,
# with more than one size, the times per 100,000 songs side by side, so that
# growth that is not linear shows.
#
#   bench/run.sh [--sizes "100000 1000000" | --sizes all] [--runs 5] [--before PATH] [--windows]
#
# "all" is 100,000, 200,000, 1,000,000 and 2,000,000 songs. The default
# leaves out the two that add little to a quick comparison and most to its
# time (2,000,000 takes about a minute to make, 1.8 GB of disk, and several
# minutes a round). --before adds the wall time of another vantor binary (an
# older build) on the same runs; a .exe goes to the Windows table. Libraries
# and the rotation lists are made once and kept in bench/cache/ (git-ignored):
# about 0.9 GB per million songs. The libraries have the host's shape: Year
# as YYYYMMDD and statistics from an ANALYZE when they held a tenth of their
# songs.
#
# --windows then times vantor.exe against the floor's own Windows build
# (bench/vantor_floor.exe, the same SQLite amalgamation) under Wine, on the
# same libraries and runs, in a private prefix with one wineserver up for the
# whole table, so Wine's own costs fall on both sides alike (the wineserver's
# CPU time counts for the run it serves); a last table sets each scenario's
# Windows ratios beside its Linux ones.
set -euo pipefail
cd "$(dirname "$0")/.."

sizes="100000 1000000"
all_sizes="100000 200000 1000000 2000000"
runs=5
before=""
windows=""
while [ $# -gt 0 ]; do
  case "$1" in
    --sizes) sizes="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --before) before="$(realpath "$2")"; shift 2 ;;
    --windows) windows=yes; shift ;;
    *) echo "usage: bench/run.sh [--sizes \"N ...\" | --sizes all] [--runs R] [--before PATH] [--windows]" >&2; exit 2 ;;
  esac
done
[ "$sizes" = all ] && sizes="$all_sizes"
for n in $sizes; do
  case "$n" in
    ''|*[!0-9]*|0) echo "bench/run.sh: a size is a number of songs above 0, not \"$n\"" >&2; exit 2 ;;
  esac
done

bash scripts/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_BENCH=ON -DVANTOR_TESTS=OFF >/dev/null
cmake --build build-bench -j 2 --target vantor vantor-demo vantor_floor >/dev/null
root=$PWD
server=""  # the wineserver's process, under Wine
linux_vantor="$root/build-bench/vantor"
if [ -n "$windows" ]; then
  bash scripts/build-windows.sh build-win vantor vantor_floor >/dev/null
  . scripts/wine-env.sh build-win
  trap stop_wineserver EXIT
  start_wineserver
  for p in $(pgrep -x wineserver64); do
    if tr '\0' '\n' </proc/"$p"/environ 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then server=$p; fi
  done
  [ -n "$server" ] || echo "bench/run.sh: no wineserver of this prefix found; its CPU time is left out" >&2
fi
cache="$PWD/bench/cache"
work="$cache/work"
mkdir -p "$cache" "$work"

# A name of their own, so that libraries of the plain shape cached before are not taken for them.
library_of() { echo "$cache/host-library-$1.db"; }
for n in $sizes; do
  [ -f "$(library_of "$n")" ] || build-bench/vantor-demo --stats stale --songs "$n" "$(library_of "$n")" >/dev/null
done

# Rotation: ten lists of 100,000 IDs each, named in vantor.ini as the front end writes it.
rot="$cache/rotation"
if [ ! -f "$rot/vantor.ini" ]; then
  mkdir -p "$rot"
  : >"$rot/vantor.ini.part"
  for k in $(seq 1 10); do
    seq -s, "$k" 10 1000000 >"$rot/node$k"
    printf 'lists\\node%d_name=List%d\r\n' "$k" "$k" | sed 's/^lists\\//' >>"$rot/vantor.ini.part"
  done
  mv "$rot/vantor.ini.part" "$rot/vantor.ini"
fi

# The CPU time (ns) the wineserver has spent so far, or 0 without one: a run
# under Wine hands its file calls to it, so that time is the run's too.
server_ns() {
  if [ -n "$server" ]; then awk '{ ns += $1 } END { printf "%.0f\n", ns }' /proc/"$server"/task/*/schedstat; else echo 0; fi
}

# One timed run: prints "wall-µs cpu-µs kilobytes". The CPU time (user and
# system, of the run and its children, and the wineserver's meanwhile) moves
# far less than the wall time when other work shares the cores. Output goes
# to $work/last.out.
timed() {
  local start end s0 s1 user sys
  s0=$(server_ns)
  start=$(date +%s%N)
  { TIMEFORMAT='%3U %3S'; time /usr/bin/time -f "%M" -o "$work/rss" "$@" >"$work/last.out" 2>"$work/last.err"; } 2>"$work/cpu"
  end=$(date +%s%N)
  s1=$(server_ns)
  read -r user sys <"$work/cpu"
  echo "$(( (end - start) / 1000 )) $(awk -v u="$user" -v s="$sys" -v w=$((s1 - s0)) 'BEGIN { printf "%.0f", (u + s) * 1e6 + w / 1e3 }') $(cat "$work/rss")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

fmt_s() { awk -v us="$1" 'BEGIN { printf "%.3f", us / 1e6 }'; }

# The programs a table times, by side: the Linux builds, or the Windows
# builds under Wine. A --before binary joins the table of its own system.
side_programs() {
  if [ "$1" = windows ]; then
    vantor=("$wine64" "$root/build-win/vantor.exe") floor=("$wine64" "$root/build-win/bench/vantor_floor.exe")
    vname=vantor.exe fname=floor.exe
    if [[ "$before" == *.exe ]]; then old=("$wine64" "$before"); else old=(); fi
  else
    vantor=("$linux_vantor") floor=("$root/build-bench/bench/vantor_floor")
    vname=vantor fname=floor
    if [ -n "$before" ] && [[ "$before" != *.exe ]]; then old=("$before"); else old=(); fi
  fi
}

header() {
  if [ ${#old[@]} -gt 0 ]; then
    echo "| scenario | songs | before (s) | $vname (s) | $fname (s) | $vname / $fname | $vname CPU (s) | $fname CPU (s) | CPU ratio | $vname peak RSS | $fname peak RSS |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  else
    echo "| scenario | songs | $vname (s) | $fname (s) | $vname / $fname | $vname CPU (s) | $fname CPU (s) | CPU ratio | $vname peak RSS | $fname peak RSS |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  fi
}

# row NAME SIZE-LABEL -- vantor args -- floor args   (runs alternate, medians reported)
row() {
  local name="$1" label="$2"; shift 2
  local -a vargs=() fargs=()
  [ "$1" = "--" ] && shift
  while [ "$1" != "--" ]; do vargs+=("$1"); shift; done
  shift
  fargs=("$@")
  local vt=() vc=() vm=() ft=() fc=() fm=() bt=() t c m
  for _ in $(seq 1 "$runs"); do
    read -r t c m < <(timed "${vantor[@]}" "${vargs[@]}"); vt+=("$t"); vc+=("$c"); vm+=("$m")
    read -r t c m < <(timed "${floor[@]}" "${fargs[@]}"); ft+=("$t"); fc+=("$c"); fm+=("$m")
    if [ ${#old[@]} -gt 0 ]; then read -r t c m < <(timed "${old[@]}" "${vargs[@]}"); bt+=("$t"); fi
  done
  local v f vcpu fcpu vr fr ratio cratio
  v=$(printf '%s\n' "${vt[@]}" | median); f=$(printf '%s\n' "${ft[@]}" | median)
  vcpu=$(printf '%s\n' "${vc[@]}" | median); fcpu=$(printf '%s\n' "${fc[@]}" | median)
  vr=$(printf '%s\n' "${vm[@]}" | median); fr=$(printf '%s\n' "${fm[@]}" | median)
  ratio=$(awk -v a="$v" -v b="$f" 'BEGIN { printf "%.2f", a / b }')
  cratio=$(awk -v a="$vcpu" -v b="$fcpu" 'BEGIN { printf "%.2f", a / b }')
  last_v="$v" last_f="$f" last_ratio="$ratio" last_cratio="$cratio"
  local line="| $name | $label |"
  if [ ${#old[@]} -gt 0 ]; then line+=" $(fmt_s "$(printf '%s\n' "${bt[@]}" | median)") |"; fi
  echo "$line $(fmt_s "$v") | $(fmt_s "$f") | $ratio | $(fmt_s "$vcpu") | $(fmt_s "$fcpu") | $cratio |" \
    "$((vr / 1024)) MB | $((fr / 1024)) MB |"
}

# The condition vantor printed for these arguments (the floor runs the same).
condition_of() {
  (cd "$work" && "$linux_vantor" "$@" 2>/dev/null) | sed -n 's/^\*\*\*\*\*\*\*\*\*\*\*\*\*\*SQL Query Out: //p'
}

# name | query | sort | math | mode | count | norepeat | window | floor columns | options
# S7 is S2 with the options that need song data: its floor reads SongLength
# and Artist too.
scenarios=(
  "S1|genre=rock|ORDER BY Artist|1|0|0|0|0|ID|"
  "S2|rating>=3|ORDER BY Year|if(playcounter>3,1,0.5)|1|50|1|0|ID,PlayCounter|"
  "S3|year>0||(rating*2+playcounter)/(lastplayedage+1)|2|100|0|0|ID,Rating,PlayCounter,LastTimePlayed|"
  "S4|year>0||anyfield contains love|2|100|0|0|ID,anyfield|"
  "S5|year>0|ORDER BY Artist|1|1|5000|0|0|ID|"
  "S7|rating>=3|ORDER BY Year|if(playcounter>3,1,0.5)|1|50|1|0|ID,PlayCounter,SongLength,Artist|--seed 1 --distinct --minutes 60 --artist-gap 3"
)

# Seconds per 100,000 songs of each scenario and size: "vantor (floor)";
# and each scenario's ratio, by side, for the last table.
declare -A per100k=() ratios=()
per_100k() { awk -v us="$1" -v n="$2" 'BEGIN { printf "%.3f", us / 1e6 * 100000 / n }'; }
label_of() { echo "$1" | sed -e :a -e 's/\B[0-9]\{3\}\>/,&/;ta'; }

# One side's table: every scenario at every size, then the rotation.
table() {
  local side="$1"
  side_programs "$side"
  header
  local n db label s name query sort math mode count norepeat window columns options cond
  local -a opts args lists
  for n in $sizes; do
    db="$(library_of "$n")"
    label=$(label_of "$n")
    for s in "${scenarios[@]}"; do
      IFS='|' read -r name query sort math mode count norepeat window columns options <<<"$s"
      read -r -a opts <<<"$options"
      args=("${opts[@]}" "$db" "$query" "$sort" "$math" "$mode" "$count" "$norepeat" "$work/result.txt" "$window")
      cond=$(condition_of "${args[@]}")
      row "$name" "$label" -- "${args[@]}" -- library "$db" "$columns" "$cond"
      per100k[$side,$name,$n]="$(per_100k "$last_v" "$n") ($(per_100k "$last_f" "$n"))"
      ratios[$side,$name,$n]="$last_ratio $last_cratio"
    done

    # S8: --show and --m3u for 5,000 songs drawn from the whole library. Its
    # floor reads every ID as the selection does, then the run's own choice
    # (its result file) song by song and medium by medium, by key, and writes
    # the same playlist.
    args=(--seed 1 --show --m3u "$work/s8.m3u8" "$db" "id>0" "" "1" 1 5000 0 "$work/result.txt" 0)
    cond=$(condition_of "${args[@]}")
    row "S8" "$label" -- "${args[@]}" -- playlist "$db" "$cond" "$work/result.txt" "$work/s8-floor.m3u8"
    ratios[$side,S8,$n]="$last_ratio $last_cratio"
    cmp -s "$work/s8.m3u8" "$work/s8-floor.m3u8" ||
      echo "bench/run.sh: S8's floor wrote another playlist than $vname (see $work)" >&2
  done

  lists=()
  for k in $(seq 1 10); do lists+=("$rot/node$k"); done
  cd "$rot"
  row "S6" "1,000,000 IDs" -- "unused.db" "rotate($(seq -s, -f 'list%g' 1 10))" "" "1" 0 1000000 1 \
    "$work/result.txt" 50 -- rotation 1000000 "$work/floor-result.txt" "${lists[@]}"
  cd "$work"
  ratios[$side,S6,ids]="$last_ratio $last_cratio"

  # With several sizes, the same medians per 100,000 songs: a scenario whose
  # cost grows with the library alone keeps the same figure along its row.
  if [ "$(wc -w <<<"$sizes")" -gt 1 ]; then
    echo
    local line="| seconds per 100,000 songs, $vname ($fname) |" rule="|---|"
    for n in $sizes; do
      line+=" $(label_of "$n") |"
      rule+="---:|"
    done
    echo "$line"
    echo "$rule"
    for s in "${scenarios[@]}"; do
      name="${s%%|*}"
      line="| $name |"
      for n in $sizes; do line+=" ${per100k[$side,$name,$n]} |"; done
      echo "$line"
    done
  fi
}

cd "$work"
table linux
if [ -n "$windows" ]; then
  echo
  table windows
  # The Windows build is on target when its ratio stays within 0.2 of the
  # Linux one: what is left above that is the Windows build's own cost. The
  # CPU ratios hold still when the machine is busy; the wall ones do not.
  echo
  echo "| scenario | songs | Linux | Wine | difference | Linux, CPU | Wine, CPU | difference, CPU |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|"
  ratio_gap() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.2f", a - b }'; }
  for n in $sizes ids; do
    for name in S1 S2 S3 S4 S5 S7 S8 S6; do
      [ -n "${ratios[linux,$name,$n]:-}" ] || continue
      label=$([ "$n" = ids ] && echo "1,000,000 IDs" || label_of "$n")
      read -r lw lc <<<"${ratios[linux,$name,$n]}"
      read -r ww wc <<<"${ratios[windows,$name,$n]}"
      echo "| $name | $label | $lw | $ww | $(ratio_gap "$ww" "$lw") | $lc | $wc | $(ratio_gap "$wc" "$lc") |"
    done
  done
fi
