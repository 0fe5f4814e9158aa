#!/usr/bin/env bash
# Installs what Quillane needs to build and test, then builds it into build/.
# Safe to run again: packages already present are not fetched anew.
# QUILLANE_WARNINGS_AS_ERRORS=ON makes every compiler warning stop the build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-webengine-dev libgl-dev
  # The toolkit's own dialogs and buttons in the interface language.
  qt6-translations-l10n
  libvips-dev libvips-tools imagemagick
  libcurl4-openssl-dev libssl-dev python3
  libgtest-dev libgmock-dev
  # The import's spreadsheet readers, and the .xls files its tests write.
  libfreexl-dev libzip-dev libpugixml-dev python3-xlwt
  # The loopback FTP, FTPS and SFTP servers of the upload tests.
  python3-pyftpdlib python3-openssl openssh-server openssh-client openssl
  xvfb xauth fonts-dejavu-core
  chromium
  # The order service: its two databases, password hashes.
  libsqlite3-dev libsodium-dev libpq-dev postgresql
  # The order service's HTTP server, made to face the internet without a proxy.
  libmicrohttpd-dev
  # The shop the order service's tests read prices from.
  libcpp-httplib-dev
  # The order fetch tests send a compressed reply that unpacks to far more than its size.
  zlib1g-dev
  # The baseline of bench_upload sends each file with curl.
  curl
  # pdfinfo and pdftotext read the invoices printed as PDF in the window tests.
  poppler-utils
  # The one version the sources are laid out with (cmake/Format.cmake).
  clang-format-14
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node.js and npm run the browser tests. A Node.js that is already there is
# kept: its own package may bring npm and conflict with Debian's.
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The browser tests drive Debian's Chromium; no browser of their own is fetched.
browser_tests=tests/browser
if ! cmp -s "$browser_tests/package-lock.json" "$browser_tests/node_modules/.installed-lock.json"; then
  (cd "$browser_tests" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error &&
    cp package-lock.json node_modules/.installed-lock.json)
fi

launcher=()
# A compiler cache, where the machine has one, makes rebuilds of other checkouts quick.
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DQUILLANE_WARNINGS_AS_ERRORS="${QUILLANE_WARNINGS_AS_ERRORS:-OFF}"
cmake --build build --parallel
