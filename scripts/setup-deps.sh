#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Quick when everything is present: it asks dpkg first and only calls apt-get
# for what is missing. Works as root; uses sudo otherwise.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools libqt6opengl6-dev
  libxkbcommon-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core # the fonts pixel and width tests pin (tests/PinnedFont.h)
  clang-format-14
  libpcre2-dev
  xvfb xauth
  poppler-utils
)
# Extra packages for the sanitizer and fuzz builds are requested by callers:
#   scripts/setup-deps.sh --fuzz
#   scripts/setup-deps.sh --peers   (the peer benchmark: QScintilla, jq)
#   scripts/setup-deps.sh --export-consumers   (LibreOffice and poppler, which
#     read exported RTF and HTML back in the export tests; CI only)
if [[ "${1:-}" == "--fuzz" ]]; then
  PACKAGES+=(clang libclang-rt-14-dev)
fi
if [[ "${1:-}" == "--export-consumers" ]]; then
  PACKAGES+=(libreoffice-writer-nogui poppler-utils python3)
fi
if [[ "${1:-}" == "--peers" ]]; then
  PACKAGES+=(libqscintilla2-qt6-dev jq)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then
  SUDO="sudo"
fi
echo "setup-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
