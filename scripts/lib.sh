# Shared by scripts/run and scripts/test: installs what is missing and builds into build/.
# shellcheck shell=bash

ZEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZEL_BUILD=${ZEL_BUILD:-$ZEL_ROOT/build}

ZEL_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev
    googletest libgtest-dev
    unixodbc unixodbc-dev odbc-postgresql postgresql zlib1g-dev nasm libcurl4-openssl-dev
    zip unzip g++-mingw-w64-x86-64
    xvfb trayer xdotool imagemagick x11-utils socat procps python3-aiosmtpd openssl
    prometheus-node-exporter prometheus curl
    fonts-liberation fonts-dejavu-core
    dpkg-dev lintian systemd
)

zel_install_missing() {
    local missing=() pkg
    for pkg in "${ZEL_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    # One update serves scripts/test and scripts/test-windows run one after the other.
    if [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*_Packages*' -mmin -120 2>/dev/null | head -1)" ]; then
        $sudo apt-get update -q
    fi
    $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q "${missing[@]}"
}

zel_build() {
    local generator=()
    command -v ninja >/dev/null && generator=(-G Ninja)
    if [ ! -f "$ZEL_BUILD/CMakeCache.txt" ]; then
        cmake -S "$ZEL_ROOT" -B "$ZEL_BUILD" "${generator[@]}" -DCMAKE_BUILD_TYPE="${ZEL_BUILD_TYPE:-RelWithDebInfo}" "$@"
    fi
    cmake --build "$ZEL_BUILD" -j "$(nproc)"
}
