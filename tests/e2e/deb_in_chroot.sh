#!/usr/bin/env bash
# Installs a built zelvo .deb into a fresh Debian 12 (bookworm) chroot made with debootstrap and
# runs the end-to-end test there against the installed /usr/bin/zelvo. Needs root and network;
# not part of `make test`.
#   tests/e2e/deb_in_chroot.sh build/zelvo_1.3.0_amd64.deb [CHROOT_DIR]
set -euo pipefail

deb=$(readlink -f "${1:?usage: deb_in_chroot.sh PACKAGE.deb [CHROOT_DIR]}")
root=${2:-$(mktemp -d /tmp/zelvo-chroot.XXXXXX)}
here=$(cd "$(dirname "$0")" && pwd)
[[ $(id -u) -eq 0 ]] || { echo "needs root (debootstrap, chroot, mount)" >&2; exit 1; }
command -v debootstrap >/dev/null || apt-get install -y -qq --no-install-recommends debootstrap

mounted=()
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || umount -l "${mounted[i]}"; done
}
trap cleanup EXIT

[[ -x $root/bin/sh ]] || debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
for fs in proc dev dev/pts; do
    if [[ $fs == proc ]]; then mount -t proc proc "$root/proc"; else mount --bind "/$fs" "$root/$fs"; fi
    mounted+=("$root/$fs")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/zelvo.deb"
cp "$here/zelvo_e2e.sh" "$root/tmp/zelvo_e2e.sh"

# The package with what apt pulls in for it (its Recommends included, as a desktop install would).
chroot "$root" sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/zelvo.deb'
# The test's own tools, which the package does not need.
chroot "$root" sh -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    xvfb xauth xdotool imagemagick x11-xserver-utils fontconfig'
chroot "$root" /tmp/zelvo_e2e.sh /usr/bin/zelvo /tmp/zelvo-shots
echo "the package installs and passes the end-to-end test in $root (screenshots: $root/tmp/zelvo-shots)"
