#!/usr/bin/env bash
# One image of the Wine suite, run three ways without Wine: uninstall-sim with the host build
# of the product and uninstall-sim --exe with each real exe on the emulated CPU.
#
#   three_ways.sh --name NAME --image CASE_DIR --base DEFAULT_IMAGE --sim uninstall-sim
#                 --work DIR EXE...
#
# For each exe the composed image gets that exe's bytes in the launcher's file (where the image
# has one), so that the host build and the exe copy, compare and start the same bytes; then the
# two runs must leave the same outcome folder, byte for byte, and print the same transcript
# with every platform call (--trace). A difference fails and prints both around the first one.
# Exit 0 when every exe agrees with the host build, 1 when not, 2 on bad arguments.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/compose_image.sh"

name= image= base= sim= work=
exes=()
while (($#)); do
  case $1 in
    --name) name=$2; shift 2 ;;
    --image) image=$2; shift 2 ;;
    --base) base=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --*) echo "three_ways.sh: unknown argument $1" >&2; exit 2 ;;
    *) exes+=("$1"); shift ;;
  esac
done
for var in name image base sim work; do
  [[ -n ${!var} ]] || { echo "three_ways.sh: missing --$var" >&2; exit 2; }
done
((${#exes[@]})) || { echo "three_ways.sh: no exe given" >&2; exit 2; }

# The launcher's path from the image's scenario.ini ([run] exe=, the contract's default
# otherwise), as a path inside the image folder found letter-case-blind, as Windows finds it;
# empty when the image has no such file (the exe then still runs as process 1).
launcher_file() {
  local folder=$1 line exe='C:\Program Files\Orbelle\Uninstall.exe' section=
  if [[ -f $folder/scenario.ini ]]; then
    while IFS= read -r line; do
      line=${line%$'\r'}
      line=${line%%;*}
      line=$(sed 's/^[[:space:]]*//; s/[[:space:]]*$//' <<<"$line")
      [[ $line == \[*\] ]] && { section=${line,,}; continue; }
      [[ $section == '[run]' && ${line,,} == exe=* ]] && exe=${line#*=}
    done <"$folder/scenario.ini"
  fi
  local drive=${exe:0:1} rest=${exe:3} path part found
  path=$folder/drive_${drive,,}
  [[ -d $path ]] || return 0
  IFS='\' read -r -a parts <<<"$rest"
  for part in "${parts[@]}"; do
    [[ -z $part ]] && continue
    found=$(find "$path" -mindepth 1 -maxdepth 1 -iname "$part" -print -quit)
    [[ -n $found ]] || return 0
    path=$found
  done
  [[ -f $path ]] && printf '%s\n' "$path"
}

# Both transcripts around their first differing line.
show_difference() {
  local host=$1 other=$2 label=$3 at from
  at=$(cmp "$host" "$other" 2>/dev/null | sed -n 's/.* line \([0-9]*\)$/\1/p')
  [[ -n $at ]] || at=$(($(wc -l <"$host") + 1))
  from=$((at > 8 ? at - 8 : 1))
  echo "--- host build, lines $from to $((at + 4)) (first difference at $at):"
  sed -n "${from},$((at + 4))p" "$host"
  echo "--- $label:"
  sed -n "${from},$((at + 4))p" "$other"
}

rm -rf "$work"
mkdir -p "$work"
compose_image "$base" "$image" "$work/image" || exit 1
status=0
for exe in "${exes[@]}"; do
  [[ -f $exe ]] || { echo "$name: no $exe (build its preset first)"; status=1; continue; }
  way=$(basename "$(dirname "$exe")")
  case_image=$work/image-$way
  cp -a "$work/image" "$case_image"
  launcher=$(launcher_file "$case_image")
  [[ -n $launcher ]] && cp "$exe" "$launcher"
  # The outcome folder is named in the transcript's last line: the same name for both runs.
  for run in host exe; do
    rm -rf "$work/out"
    args=("$case_image" --out "$work/out" --trace)
    [[ $run == exe ]] && args=(--exe "$exe" "${args[@]}")
    "$sim" "${args[@]}" >"$work/$way-$run.txt" 2>"$work/$way-$run.err"
    echo $? >"$work/$way-$run.status"
    mv "$work/out" "$work/$way-$run-out" 2>/dev/null
  done
  if grep -q faulted "$work/$way-exe.err"; then
    echo "$name: the $way exe faulted:"
    cat "$work/$way-exe.err"
    status=1
  fi
  if ! cmp -s "$work/$way-host.status" "$work/$way-exe.status"; then
    echo "$name: uninstall-sim exits $(cat "$work/$way-host.status") with the host build," \
      "$(cat "$work/$way-exe.status") with the $way exe"
    status=1
  fi
  if ! cmp -s "$work/$way-host.txt" "$work/$way-exe.txt"; then
    echo "$name: the $way exe's transcript differs from the host build's"
    show_difference "$work/$way-host.txt" "$work/$way-exe.txt" "$way Uninstall.exe"
    status=1
  fi
  if ! diff -r "$work/$way-host-out" "$work/$way-exe-out" >"$work/$way-outcome.diff"; then
    echo "$name: the $way exe's outcome differs from the host build's:"
    head -n 40 "$work/$way-outcome.diff"
    status=1
  fi
  ((status)) || echo "$name: the $way exe did what the host build did ($(wc -l <"$work/$way-exe.txt") transcript lines)"
done
exit $status
