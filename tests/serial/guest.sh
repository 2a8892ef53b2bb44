#!/usr/bin/env bash
# A small virtual machine on this release's own kernel, with a 16550 UART, a USB FTDI adapter
# and a USB CDC-ACM adapter wired to sockets, so that a program built here runs on the kernel's
# real serial drivers (8250, ftdi_sio, cdc_acm). The guest shares this machine's /usr read-only
# and no device of it.
#   guest.sh prepare CACHE                   unpacks the kernel package into CACHE, once
#   guest.sh boot CACHE DIR PROGRAM [ARG...] runs PROGRAM in a guest, again each time it ends;
#                                            DIR gets the sockets
# In the guest, as on a PC, the 8250 driver registers ttyS0 to ttyS3 and only ttyS0 has a UART
# behind it; the USB adapters are ttyACM0 and ttyUSB0, with their vendor ids where udev keeps
# them: the desk's own port list makes them COM1, COM2 and COM3. The console is a virtio console
# (DIR/console), the UART's far end DIR/uart, the FTDI adapter's DIR/usb, QEMU's monitor
# DIR/monitor; QEMU traces every write to the UART's registers on its standard error. The ACM
# adapter is a USB gadget on the guest's dummy host controller: its far end, ttyGS0, is carried
# to DIR/acm, which also takes one command a line: pull, plug, stop (the card stops reading),
# go. ARGs go to the kernel's command line: rig.stty=SETTINGS sets ttyS0 each time before
# PROGRAM starts. The guest tells "EV ended STATUS" on the console when PROGRAM has ended.
set -euo pipefail
export LC_ALL=C

prepare() {
    local cache=$1
    [ -e "$cache/vmlinux" ] && return
    mkdir -p "$cache/deb"
    # The kernel the release's metapackage names, unpacked, never installed.
    local package
    package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
    (cd "$cache/deb" && apt-get download -q "$package" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
    rm -rf "$cache/root"
    dpkg-deb -x "$cache"/deb/"$package"_*.deb "$cache/root"
    rm -rf "$cache/deb"
    # Debian 13's packages hold the modules under usr/ alone.
    [ -e "$cache/root/lib" ] || ln -s usr/lib "$cache/root/lib"
    local version
    version=$(ls "$cache/root/lib/modules")
    depmod -b "$cache/root" "$version"
    # The ELF kernel inside the compressed image boots through PVH in half the time: cut at
    # the first xz (Debian 12) or zstd (Debian 13) magic number and unpack the one stream.
    local image=$cache/root/boot/vmlinuz-$version offset
    offset=$(grep -obUaP '\xfd7zXZ\x00' "$image" | head -n 1 | cut -d: -f1 || true)
    if [ -n "$offset" ]; then
        tail -c +$((offset + 1)) "$image" | xz -dc --single-stream >"$cache/vmlinux.new" 2>/dev/null || true
    else
        offset=$(grep -obUaP '\x28\xb5\x2f\xfd' "$image" | head -n 1 | cut -d: -f1)
        tail -c +$((offset + 1)) "$image" | zstd -qdc >"$cache/vmlinux.new" 2>/dev/null || true
    fi
    [ "$(head -c 4 "$cache/vmlinux.new" | od -An -c | tr -d ' ')" = '177ELF' ] \
        || { echo "guest.sh: no kernel found in $image" >&2; exit 1; }
    mv "$cache/vmlinux.new" "$cache/vmlinux"
}

initramfs() {
    local cache=$1 program=$2 out=$3 init version m name
    init=$(mktemp -d)
    version=$(ls "$cache/root/lib/modules")
    mkdir -p "$init"/{bin,dev,proc,sys,tmp,usr,etc,run,mod,var/lock,var/cache}
    cp /bin/busybox "$init/bin/"
    ln -s usr/lib "$init/lib"
    ln -s usr/lib64 "$init/lib64"
    # Fonts are found without a scan of /usr over 9p, which takes seconds.
    cp -a /etc/fonts /etc/ld.so.cache "$init/etc/"
    [ ! -d /var/cache/fontconfig ] || cp -a /var/cache/fontconfig "$init/var/cache/"
    cp "$program" "$init/program"
    # The modules the guest needs, dependencies first, in the order they load.
    for m in virtio_pci virtio_console 9pnet_virtio 9p xhci_pci ftdi_sio dummy_hcd configfs \
        usb_f_acm cdc_acm; do
        modprobe -d "$cache/root" -S "$version" --show-depends "$m"
    done | awk '$1 == "insmod" && !seen[$2]++ {print $2}' | while read -r m; do
        name=$(basename "$m")
        name=${name%.xz}
        name=${name%.zst}
        case "$m" in
        *.xz) xz -dc "$m" >"$init/mod/$name" ;;
        *.zst) zstd -qdc "$m" >"$init/mod/$name" ;;
        *) cp "$m" "$init/mod/$name" ;;
        esac
        echo "$name" >>"$init/mod/order"
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
mount -t configfs configfs /sys/kernel/config
g=/sys/kernel/config/usb_gadget/card
mkdir -p $g/functions/acm.usb0 $g/configs/c.1
echo 0x16c0 >$g/idVendor
echo 0x05e1 >$g/idProduct
ln -s $g/functions/acm.usb0 $g/configs/c.1/
# The card's end is no port of the guest's desk: gone from the guest's view of the devices.
mount -t tmpfs hidden /sys/devices/virtual/tty/ttyGS0
wait_for() {
    n=0
    until ls "$@" >/dev/null 2>&1 || [ $((n += 1)) -gt 200 ]; do sleep 0.05; done
}
wait_for /dev/hvc0 /dev/vport*p1
exec 4<>"$(ls /dev/vport*p1)"
# Plugged, the card's end is opened raw (it opens cooked and echoing) and carried to DIR/acm.
plug() {
    ls /sys/class/udc >$g/UDC
    (stty raw -echo && exec cat) </dev/ttyGS0 >&4 &
    card=$!
}
plug
wait_for /dev/ttyUSB0 /dev/ttyACM0 /run/udev/data/c188:0 /run/udev/data/c166:0
while read -r c <&4; do
    case $c in
    pull) echo >$g/UDC ;;
    plug) plug ;;
    stop) kill -STOP $card ;;
    go) kill -CONT $card ;;
    esac
