#!/usr/bin/env bash
# What the release's signature check (scripts/lib/signing.sh) accepts and refuses, on copies of
# an exe signed here with throwaway certificates and a local timestamp authority, offline:
#
#   verdicts.sh --exe Uninstall.exe --work DIR
#
# One row a case: how the file is made, which issuers it is verified against, and whether a
# timestamp is required; each must pass or fail as its row says.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/signing.sh
source "$here/../../scripts/lib/signing.sh"

exe= work=
while (($#)); do
  case $1 in
    --exe) exe=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "verdicts.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[[ -n $exe && -n $work ]] || { echo "verdicts.sh: --exe and --work are needed" >&2; exit 2; }
[[ -f $exe ]] || { echo "verdicts.sh: no $exe" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"

signing_make_test_certificate "$work/signer" "Orbelle release test signer" || exit 1
signing_make_test_certificate "$work/stranger" "Someone else" || exit 1
# A timestamp authority of our own: osslsigncode stamps with it locally, no server involved.
mkdir -p "$work/tsa"
openssl req -x509 -newkey rsa:2048 -sha256 -nodes -days 30 -subj "/CN=Orbelle test TSA" \
  -addext "basicConstraints=critical,CA:FALSE" \
  -addext "extendedKeyUsage=critical,timeStamping" \
  -keyout "$work/tsa/key.pem" -out "$work/tsa/cert.pem" >/dev/null 2>&1 ||
  { echo "verdicts.sh: openssl could not make the timestamp authority" >&2; exit 1; }

signer=(-certs "$work/signer/cert.pem" -key "$work/signer/key.pem")
unsigned=$work/unsigned.exe
cp "$exe" "$unsigned"
signing_sign "$unsigned" "$work/signed.exe" "$work/sign.log" "${signer[@]}" || exit 1
signing_sign "$unsigned" "$work/stamped.exe" "$work/stamp.log" "${signer[@]}" \
  -TSA-certs "$work/tsa/cert.pem" -TSA-key "$work/tsa/key.pem" || exit 1
# Signed the way the release must not sign: another description, and SHA-1.
osslsigncode sign "${signer[@]}" -h sha256 -n "Setup" -in "$unsigned" \
  -out "$work/described.exe" >"$work/described.log" 2>&1 || exit 1
osslsigncode sign "${signer[@]}" -h sha1 -n "$SIGN_DESCRIPTION" -in "$unsigned" \
  -out "$work/sha1.exe" >"$work/sha1.log" 2>&1 || exit 1

# flipped NAME WHERE: a copy of signed.exe with the byte at WHERE (entry, subsystem, last,
# signature) inverted.
flipped() {
  local copy=$work/$1.exe offset
  cp "$work/signed.exe" "$copy"
  signing_pe_offsets "$copy" || return 1
  case $2 in
    entry) offset=$PE_ENTRY ;;
    subsystem) offset=$PE_SUBSYSTEM ;;
    # The last byte before the certificate table: the end of the last section's file block.
    last) offset=$((PE_CERT_TABLE - 1)) ;;
    # Inside the RSA signature value, which ends the signer's information (no timestamp follows
    # here): 20 bytes before the end of the PKCS#7 structure, whose DER length is at 8 + 2.
    signature)
      local der=$((PE_CERT_TABLE + 8))
      offset=$((der + 4 + $(od -An -tu1 -j $((der + 2)) -N2 "$copy" | awk '{print $1 * 256 + $2}') - 20))
      ;;
  esac
  signing_flip_byte "$copy" "$offset"
}
flipped flip_entry entry && flipped flip_subsystem subsystem && flipped flip_last last &&
  flipped flip_signature signature || exit 1

ca=$work/signer/cert.pem
other_ca=$work/stranger/cert.pem
tsa_ca=$work/tsa/cert.pem
# name | file | issuers | timestamp issuers ("" = no timestamp required) | verdict
rows=(
  "signed, verified against its issuer|signed.exe|$ca||pass"
  "signed, verified against another issuer|signed.exe|$other_ca||fail"
  "unsigned|unsigned.exe|$ca||fail"
  "one byte of the entry point's code flipped|flip_entry.exe|$ca||fail"
  "one byte of the header's subsystem flipped|flip_subsystem.exe|$ca||fail"
  "the last byte before the signature flipped|flip_last.exe|$ca||fail"
  "one byte of the signature value flipped|flip_signature.exe|$ca||fail"
  "another description than the elevation prompt's|described.exe|$ca||fail"
  "a SHA-1 digest|sha1.exe|$ca||fail"
  "timestamped, its authority trusted|stamped.exe|$ca|$tsa_ca|pass"
  "timestamped, its authority not trusted|stamped.exe|$ca|$other_ca|fail"
  "no timestamp where one is required|signed.exe|$ca|$tsa_ca|fail"
  "timestamped by our own authority, checked against the system's issuers|stamped.exe|$ca||fail"
)
failures=0
for row in "${rows[@]}"; do
  IFS='|' read -r name file issuers tsa_issuers expected <<<"$row"
  log=$work/verify-${file%.exe}.log
  if signing_verify "$work/$file" "$issuers" "$log" "$tsa_issuers" 2>"$log.why"; then
    verdict=pass
  else
    verdict=fail
  fi
  if [[ $verdict == "$expected" ]]; then
    echo "ok: $name: $verdict"
  else
    echo "WRONG: $name: $verdict, expected $expected; osslsigncode said:"
    sed 's/^/  /' "$log" "$log.why"
    failures=$((failures + 1))
  fi
done

# Why the verdict lines are read: osslsigncode itself reports success for the file whose
# timestamp it could not verify.
if osslsigncode verify -CAfile "$ca" -TSA-CAfile "$other_ca" -in "$work/stamped.exe" \
  >"$work/exit-status.log" 2>&1; then
  echo "ok: osslsigncode exits 0 for a timestamp it failed to verify, so its exit status alone is not the verdict"
else
  echo "note: this osslsigncode exits non-zero for a failed timestamp as well"
fi
((failures == 0)) || { echo "$failures wrong verdicts"; exit 1; }
