# compose_image BASE CASE OUT: a case's machine image is the default install (BASE) with the
# case folder's differences: its scenario.ini replaces the base's, its registry.reg lines are
# added after the base's (so "[-KEY]" and "name"=- remove what the base has), its drive_*/
# files are added, and each line of its remove.txt names a path of the image to take away.
# A case folder that holds a complete image (marked by a file named "complete") is used as is.
case_registry_utf8() {
  if [[ $(head -c 2 "$1" | od -An -tx1 | tr -d ' ') == fffe ]]; then
    tail -c +3 "$1" | iconv -f UTF-16LE -t UTF-8
  else
    cat "$1"
  fi
}

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
    # Without its header line: the lines belong to the base's file, which is UTF-8 text. A
    # case's names and strings keep every character under the base's REGEDIT4 header (the image
    # reader takes quoted text as Unicode whatever the header; only hex(2) and hex(7) data follow
    # it, and those of a case must then be ANSI bytes). A UTF-16 file (regedit's) is made UTF-8.
    { printf '\r\n'; case_registry_utf8 "$case_dir/registry.reg" | tail -n +2; } >>"$out/registry.reg" ||
      return 1
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