done &
# The program's commands are lines longer than a terminal's line editing takes.
exec 0<>/dev/hvc0 1>&0 2>&0
stty raw -echo
mkdir -m 700 /tmp/run
while :; do
    for arg in $(cat /proc/cmdline); do
        case "$arg" in rig.stty=*) stty -F /dev/ttyS0 $(echo "${arg#rig.stty=}" | tr , ' ') ;; esac
    done
    LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/run HOME=/tmp /program
    echo "EV ended $?"
done
INIT
    chmod +x "$init/init"
    (cd "$init" && find . | cpio -o -H newc --quiet) | gzip -1 >"$out"
    rm -rf "$init"
}

boot() {
    local cache=$1 dir=$2 program=$3
    shift 3
    initramfs "$cache" "$program" "$dir/initramfs.gz"
    rm -f "$dir"/{console,uart,usb,acm,monitor}
    # TCG on two processors; each socket waits for its reader before the guest starts, as
    # QEMU drops what the guest writes to a socket nobody holds.
    exec qemu-system-x86_64 -accel tcg -machine pc -smp 2 -m 128 -nodefaults -no-user-config \
        -display none -kernel "$cache/vmlinux" -initrd "$dir/initramfs.gz" \
        -append "console=hvc0 loglevel=3 8250.nr_uarts=4 $*" \
        -chardev socket,id=con,path="$dir/console",server=on,wait=on \
        -device virtio-serial-pci -device virtconsole,chardev=con \
        -chardev socket,id=card,path="$dir/uart",server=on,wait=on \
        -device isa-serial,index=0,chardev=card \
        -chardev socket,id=adaptercard,path="$dir/usb",server=on,wait=on \
        -device qemu-xhci,id=xhci -device usb-serial,id=adapter,chardev=adaptercard,bus=xhci.0 \
        -chardev socket,id=acm,path="$dir/acm",server=on,wait=on -device virtserialport,chardev=acm \
        -virtfs local,path=/usr,mount_tag=usr,security_model=none,readonly=on \
        -monitor unix:"$dir/monitor",server=on,wait=off \
        -trace serial_write
}

command=${1:-}
shift || true
case "$command" in
prepare) prepare "$@" ;;
boot) boot "$@" ;;
*) echo "usage: guest.sh prepare CACHE | boot CACHE DIR PROGRAM [KERNEL ARG...]" >&2; exit 2 ;;
esac
