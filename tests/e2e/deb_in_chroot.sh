#!/usr/bin/env bash
# Installs a built zelvo .deb into a fresh Debian 12 (bookworm) chroot made with debootstrap and
# runs the end-to-end test there against the installed /usr/bin/zelvo. Needs root and network;
# not part of `make test`.
#   sudo tests/e2e/deb_in_chroot.sh build/zelvo_1.3.0_amd64.deb [CHROOT_DIR]
set -euo pipefail
deb=$(readlink -f "${1:?usage: deb_in_chroot.sh PACKAGE.deb [CHROOT_DIR]}")
root=${2:-$(mktemp -d /tmp/zelvo-chroot.XXXXXX)}
[[ $(id -u) -eq 0 ]] || { echo "needs root (debootstrap, chroot, mount)" >&2; exit 1; }
command -v debootstrap >/dev/null || apt-get install -y -qq --no-install-recommends debootstrap
[[ -x $root/bin/sh ]] || debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian

trap 'umount -l "$root/dev/pts" "$root/dev" "$root/proc" 2>/dev/null' EXIT
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$(dirname "$0")/zelvo_e2e.sh" "$root/tmp/"
# The package with what apt pulls in for it (its Recommends too, as a desktop install), then the
# test's own tools, which the package does not need.
chroot "$root" sh -c "export DEBIAN_FRONTEND=noninteractive && apt-get update -qq &&
    apt-get install -y -qq '/tmp/${deb##*/}' && apt-get install -y -qq --no-install-recommends xvfb xdotool imagemagick"
chroot "$root" /tmp/zelvo_e2e.sh /usr/bin/zelvo
echo "the package installs and passes the end-to-end test in $root"
