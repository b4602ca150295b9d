#!/usr/bin/env bash
# Times `orvane-cli sign` and `orvane-cli verify` on the 10,000-line invoice
# beside the public tools doing the same work on the same files:
#   sign:   orvane-cli sign (its document check, the signature, the check of
#           the signed bytes, the save)  vs  xmllint --schema + xmlsec1 --sign
#           of an enveloped XML signature (no XAdES properties) with the same
#           key;
#   verify: orvane-cli verify  vs  xmlsec1 --verify of the same signed file.
# The two commands run in turn, A B A B ..., and the ratio A/B is taken pair
# by pair, so that a machine whose speed drifts (a shared one) still gives a
# fair ratio. Every run is a fresh process.
#
#   bench/sign-side-by-side.sh [BUILD_DIR] [RUNS]     (build/default, 11)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:-$here/../build/default}" && pwd)"
runs="${2:-11}"
cli="$build/src/orvane-cli"
bench="$build/bench/orvane-bench"
schema="$here/../third_party/facturae/Facturaev3_2_1.xsd"
for tool in "$cli" "$bench"; do
  [ -x "$tool" ] || { echo "Falta $tool: compile orvane-cli y orvane-bench" >&2; exit 2; }
done
for tool in xmllint xmlsec1 openssl; do
  command -v "$tool" >/dev/null || { echo "Falta la orden $tool" >&2; exit 2; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# The invoice: the benchmarks' 10,000-line import file with a seller whose
# tax id is valid (the document check refuses to sign over errors).
"$bench" --write-file import.ini 10000 >/dev/null
sed -i 's/^NIF=B15000001$/NIF=B15000003/' import.ini
mkdir home sign-home
"$cli" generate --home home -o doc.xml import.ini >/dev/null

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 30 \
  -subj "/CN=Prueba/serialNumber=IDCES-99999999R" 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout pass:bench
printf 'bench\n' >password

# The same document with an enveloped signature template before the root's
# end tag: inclusive C14N, RSA-SHA256, the whole document and the KeyInfo
# referenced, as in orvane-cli's signature less its XAdES properties.
template='<ds:Signature Id="Signature"><ds:SignedInfo><ds:CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"/><ds:SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"/><ds:Reference URI=""><ds:Transforms><ds:Transform Algorithm="http://www.w3.org/2000/09/xmldsig#enveloped-signature"/></ds:Transforms><ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/><ds:DigestValue/></ds:Reference><ds:Reference URI="#Signature-KeyInfo"><ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/><ds:DigestValue/></ds:Reference></ds:SignedInfo><ds:SignatureValue/><ds:KeyInfo Id="Signature-KeyInfo"><ds:X509Data/><ds:KeyValue/></ds:KeyInfo></ds:Signature>'
sed "s|</fe:Facturae>|${template}</fe:Facturae>|" doc.xml >template.xml

orvane_sign=("$cli" sign --cert cert.p12 --password-file password --home sign-home -o doc.xsig
  doc.xml)
public_sign=(sh -c "xmllint --noout --schema '$schema' doc.xml \
  && xmlsec1 --sign --pkcs12 cert.p12 --pwd bench --id-attr:Id KeyInfo --output xmlsec.xml \
  template.xml")
orvane_verify=("$cli" verify --trusted-ca cert.pem doc.xsig)
public_verify=(xmlsec1 --verify --trusted-pem cert.pem --id-attr:Id KeyInfo
  --id-attr:Id 'http://uri.etsi.org/01903/v1.3.2#:SignedProperties' doc.xsig)

# Both sides must succeed, or the figures would time a refusal.
"${orvane_sign[@]}" >/dev/null 2>&1 || { echo "orvane-cli sign falló" >&2; exit 1; }
"${public_sign[@]}" >/dev/null 2>&1 || { echo "xmllint + xmlsec1 --sign fallaron" >&2; exit 1; }
"${orvane_verify[@]}" >/dev/null 2>&1 || { echo "orvane-cli verify falló" >&2; exit 1; }
"${public_verify[@]}" >/dev/null 2>&1 || { echo "xmlsec1 --verify falló" >&2; exit 1; }
xmlsec1 --verify --trusted-pem cert.pem --id-attr:Id KeyInfo xmlsec.xml >/dev/null 2>&1 ||
  { echo "la firma de xmlsec1 no se comprueba" >&2; exit 1; }

# Wall milliseconds of one run of "$@".
wall_ms() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1
  local end=$EPOCHREALTIME
  echo "$(((${end/./} - ${start/./}) / 1000))"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# pair NAME: runs the arrays A and B in turn (one warm-up each, not counted).
pair() {
  local name=$1 a b
  local -n first=$2 second=$3
  wall_ms "${first[@]}" >/dev/null
  wall_ms "${second[@]}" >/dev/null
  : >a.ms
  : >b.ms
  : >ratio
  for _ in $(seq "$runs"); do
    a=$(wall_ms "${first[@]}")
    b=$(wall_ms "${second[@]}")
    echo "$a" >>a.ms
    echo "$b" >>b.ms
    awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f\n", a / b }' >>ratio
  done
  printf '%-8s orvane-cli %5d ms   public tools %5d ms   ratio %s (min %s, max %s)\n' \
    "$name" "$(median <a.ms)" "$(median <b.ms)" "$(median <ratio)" \
    "$(sort -n ratio | head -1)" "$(sort -n ratio | tail -1)"
}

echo "10,000-line invoice ($(($(stat -c %s doc.xml) / 1024)) KB), median wall time of $runs paired runs"
pair sign orvane_sign public_sign
pair verify orvane_verify public_verify
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
