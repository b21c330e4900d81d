#!/usr/bin/env bash
# Installs the Debian packages that building, testing or running Zelvo needs, and only those that
# are missing, so that a machine that already has them is not touched.
#   scripts/install-deps.sh build   compiler, CMake, Qt, GoogleTest, help2man (zelvo-cli's manual page)
#   scripts/install-deps.sh test    build + what the headless tests need
#   scripts/install-deps.sh run     build + what a desktop session needs (fonts, platform plugins)
#   scripts/install-deps.sh package build + what `make package` needs (dpkg-shlibdeps)
#   scripts/install-deps.sh windows what `make windows` needs (mingw-w64, NSIS, zip)
set -euo pipefail

profile=${1:-test}

build=(cmake ninja-build g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libgtest-dev libgmock-dev libx11-dev libssl-dev help2man)
test=(clang libclang-rt-14-dev googletest g++-mingw-w64-x86-64-posix nsis zip wine64 xvfb xauth xdotool x11-utils imagemagick fonts-noto-cjk qt6-qpa-plugins desktop-file-utils appstream x11-xserver-utils libxml2-utils shared-mime-info bash-completion man-db)
run=(qt6-qpa-plugins fonts-noto-cjk)
package=(dpkg-dev)
windows=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 nsis zip)

case "$profile" in
build) wanted=("${build[@]}") ;;
test) wanted=("${build[@]}" "${test[@]}") ;;
run) wanted=("${build[@]}" "${run[@]}") ;;
package) wanted=("${build[@]}" "${package[@]}") ;;
windows) wanted=("${windows[@]}" googletest) ;;
*) echo "usage: $0 build|test|run|package|windows" >&2; exit 64 ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
