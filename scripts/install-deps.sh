#!/usr/bin/env bash
# Installs what building, running and testing Corvane needs on Debian 12, and nothing that is
# already there. Safe to run again; needs root (or sudo) and no input.
set -euo pipefail

packages=(
    cmake ninja-build g++ git
    googletest libgtest-dev libbenchmark-dev clang-format clang libclang-rt-14-dev
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    wine wine32:i386 wine64 fonts-wine
    xvfb xdotool x11-utils imagemagick
    python3 python3-pytest python3-pytest-timeout
    libxml2-utils
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq </dev/null
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
