# shellcheck shell=bash
# Shared by scripts/release, scripts/bench and the release tests (tests/release/): Authenticode
# signing of Uninstall.exe with osslsigncode, its verification and its removal. Source it.
#
# Keys and passwords stay in files: a password goes to osslsigncode through -readpass (a file
# in a private folder), never on a command line that other users' process listings show, and
# nothing here prints what osslsigncode or openssl say about a key.

# What the elevation prompt shows as the program's name.
SIGN_DESCRIPTION="Uninstall Orbelle"

# signing_supports OPTION: whether this osslsigncode knows OPTION (2.5 lacks some of 2.9's).
signing_supports() {
  osslsigncode -h 2>&1 | grep -q -- "$1 "
}

# signing_make_test_certificate DIR: a throwaway self-signed code-signing certificate
# (DIR/cert.pem) and its unencrypted key (DIR/key.pem, readable by its owner only).
# SUBJECT_CN may name it.
signing_make_test_certificate() {
  local dir=$1 cn=${2:-Orbelle test signing, not for release}
  rm -rf "$dir"
  (umask 077 && mkdir -p "$dir") || return 1
  # A code-signing key usage, as a certificate authority would issue: Windows and osslsigncode
  # both refuse a signer whose extended key usage leaves out code signing.
  (umask 077 && openssl req -x509 -newkey rsa:3072 -sha256 -nodes -days 30 \
    -subj "/CN=$cn" -addext "basicConstraints=critical,CA:FALSE" \
    -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=codeSigning" \
    -keyout "$dir/key.pem" -out "$dir/cert.pem") >/dev/null 2>&1 || {
    echo "signing: openssl could not make a test certificate in $dir" >&2
    return 1
  }
}

# signing_sign IN OUT LOG CREDENTIALS...: signs IN into OUT (SHA-256, the description above).
# CREDENTIALS are osslsigncode's own: -pkcs12 FILE or -certs FILE -key FILE, optionally
# -readpass FILE and -ts URL (or -TSA-certs/-TSA-key for a local timestamp authority).
# osslsigncode's messages go to LOG.
signing_sign() {
  local in=$1 out=$2 log=$3
  shift 3
  rm -f "$out"
  if ! osslsigncode sign "$@" -h sha256 -n "$SIGN_DESCRIPTION" -in "$in" -out "$out" \
    >"$log" 2>&1; then
    # The log holds osslsigncode's own error lines: paths and reasons, no key material.
    grep -v '^Succeeded' "$log" >&2
    echo "signing: osslsigncode could not sign $in" >&2
    rm -f "$out"
    return 1
  fi
}

