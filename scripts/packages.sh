# Sourced by the scripts: installs Debian packages that are missing.
# Works as root or through sudo; refreshes the package lists only when
# something has to be installed.

ensure_packages() {
    local missing=()
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "missing packages: ${missing[*]} (run as root or install sudo)" >&2
            return 1
        fi
        sudo=(sudo)
    fi
    echo "== installing ${missing[*]}"
    local apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)
    "${apt[@]}" update -qq
    "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

# What building and testing the engine needs: compilers and tools, GoogleTest,
# Xlib and Mesa's GL and GLU for the program, and a virtual X server and XTest
# (a user's keys and mouse) for the tests that open a window; pkg-config to
# build the example from gloam.pc.
BUILD_PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format googletest libgtest-dev git
                libx11-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri xvfb xauth
                libxtst-dev pkg-config)
# gloam-pob compiles the OBJ reader and the picture decoder and resizer it uses
# from these headers; the end-to-end tests read and write PNG with stb. The
# import library reads every other model format through assimp.
BUILD_PACKAGES+=(libtinyobjloader-dev libstb-dev libassimp-dev)
