# Sourced by run.sh and test.sh: installs the Debian packages the builds
# need when they are missing (apt-get update once, only when needed).
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# 32-bit Wine comes from the i386 architecture; the next ensure_packages
# that misses a package then updates the lists with it.
ensure_i386_architecture() {
    dpkg --print-foreign-architectures | grep -qx i386 && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Adding the i386 architecture for 32-bit Wine"
    $sudo dpkg --add-architecture i386
}

# Both MinGW-w64 cross compilers: the shipped 32-bit program and the 64-bit
# build of the same sources for machines that cannot run 32-bit code.
BUILD_PACKAGES=(cmake make g++ libgtest-dev libbenchmark-dev
                g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
                g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 python3)
# The real setup.exe under Wine, headless, with screenshots (xwd, convert):
# the 32-bit Wine and the 64-bit one, whichever this machine can run.
WINE_PACKAGES=(wine wine32:i386 wine64 xvfb x11-apps imagemagick)
# Sanitizer runtimes and libFuzzer for the reliability checks.
RELIABILITY_PACKAGES=(clang libclang-rt-14-dev)
