# Shared by scripts/run and scripts/test: Debian packages and the CMake build.

set -euo pipefail

TALVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# What building the program needs; clang, bpftool and libbpf build the capture helper's kernel
# programs into it.
BUILD_PACKAGES=(g++ cmake ninja-build pkgconf qt6-base-dev libpcap-dev clang bpftool libbpf-dev)
# What running it on a desktop needs besides: a CJK font for the Chinese texts, setcap.
RUN_PACKAGES=(fonts-wqy-microhei libcap2-bin)
# What the tests need besides: a CJK font for offscreen widgets, setcap for a helper that holds
# CAP_NET_RAW alone, iproute2 and procps (ip, sysctl) for test namespaces.
# clang and its fuzzer runtime build the fuzz targets. desktop-file-utils and appstream check the
# desktop entry and the metainfo file.
TEST_PACKAGES=(fonts-wqy-microhei libcap2-bin iproute2 procps clang libclang-rt-14-dev desktop-file-utils appstream)
# What making the Debian package needs besides: dpkg-shlibdeps and file, with which CPack reads the
# binary's library dependencies.
PACKAGE_PACKAGES=(dpkg-dev file)

missing_packages() {
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$package"
        fi
    done
}

# Installs whatever of the given packages is missing; as root directly, otherwise through a
# sudo that needs no password. Never asks anything.
ensure_packages() {
    local missing
    missing=$(missing_packages "$@" | sort -u | tr '\n' ' ')
    [ -z "$missing" ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            sudo=(sudo -n)
        else
            echo "Talvane needs these Debian packages: $missing" >&2
            echo "Install them as root (apt-get install $missing) and run this again." >&2
            exit 1
        fi
    fi
    echo "Installing: $missing"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q </dev/null
    # shellcheck disable=SC2086
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends $missing </dev/null
}

# Configures and builds into the given directory; extra arguments go to CMake.
build_talvane() {
    local build_dir=$1
    shift
    cmake -S "$TALVANE_ROOT" -B "$build_dir" -G Ninja "$@"
    cmake --build "$build_dir"
}