# signing_verify FILE CAFILE LOG [TSA_CAFILE]: whether FILE carries one valid SHA-256
# signature with the description above, made by a certificate that chains to CAFILE; with
# TSA_CAFILE, also a timestamp whose authority chains to TSA_CAFILE. The verdict comes from
# osslsigncode's own verdict lines: it exits 0 and says "Succeeded" even when the timestamp's
# signature failed, as long as the file's own signature holds. Prints why it fails.
signing_verify() {
  local file=$1 ca=$2 log=$3 tsa_ca=${4:-}
  local args=(verify -CAfile "$ca")
  [[ -n $tsa_ca ]] && args+=(-TSA-CAfile "$tsa_ca")
  # 2.9 fetches the CRLs a certificate names unless told not to; the release stays offline.
  signing_supports -ignore-cdp && args+=(-ignore-cdp)
  local status=0
  osslsigncode "${args[@]}" -in "$file" >"$log" 2>&1 || status=$?
  local reasons=()
  ((status == 0)) || reasons+=("osslsigncode exited with status $status")
  grep -q '^Signature verification: ok$' "$log" || reasons+=("no 'Signature verification: ok'")
  grep -q 'verification: failed' "$log" && reasons+=("$(grep -m1 'verification: failed' "$log")")
  grep -q 'Error:' "$log" && reasons+=("$(grep -m1 'Error:' "$log" | sed 's/^[[:space:]]*//')")
  grep -q 'MISMATCH' "$log" && reasons+=("the file's digest does not match the signed one")
  [[ $(grep -c '^Number of verified signatures: ' "$log") == 1 ]] ||
    reasons+=("not exactly one signature")
  [[ $(grep -v '^[[:space:]]*$' "$log" | tail -n 1) == Succeeded ]] ||
    reasons+=("no closing 'Succeeded'")
  grep -Eq '^Message digest algorithm *: SHA256' "$log" || reasons+=("the digest is not SHA-256")
  grep -qx $'\tText description: '"$SIGN_DESCRIPTION" "$log" ||
    reasons+=("the description is not \"$SIGN_DESCRIPTION\"")
  if [[ -n $tsa_ca ]]; then
    grep -q '^Timestamp Server Signature verification: ok$' "$log" ||
      reasons+=("no verified timestamp")
  fi
  if ((${#reasons[@]})); then
    echo "verify $file:" >&2
    printf '  %s\n' "${reasons[@]}" >&2
    return 1
  fi
}

# signing_strip IN OUT LOG: IN without its signature.
signing_strip() {
  rm -f "$2"
  osslsigncode remove-signature -in "$1" -out "$2" >"$3" 2>&1 || {
    cat "$3" >&2
    echo "signing: osslsigncode could not remove the signature of $1" >&2
    return 1
  }
}

# signing_flip_byte FILE OFFSET: inverts every bit of the byte at OFFSET in place.
signing_flip_byte() {
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  [[ -n $byte ]] || { echo "signing: $1 has no byte at $2" >&2; return 1; }
  # shellcheck disable=SC2059  # the format is the escape that writes the byte
  printf "\\x$(printf %02x $((byte ^ 0xff)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# signing_u32 FILE OFFSET: the little-endian 32-bit number at OFFSET.
signing_u32() {
  od -An -tu4 --endian=little -j "$2" -N4 "$1" | tr -d ' '
}

# signing_pe_offsets FILE: sets PE_ENTRY (the file offset of the entry point's first byte),
# PE_SUBSYSTEM (of the optional header's subsystem field) and PE_CERT_TABLE, PE_CERT_SIZE
# (where the signature's certificate table lies, 0 0 when unsigned).
# shellcheck disable=SC2034  # the PE_ variables are what the callers read
signing_pe_offsets() {
  local file=$1 pe optional sections count entry_rva i at va vsize raw magic dirs
  pe=$(signing_u32 "$file" 60)
  optional=$((pe + 24))
  count=$(od -An -tu2 --endian=little -j $((pe + 6)) -N2 "$file" | tr -d ' ')
  sections=$((optional + $(od -An -tu2 --endian=little -j $((pe + 20)) -N2 "$file" | tr -d ' ')))
  magic=$(od -An -tu2 --endian=little -j "$optional" -N2 "$file" | tr -d ' ')
  # The data directories start 96 bytes into a PE32 optional header, 112 into a PE32+ one;
  # the certificate table is the fifth, and its "address" is a file offset.
  dirs=$((optional + (magic == 523 ? 112 : 96)))
  PE_CERT_TABLE=$(signing_u32 "$file" $((dirs + 4 * 8)))
  PE_CERT_SIZE=$(signing_u32 "$file" $((dirs + 4 * 8 + 4)))
  PE_SUBSYSTEM=$((optional + 68))
  entry_rva=$(signing_u32 "$file" $((optional + 16)))
  PE_ENTRY=
  for ((i = 0; i < count; i++)); do
    at=$((sections + 40 * i))
    vsize=$(signing_u32 "$file" $((at + 8)))
    va=$(signing_u32 "$file" $((at + 12)))
    raw=$(signing_u32 "$file" $((at + 20)))
    if ((entry_rva >= va && entry_rva < va + vsize)); then
      PE_ENTRY=$((raw + entry_rva - va))
    fi
  done
  [[ -n $PE_ENTRY ]] || { echo "signing: no section of $file holds its entry point" >&2; return 1; }
}
