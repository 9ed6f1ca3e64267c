#!/usr/bin/env bash
# Installs the Debian packages Lirvan needs to build, run, test and benchmark (run as root).
set -euo pipefail
packages=(
    g++ cmake ninja-build pkg-config ccache
    qt6-base-dev qt6-translations-l10n libgl-dev
    libsqlite3-dev
    fonts-liberation fonts-dejavu-core
    poppler-utils
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
