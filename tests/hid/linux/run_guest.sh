#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# Boots a small Linux guest under qemu and runs hid_kernel_check in it against the kernel's own
# HID stack (hid, hid-generic, uhid), with npt-recorder-sim as the device; the check also runs
# `npt read` against it.
#
#   run_guest.sh SIMULATOR CHECK UDEV_RULE DATA_FILE CACHE_DIR NPT
#
# The kernel comes from Debian's linux-image-cloud-amd64, downloaded once into CACHE_DIR.
# Exit status 77 (skipped) when qemu, busybox, cpio or the kernel package cannot be had.
set -euo pipefail

simulator=$1
check=$2
rule=$3
memory=$4
cache=$5
npt=$6

skip() {
    echo "skipped: $*"
    exit 77
}

qemu=$(command -v qemu-system-x86_64) || skip "qemu-system-x86_64 is not installed"
busybox=/bin/busybox
# ldd refuses a statically linked program, which is what the guest needs.
[[ -x $busybox ]] && ! ldd "$busybox" >/dev/null 2>&1 ||
    skip "a static busybox (busybox-static) is not installed"
command -v cpio >/dev/null || skip "cpio is not installed"

# The kernel and its HID modules, fetched once.
mkdir -p "$cache"
if ! compgen -G "$cache/root/boot/vmlinuz-*" >/dev/null; then
    # Inside "( ... ) || skip" errexit is off: every step says itself when it failed.
    (
        cd "$cache" || exit 1
        rm -rf root ./*.deb
        apt-get download linux-image-cloud-amd64 >/dev/null 2>&1 || exit 1
        image=$(dpkg-deb -f linux-image-cloud-amd64_*.deb Depends | sed 's/ .*//') || exit 1
        apt-get download "$image" >/dev/null 2>&1 || exit 1
        dpkg-deb -x "$image"_*.deb root || exit 1
        rm -f ./*.deb
    ) || skip "the kernel package linux-image-cloud-amd64 cannot be downloaded"
fi
kernel=$(compgen -G "$cache/root/boot/vmlinuz-*" | head -n1)
modules=$(compgen -G "$cache/root/lib/modules/*" | head -n1)/kernel/drivers/hid

work=$(mktemp -d "$cache/guest.XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir -p "$root"/{bin,dev,proc,sys,tmp,modules}
cp "$busybox" "$root/bin/busybox"
for tool in sh mount insmod poweroff cat echo; do
    ln -s busybox "$root/bin/$tool"
done
cp "$rule" "$root/npt.rules"
cp "$memory" "$root/memory.txt"
cp "$modules/hid.ko" "$modules/hid-generic.ko" "$modules/uhid.ko" "$root/modules/"

# The programs with the shared libraries they load.
for program in "$simulator" "$check" "$npt"; do
    cp "$program" "$root/bin/"
    for lib in $(ldd "$program" | grep -o '/[^ ]*'); do
        mkdir -p "$root$(dirname "$lib")"
        cp -L "$lib" "$root$lib"
    done
done

cat >"$root/init" <<INIT
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
insmod /modules/hid.ko
insmod /modules/hid-generic.ko
insmod /modules/uhid.ko
/bin/$(basename "$check") /bin/$(basename "$simulator") /npt.rules /memory.txt /bin/$(basename "$npt")
echo "guest-exit-status: \$?"
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1 >"$work/initrd.gz")

log=$work/console.log
timeout 300 "$qemu" -kernel "$kernel" -initrd "$work/initrd.gz" -m 512 -smp 1 \
    -append "console=ttyS0 quiet panic=-1" -nographic -no-reboot -nodefaults -serial stdio \
    >"$log" 2>&1 || true
tr -d '\r' <"$log" | grep -oE '(ok|not ok) - .*|hid-kernel-check:.*|guest-exit-status:.*' || true
grep -q "guest-exit-status: 0" "$log"
