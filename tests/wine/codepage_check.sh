#!/usr/bin/env bash
# Which code page a program gets under this Wine, with the product's manifest and without one:
# orbacp.exe carries res/uninstall.manifest (activeCodePage UTF-8), orbacp_plain.exe none. Both
# point TMP at a folder with a Cyrillic name and print GetACP, GetOEMCP and GetTempPathA's bytes.
# With the manifest the name must come back whole in UTF-8 (code page 65001, as Windows 10 1903
# and later give it); without, the prefix's own ANSI code page must be the Western one (1252,
# the emulator's default) and every Cyrillic letter a '?'. The Wine case cyrillic_user relies on
# both: the run succeeds only where the manifest is honoured.
#
#   codepage_check.sh --arch x86_64|i686 --work WINE_WORK
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"

arch=x86_64 work=
while (($#)); do
  case $1 in
    --arch) arch=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) wine_log "codepage_check.sh: unknown argument $1"; exit 2 ;;
  esac
done
[[ -n $work ]] || { wine_log "usage: codepage_check.sh --arch x86_64|i686 --work WINE_WORK"; exit 2; }
work=$(realpath -m "$work")
suffix=
[[ $arch == i686 ]] && suffix=32

hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
# The folder orbacp.cpp sets, as each code page gives it back (with GetTempPathA's backslash).
expected_utf8="acp=65001
oemcp=65001
temp_a=$(hex 'C:\users\Иван\Временные\')"
expected_plain="acp=1252
oemcp=437
temp_a=$(hex 'C:\users\????\?????????\')"

case_dir=$work/codepage/$arch
wine_begin_case "$work" "$arch" "$case_dir" || exit $?
unset DISPLAY
failed=0
for probe in orbacp orbacp_plain; do
  timeout 120 "$WINE64" "C:\\orbtest\\$probe$suffix.exe" </dev/null >"$case_dir/$probe.txt" \
    2>"$case_dir/$probe.log"
  status=$?
  actual=$(tr -d '\r' <"$case_dir/$probe.txt")
  expected=$expected_utf8
  [[ $probe == orbacp_plain ]] && expected=$expected_plain
  echo "$probe$suffix.exe:"
  printf '%s\n' "$actual"
  if ((status != 0)); then
    wine_log "$probe$suffix.exe failed with status $status:"
    cat "$case_dir/$probe.log" >&2
    failed=1
  elif [[ $actual != "$expected" ]]; then
    wine_log "$probe$suffix.exe got other code pages than expected:"
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") >&2
    failed=1
  fi
done
((failed == 0)) || exit 1
wine_drop_prefix "$case_dir"
