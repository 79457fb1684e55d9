#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need;
# touches apt only when something is missing.
set -euo pipefail
packages=(qtbase5-dev qtscript5-dev libqt5webkit5-dev qttools5-dev qttools5-dev-tools libqwt-qt5-dev
          libqt5sql5-sqlite libqt5svg5-dev xvfb xauth fonts-dejavu-core cmake g++ make)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    # env, not a plain assignment: sudo drops the caller's environment.
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
