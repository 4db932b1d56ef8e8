# compose_image BASE CASE OUT: a case's machine image is the default install (BASE) with the
# case folder's differences: its scenario.ini replaces the base's, its registry.reg lines are
# added after the base's (so "[-KEY]" and "name"=- remove what the base has), its drive_*/
# files are added, and each line of its remove.txt names a path of the image to take away.
# A case folder that holds a complete image (marked by a file named "complete") is used as is.
compose_image() {
  local base=$1 case_dir=$2 out=$3 path
  rm -rf "$out"
  if [[ -f $case_dir/complete ]]; then
    cp -a "$case_dir" "$out" && rm -f "$out/complete"
    return
  fi
  cp -a "$base" "$out" || return 1
  if [[ -f $case_dir/scenario.ini ]]; then cp "$case_dir/scenario.ini" "$out/scenario.ini"; fi
  if [[ -f $case_dir/registry.reg ]]; then
    # Without its header line: the lines belong to the base's file.
    { printf '\r\n'; tail -n +2 "$case_dir/registry.reg"; } >>"$out/registry.reg"
  fi
  for path in "$case_dir"/drive_*; do
    [[ -d $path ]] && cp -a "$path" "$out/"
  done
  if [[ -f $case_dir/remove.txt ]]; then
    while IFS= read -r path; do
      path=${path%$'\r'}
      [[ -z $path || $path == \#* ]] && continue
      [[ -e $out/$path ]] || { echo "compose_image: $case_dir/remove.txt: no $path in the image" >&2; return 1; }
      rm -rf "${out:?}/$path"
    done <"$case_dir/remove.txt"
  fi
}
