#!/bin/sh
# The signed setup file, from certificate to installation:
#   run_signed_e2e.sh ROOT MKSETUP STUB PRODUCT DRIVER
# makes a throwaway certificate authority and code-signing certificate (openssl), builds the
# demo setup with MKSETUP from PRODUCT onto STUB, signs it as README.md says (osslsigncode),
# checks that the signature verifies against the authority and that mksetup tests, lists
# and extracts the signed file, reads its version resource back (wrestool), and finally
# installs it under Wine with the driver's SignedSetup scenario (run_e2e.sh). Everything
# lands under ROOT, made afresh. No timestamp: that needs a timestamping server.
set -eu
root=$1 mksetup=$2 stub=$3 product=$4 driver=$5
here=$(cd "$(dirname "$0")" && pwd)

for tool in openssl osslsigncode wrestool "$mksetup"; do
  command -v "$tool" >/dev/null || { echo "$tool not found (see scripts/packages.txt)" >&2; exit 1; }
done
[ -f "$stub" ] || { echo "stub not found at $stub" >&2; exit 1; }

fail() { echo "FAILED: $*" >&2; exit 1; }
step() { echo "--- $*"; }

rm -rf "$root"
mkdir -p "$root/keys"
keys=$root/keys

step "throwaway certificate authority and code-signing certificate"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Zentrivo Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
  -keyout "$keys/ca.key" -out "$keys/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Obrelux Test Signer/O=Obrelux" \
  -keyout "$keys/signer.key" -out "$keys/signer.csr" 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" >"$keys/signer.ext"
openssl x509 -req -in "$keys/signer.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" \
  -CAcreateserial -days 2 -extfile "$keys/signer.ext" -out "$keys/signer.pem" 2>/dev/null

step "demo setup built and signed"
"$mksetup" build "$product" -o "$root/setup-unsigned.exe" --stub "$stub"
osslsigncode sign -certs "$keys/signer.pem" -key "$keys/signer.key" -h sha256 \
  -n "Zentrivo Setup" -in "$root/setup-unsigned.exe" -out "$root/setup.exe"
unsigned_size=$(wc -c <"$root/setup-unsigned.exe")
signed_size=$(wc -c <"$root/setup.exe")
echo "unsigned $unsigned_size bytes, signed $signed_size bytes"

step "the signature verifies against the authority, and only against it"
osslsigncode verify -CAfile "$keys/ca.pem" -in "$root/setup.exe" >"$root/verify.log" 2>&1 \
  || { cat "$root/verify.log"; fail "osslsigncode verify rejected the signed setup"; }
grep -q "Signature verification: ok" "$root/verify.log" || { cat "$root/verify.log"; fail "no verification"; }
if osslsigncode verify -CAfile "$keys/ca.pem" -in "$root/setup-unsigned.exe" >/dev/null 2>&1; then
  fail "osslsigncode verify accepted the unsigned setup"
fi
# Another authority's certificate must not do.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Someone Else" \
  -keyout "$keys/other.key" -out "$keys/other.pem" 2>/dev/null
if osslsigncode verify -CAfile "$keys/other.pem" -in "$root/setup.exe" >/dev/null 2>&1; then
  fail "osslsigncode verify accepted the signature against an unrelated authority"
fi

step "mksetup test, list and extract on the signed setup"
"$mksetup" test "$root/setup.exe" >"$root/test.log" || { cat "$root/test.log"; fail "mksetup test"; }
"$mksetup" list "$root/setup.exe" >"$root/list.log" || { cat "$root/list.log"; fail "mksetup list"; }
signature=$(grep '^Signature: ' "$root/list.log" || true)
echo "$signature"
table_at=$(( (unsigned_size + 7) / 8 * 8 ))
case $signature in
  "Signature: Authenticode (PKCS #7 signed data), certificate table at offset $table_at "*", to the end of the file") ;;
  *) fail "mksetup list does not name the certificate table at offset $table_at" ;;
esac
"$mksetup" extract "$root/setup.exe" "$root/extracted" >"$root/extract.log" \
  || { cat "$root/extract.log"; fail "mksetup extract"; }
diff -r "$product" "$root/extracted" >/dev/null || fail "extracted files differ from the product"

step "version resource of the signed setup"
wrestool -x --raw --type=16 "$root/setup.exe" >"$root/version.res" || fail "no version resource"
# The strings are UTF-16: read them with their zero bytes taken out.
tr -d '\000' <"$root/version.res" >"$root/version.txt"
for pair in "CompanyName Obrelux" "ProductName Zentrivo" "FileDescription Zentrivo Setup" \
            "ProductVersion 1.21" "FileVersion 1.21" "OriginalFilename setup.exe"; do
  key=${pair%% *} value=${pair#* }
  grep -aq "$key$value" "$root/version.txt" || fail "version resource lacks $key \"$value\""
done

step "the signed setup installs under Wine"
exec sh "$here/run_e2e.sh" "$root/wine" en_US.UTF-8 "SignedSetup.*" "$driver" "$root/setup.exe" "$product"
