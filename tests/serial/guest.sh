#!/usr/bin/env bash
# A small virtual machine on this release's own kernel, with a 16550 UART, a USB CDC-ACM adapter
# and a USB FTDI adapter, so that a program built here runs on the kernel's real serial drivers
# (8250, cdc_acm, ftdi_sio). The guest shares this machine's /usr read-only and no device of it.
#   guest.sh prepare CACHE               unpacks the kernel package into CACHE, once
#   guest.sh boot CACHE DIR PROGRAM      runs PROGRAM in a guest, then powers it off
# In the guest, as on a PC, the 8250 driver registers ttyS0 to ttyS3 and only ttyS0 has a UART
# behind it, at 115200 baud when PROGRAM starts; the adapters are ttyACM0 and ttyUSB0, with their
# vendor ids where udev keeps them: the desk's own port list makes them COM1, COM2 and COM3. DIR is the guest's /rig,
# read-write and uncached; PROGRAM's status goes to DIR/status and its output to the console,
# QEMU's standard output. QEMU connects the far ends of the UART and of the FTDI adapter to the
# sockets DIR/uart.socket and DIR/usb.socket, and its monitor to DIR/monitor.socket. The ACM
# adapter is a USB gadget on the guest's dummy host controller, which PROGRAM plugs in and pulls
# out by the gadget's UDC file; it reads the card's end, ttyGS0.
set -euo pipefail
export LC_ALL=C

prepare() {
    local cache=$1 package
    [ -e "$cache/ready" ] && return
    mkdir -p "$cache/deb"
    # The kernel the release's metapackage names, unpacked, never installed.
    package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
    (cd "$cache/deb" && apt-get download -q "$package")
    rm -rf "$cache/root"
    dpkg-deb -x "$cache"/deb/"$package"_*.deb "$cache/root"
    rm -rf "$cache/deb"
    # Debian 13's packages hold the modules under usr/ alone, and compressed, which busybox's
    # insmod does not read.
    [ -e "$cache/root/lib" ] || ln -s usr/lib "$cache/root/lib"
    find "$cache/root/lib/modules/" -name '*.ko.xz' -exec xz -d {} +
    depmod -b "$cache/root" "$(ls "$cache/root/lib/modules")"
    touch "$cache/ready"
}

boot() {
    local cache=$1 dir=$2 init version m
    init=$(mktemp -d)
    version=$(ls "$cache/root/lib/modules")
    mkdir -p "$init"/{bin,dev,proc,sys,tmp,usr,etc,run,mod,rig,var/lock,var/cache}
    cp /bin/busybox "$init/bin/"
    ln -s usr/lib "$init/lib"
    ln -s usr/lib64 "$init/lib64"
    # Fonts are found without a scan of /usr over 9p, which takes seconds.
    cp -a /etc/fonts /etc/ld.so.cache "$init/etc/"
    [ ! -d /var/cache/fontconfig ] || cp -a /var/cache/fontconfig "$init/var/cache/"
    cp "$3" "$init/program"
    # The modules the guest needs, dependencies first, in the order they load.
    for m in virtio_pci virtio_console 9pnet_virtio 9p xhci_pci ftdi_sio dummy_hcd configfs usb_f_acm cdc_acm; do
        modprobe -d "$cache/root" -S "$version" --show-depends "$m"
    done | awk '$1 == "insmod" && !seen[$2]++ {print $2}' | while read -r m; do
        cp "$m" "$init/mod/" && basename "$m" >>"$init/mod/order"
    done
    cat >"$init/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
# Vendor ids, which Qt reads from udev's records, kept as udev keeps them; mdev is the guest's udev.
mkdir -p /run/udev/data
echo 'tty(ACM|USB)[0-9]+ 0:0 660 *f=/run/udev/data/c$MAJOR:$MINOR d=/sys$DEVPATH; rm -f $f;
    [ $ACTION = remove ] || { until [ -e $d/idVendor ]; do d=${d%/*}; done; echo E:ID_VENDOR_ID=$(cat $d/idVendor) >$f; }' |
    tr -d '\n' >/etc/mdev.conf
mdev -d
while read -r m; do
    # The gadget's host controller at full speed, as real adapters are.
    [ "$m" = dummy_hcd.ko ] && a=is_high_speed=0 || a=
    insmod "/mod/$m" $a
done </mod/order
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 usr /usr
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 rig /rig
mount -t configfs configfs /sys/kernel/config
g=/sys/kernel/config/usb_gadget/card
mkdir -p $g/functions/acm.usb0 $g/configs/c.1
echo 0x16c0 >$g/idVendor
echo 0x05e1 >$g/idProduct
ln -s $g/functions/acm.usb0 $g/configs/c.1/
# The card's end is no port of the guest's desk: gone from the guest's view of the devices.
mount -t tmpfs hidden /sys/devices/virtual/tty/ttyGS0
n=0
until [ -e /dev/hvc0 ] || [ $((n += 1)) -gt 200 ]; do sleep 0.05; done
stty -F /dev/ttyS0 115200
exec 0<>/dev/hvc0 1>&0 2>&0
stty -opost
mkdir -m 700 /tmp/run
LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/run HOME=/tmp /program
echo $? >/rig/status
poweroff -f
INIT
    chmod +x "$init/init"
    (cd "$init" && find . | cpio -o -H newc --quiet) | gzip -1 >"$dir/initramfs.gz"
    rm -rf "$init"
    # TCG on two processors.
    exec qemu-system-x86_64 -smp 2 -nodefaults -display none -kernel "$cache"/root/boot/vmlinuz-* \
        -initrd "$dir/initramfs.gz" -append "console=hvc0 loglevel=3 8250.nr_uarts=4" \
        -chardev stdio,id=console -device virtio-serial-pci -device virtconsole,chardev=console \
        -chardev socket,id=uartcard,path="$dir/uart.socket" -device isa-serial,chardev=uartcard \
        -chardev socket,id=usbcard,path="$dir/usb.socket" -monitor unix:"$dir/monitor.socket" \
        -device qemu-xhci,id=xhci -device usb-serial,id=adapter,chardev=usbcard,bus=xhci.0 \
        -virtfs local,path=/usr,mount_tag=usr,security_model=none,readonly=on \
        -virtfs local,path="$dir",mount_tag=rig,security_model=none
}

"$@"
