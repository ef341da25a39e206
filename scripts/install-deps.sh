#!/usr/bin/env bash
# Installs the Debian packages that building Pivrel needs, only those that are missing.
# Usage: scripts/install-deps.sh [build|test|bench]...
set -euo pipefail

packages=(g++ cmake ninja-build)
for what in "${@:-build}"; do
    case "$what" in
        build) packages+=(qt6-base-dev libgl-dev fonts-liberation pkg-config libssl-dev libpsl-dev libwbxml2-dev) ;;
        test) packages+=(googletest libgtest-dev clang libclang-rt-14-dev clang-format xvfb xauth xdotool git openssl ca-certificates poppler-utils kannel) ;;
        bench) packages+=(libbenchmark-dev libxml2-dev libxml2-utils hyperfine curl nodejs python3) ;;
        *) echo "install-deps: unknown set '$what'" >&2; exit 64 ;;
    esac
done

missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
