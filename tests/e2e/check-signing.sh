#!/usr/bin/env bash
# Signs branded launchers of the Windows build as the README's "Signing your
# exe" shows, with a certificate authority and a code-signing certificate
# made for the test: the signature verifies against that authority and the
# PE checksum is right. A signed launcher is then branded: tarvik-brand
# warns and drops the signature, and the copy verifies as unsigned.
# Every launcher exe the build holds is checked (tarvik.exe, tarvikc.exe).
#
#   tests/e2e/check-signing.sh WINDOWS_BUILD_DIR TARVIK_BRAND
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
brand=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-signing.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

# The test authority and the signer's certificate it issues, for a day.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Tarvik Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
  -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Tarvik Test Signer" \
  -keyout signer.key -out signer.csr 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 \
  -extfile signer.ext -out signer.pem 2>/dev/null
check "test certificates made" '[ -s ca.pem ] && [ -s signer.pem ]'

brandit() {
  "$brand" --icon "$top/resources/tarvik.ico" --name "Acme Tool" --version 1.4.2.0 "$1" "$2"
}
sign() {
  osslsigncode sign -certs signer.pem -key signer.key -n "Acme Tool" -h sha256 \
    -in "$1" -out "$2" >/dev/null
}
# osslsigncode prints "PE checksum" when the header holds the file's sum,
# else the current and the calculated one (older versions print both
# always) and "invalid PE checksum".
checksumRight() {
  local current calculated
  current=$(sed -n 's/^\(Current \)\{0,1\}PE checksum *: *//p' <<<"$1")
  calculated=$(sed -n 's/^Calculated PE checksum *: *//p' <<<"$1")
  [ -n "$current" ] && { [ -z "$calculated" ] || [ "$current" = "$calculated" ]; } &&
    ! grep -q "invalid PE checksum" <<<"$1"
}

launchers=0
for exe in tarvik.exe tarvikc.exe; do
  [ -f "$build/$exe" ] || continue
  launchers=$((launchers + 1))
  dir=${exe%.exe}
  mkdir -p "$dir/plain" "$dir/signed"

  check "$exe: branded without a word" \
    'brandit "$build/$exe" "$dir/plain/acme.exe" 2>"$dir/plain.err" && [ ! -s "$dir/plain.err" ]'
  sign "$dir/plain/acme.exe" "$dir/acme-signed.exe"
  verified=$(osslsigncode verify -CAfile ca.pem -in "$dir/acme-signed.exe" 2>&1)
  code=$?
  check "$exe: the signed copy verifies against the test authority" \
    '[ $code -eq 0 ] && grep -q "^Signature verification: ok" <<<"$verified"'
  check "$exe: the signed copy's PE checksum is right" 'checksumRight "$verified"'

  sign "$build/$exe" "$dir/$exe"
  check "$exe: branding a signed launcher warns" \
    'brandit "$dir/$exe" "$dir/signed/acme.exe" 2>"$dir/signed.err" &&
     grep -q "^tarvik-brand: warning: .* carries an Authenticode signature; .* is written without it" "$dir/signed.err"'
  verified=$(osslsigncode verify -CAfile ca.pem -in "$dir/signed/acme.exe" 2>&1)
  code=$?
  check "$exe: that copy verifies as unsigned" '[ $code -ne 0 ] && grep -q "^No signature found" <<<"$verified"'
  check "$exe: that copy's PE checksum is right" 'checksumRight "$verified"'
  check "$exe: that copy is the unsigned launcher's, byte for byte" \
    'cmp -s "$dir/plain/acme.exe" "$dir/signed/acme.exe"'
done
check "a launcher to sign in $build" '[ $launchers -gt 0 ]'
exit $fail
