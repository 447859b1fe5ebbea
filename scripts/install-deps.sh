#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian 12 machine, once: the native toolchain
# with GoogleTest, the MinGW-w64 i686 cross compiler, 32-bit Wine, and the Japanese locale
# that gives Wine the ANSI code page 932.  Does nothing when everything is there already.
# With the argument "demo" also what `make demo` needs for its screenshots: a virtual X
# display, ImageMagick's import, and a Japanese font.
set -euo pipefail

packages=(cmake g++ make python3 libgtest-dev clang libclang-rt-14-dev
          g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
          wine wine32:i386 locales)
if [ "${1:-}" = demo ]; then
    packages+=(xvfb xauth imagemagick fonts-ipafont-gothic)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    # A mirror in the middle of a sync fails the update of one index now and then: try again,
    # and go on with the lists there are (the install itself says when a package is missing).
    for attempt in 1 2 3; do
        $sudo apt-get update -q && break
        echo "install-deps: apt-get update failed (attempt $attempt)"
        sleep $((attempt * 10))
    done
    install=(env DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends)
    if ! "${install[@]}" "${missing[@]}"; then
        # When one architecture's index of the security suite could not be fetched, the
        # amd64 and i386 builds of a shared library have different candidates and wine32
        # cannot be installed: take both from the release itself.
        . /etc/os-release
        echo "install-deps: installing again from $VERSION_CODENAME alone"
        "${install[@]}" -t "$VERSION_CODENAME" "${missing[@]}"
    fi
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
    echo "install-deps: generating the ja_JP.UTF-8 locale"
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
