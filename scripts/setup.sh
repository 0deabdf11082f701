#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quillon needs, and the further
# packages named as arguments (the screenshots script's tools, say).
# Idempotent: installs only what is missing and refreshes the package lists only then.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6 libgl-dev qt6-translations-l10n
  fonts-dejavu-core fonts-noto-mono xvfb xauth
  unixodbc unixodbc-dev odbc-postgresql tdsodbc libsqliteodbc libpq-dev
  postgresql-15 postgresql-client-15
  time
  clang libclang-rt-14-dev llvm
  libxlsxwriter-dev unzip libreoffice-dev
  libicu-dev
  libsqlite3-dev
  # The session bus the tests start for the desktop notifications of row rules.
  dbus
  # The SQL Server stand-in of the tests and the demo (tests/tds, a test fixture), and FreeTDS's
  # own client, with which the demo's test reads it.
  python3 python3-psycopg2 python3-cryptography freetds-bin
  "$@"
)
# The export's office: Calc with its windows, in which F5 shows the workbook; the tests run it
# headless. The two builds cannot be installed side by side: a machine that has the headless one
# keeps it, and there the export writes .xlsx files instead.
if dpkg-query -W -f='${Status}' libreoffice-calc-nogui 2>/dev/null | grep -q 'install ok installed'; then
  packages+=(libreoffice-calc-nogui)
else
  packages+=(libreoffice-calc)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
