#!/usr/bin/env bash
# The release in dist/ as scripts/release left it, held to what it claims:
#
#   dist_check.sh --source REPO --work DIR
#
# - SHA256SUMS names both exes with their present sums;
# - the unsigned exe is the one the win32 preset builds (build/win32/Uninstall.exe), the exe the
#   PE checks and the size target hold;
# - the signed exe verifies against the issuers the release verified it against, and without
#   its signature is the unsigned exe again;
# - the signed exe with one byte flipped, in its code or in its signature, does not verify.
# Exit 77 (skipped) where no release has been made.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/signing.sh
source "$here/../../scripts/lib/signing.sh"

source_dir= work=
while (($#)); do
  case $1 in
    --source) source_dir=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "dist_check.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[[ -n $source_dir && -n $work ]] || { echo "dist_check.sh: --source and --work are needed" >&2; exit 2; }
dist=$source_dir/dist
release=$source_dir/build/release
if [[ ! -f $dist/Uninstall.exe ]]; then
  echo "no $dist/Uninstall.exe: run ./scripts/release first"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"

failures=0
check() {
  local name=$1
  shift
  if "$@" >"$work/last.log" 2>&1; then
    echo "ok: $name"
  else
    echo "FAILED: $name"
    sed 's/^/  /' "$work/last.log"
    failures=$((failures + 1))
  fi
}
differs() { ! cmp -s "$1" "$2"; }
fails_to_verify() { ! signing_verify "$1" "$ca" "$work/verify-$(basename "$1").log" "$tsa_ca"; }

# flip_copy NAME WHERE: dist/Uninstall.exe with the byte at WHERE (entry, signature) inverted.
flip_copy() {
  local copy=$work/$1.exe offset
  cp "$dist/Uninstall.exe" "$copy"
  signing_pe_offsets "$copy" || return 1
  case $2 in
    entry) offset=$PE_ENTRY ;;
    # In the middle of the certificate table: the signer's certificate or its signature.
    signature) offset=$((PE_CERT_TABLE + PE_CERT_SIZE / 2)) ;;
  esac
  signing_flip_byte "$copy" "$offset"
}

ca=$(cat "$release/verify-cafile" 2>/dev/null)
tsa_ca=$(cat "$release/verify-tsa-cafile" 2>/dev/null)
check "the release recorded the issuers it verified against" test -r "$ca"
check "SHA256SUMS holds both exes' sums" \
  bash -c 'cd "$1" && [[ $(wc -l <SHA256SUMS) == 2 ]] && sha256sum --quiet -c SHA256SUMS' _ "$dist"
check "the unsigned exe is build/win32/Uninstall.exe, the one the PE checks hold" \
  cmp "$dist/Uninstall.unsigned.exe" "$source_dir/build/win32/Uninstall.exe"
check "the signed exe differs from the unsigned one" \
  differs "$dist/Uninstall.exe" "$dist/Uninstall.unsigned.exe"
check "the signed exe verifies" signing_verify "$dist/Uninstall.exe" "$ca" "$work/verify.log" "$tsa_ca"
check "without its signature it is the unsigned exe" \
  bash -c 'source "$1" && signing_strip "$2" "$3" "$4" && cmp "$3" "$5"' _ \
  "$here/../../scripts/lib/signing.sh" "$dist/Uninstall.exe" "$work/stripped.exe" \
  "$work/strip.log" "$dist/Uninstall.unsigned.exe"
for where in entry signature; do
  if flip_copy "flipped-$where" "$where"; then
    check "one flipped byte ($where) fails verification" fails_to_verify "$work/flipped-$where.exe"
  else
    echo "FAILED: could not flip a byte ($where)"
    failures=$((failures + 1))
  fi
done
((failures == 0)) || { echo "$failures failed"; exit 1; }
