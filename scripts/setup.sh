#!/usr/bin/env bash
# Installs what building, running and testing Quillbury needs on Debian 12.
# Sourced by run.sh and test.sh; installs only what is missing.
set -euo pipefail

QB_PACKAGES=(
    build-essential cmake ninja-build ccache clang libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools libqt6serialport6-dev libgl-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    fonts-liberation fonts-dejavu-core fonts-symbola
    poppler-utils libdbd-xbase-perl libtime-parsedate-perl python3-dbfread python3-dbf
    xvfb xauth
)

qb_missing_packages() {
    local missing=()
    for p in "${QB_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    echo "${missing[@]:-}"
}

qb_install_packages() {
    local missing
    missing=$(qb_missing_packages)
    [ -z "$missing" ] && return 0
    echo "Installing missing packages: $missing" >&2
    local SUDO=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
            echo "Need root or sudo to install: $missing" >&2; return 1; fi
    fi
    $SUDO apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

qb_configure_build() {
    # $1 build dir, rest: extra cmake args
    local dir=$1; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)"
}
