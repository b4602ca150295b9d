# Shared by the scripts: installs what is missing and builds a preset.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

ORVANE_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n
  libqt6svg6 qt6-qpa-plugins libgl-dev
  libxml2-utils xvfb xauth fonts-dejavu-core
  clang libclang-rt-14-dev llvm
  libsqlite3-dev sqlite3  # the invoice book; its tests read it with the sqlite3 program too
  libxml2-dev  # the document check validates against the Facturae schemas in-process
  poppler-utils  # the PDF copy's tests read its text, pages, fonts and pictures
  libqrencode-dev  # the tax QR code on the PDF copy
  zbar-tools  # the tests read the QR code back (zbarimg)
  # Signing: libxmlsec1 over OpenSSL; openssl and xmlsec1 commands for the tests
  libxmlsec1-dev libxmlsec1-openssl libssl-dev openssl xmlsec1 ca-certificates
  tzdata  # billing records carry the time of Europe/Madrid or Atlantic/Canary
  python3  # the tests' stand-in of the tax agency's service (standard library only)
)

install_missing() {
  local missing=()
  for p in "${ORVANE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo="sudo"; else
      echo "Faltan paquetes (${missing[*]}) y no se puede instalar sin ser root." >&2
      return 1
    fi
  fi
  echo "Instalando: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
}

build_preset() {
  local preset="$1"
  cd "$ROOT"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
}
