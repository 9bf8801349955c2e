# shellcheck shell=bash
# The Debian 12 (bookworm) packages Lumidial is built and tested with, the
# npm tools of its tests, and a function that installs the missing ones.
#
#   source scripts/packages.sh
#   lumidial_ensure_packages          # installs what is missing, if anything
#
# apt-get update runs only when something is missing; sudo is used only when
# not running as root. Recommended packages are not installed, so everything
# needed is named here.

LUMIDIAL_PACKAGES=(
  # Native build and unit tests.
  cmake make g++ googletest libgtest-dev
  # Cross build for 64-bit Windows (posix thread model), resources, tools.
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  # Running the saver and its Windows-side tests. Debian's wine only
  # recommends fonts-wine (Wine's own "MS Sans Serif" and "Tahoma") and the
  # X libraries that Wine's X11 driver loads at run time; name them so a
  # fresh machine draws exactly like the ones the tests were written on.
  wine wine64 fonts-wine
  libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3 libxxf86vm1
  # A private X display, its state, screenshots, and the benchmark's input.
  xvfb xdotool x11-utils imagemagick
  # Several monitors that come and go: Xorg's dummy video driver, laid out
  # with xrandr (x11-xserver-utils, which also has xsetroot).
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  # The benchmark's X screen probe (bench/run.sh) is built from C source.
  libx11-dev
  # The Windows Installer package (./dev.sh package) is compiled by wixl;
  # the installer and release tests read packages with msitools.
  wixl msitools
  # installer/package.py gives the package its package code and dates
  # through libmsi: Debian's Python and its GObject bindings.
  python3 python3-gi gir1.2-libmsi-1.0
  # Releases: Authenticode signatures (osslsigncode) and key checks
  # (openssl); the release tests build clones of the commit (git), one with
  # the clock moved ahead (faketime).
  osslsigncode openssl git faketime
)

# Prints the packages of LUMIDIAL_PACKAGES that are not installed.
lumidial_missing_packages() {
  local p status
  for p in "${LUMIDIAL_PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [[ "$status" == installed ]] || echo "$p"
  done
}

# Tools from npm, installed into build/tools of the source tree:
# action-validator checks the Windows CI workflow against GitHub's workflow
# schema (a native test, tests/bundle).
LUMIDIAL_NPM_TOOLS=(@action-validator/cli@0.6.0)
LUMIDIAL_TOOLS_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/tools"

lumidial_ensure_packages() {
  local missing
  mapfile -t missing < <(lumidial_missing_packages)
  # npm for those tools: Debian's, unless Node.js came with its own.
  command -v npm >/dev/null || missing+=(nodejs npm)
  if ((${#missing[@]} > 0)); then
    _lumidial_apt_install "${missing[@]}" || return 1
  fi
  [[ -x "$LUMIDIAL_TOOLS_DIR/node_modules/.bin/action-validator" ]] && return 0
  echo "[packages] installing into $LUMIDIAL_TOOLS_DIR: ${LUMIDIAL_NPM_TOOLS[*]}" >&2
  mkdir -p "$LUMIDIAL_TOOLS_DIR" &&
    npm install --prefix "$LUMIDIAL_TOOLS_DIR" --no-audit --no-fund "${LUMIDIAL_NPM_TOOLS[@]}" >&2 </dev/null
}

_lumidial_apt_install() {
  local missing=("$@")
  echo "[packages] installing: ${missing[*]}" >&2
  local sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null; then
      echo "[packages] not root and no sudo: install these first: ${missing[*]}" >&2
      return 1
    fi
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q || return 1
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null || return 1
}
