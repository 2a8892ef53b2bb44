# This machine's side of the serial rig: boots the guest (guest.sh) to run PROGRAM, and is the
# far end of the two lines QEMU carries out. It reads the UART's at 9600 baud's pace (960 bytes
# a second, 8N1; QEMU does not pace a UART) and the FTDI adapter's as fast as it comes, appending
# what each card receives to the files uart and usb of the folder the guest shares as /rig; and
# it does what the guest asks in the file ask there, a word a line: stall or go (stop or start
# reading the UART), pull or plug (the FTDI adapter, on QEMU's monitor). Its status is the test's.
#   rig.py PROGRAM GUEST-CACHE
import os, select, socket, subprocess, sys, tempfile, time

with tempfile.TemporaryDirectory() as rig:
    listening = [socket.socket(socket.AF_UNIX) for _ in range(3)]
    for s, name in zip(listening, ("uart", "usb", "monitor")):
        s.bind(f"{rig}/{name}.socket")
        s.listen()
        s.settimeout(60)
    ask = open(f"{rig}/ask", "w+")
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "guest.sh")
    qemu = subprocess.Popen(["bash", script, "boot", sys.argv[2], rig, sys.argv[1]], stdin=subprocess.DEVNULL)
    # A UART shifts its bytes out whatever the machine is doing: the far end keeps its pace ahead
    # of the guest's processors, or the last bytes of a close wait in the UART's FIFO until the
    # guest's driver stops waiting for them and resets it.
    try:
        os.setpriority(os.PRIO_PROCESS, 0, -10)
    except PermissionError:
        pass
    try:
        uart, usb, monitor = (s.accept()[0] for s in listening)
        cards = {uart: open(f"{rig}/uart", "ab", 0), usb: open(f"{rig}/usb", "ab", 0)}

        def take(line, most):
            try:
                return cards[line].write(line.recv(most, socket.MSG_DONTWAIT))
            except BlockingIOError:
                return 0

        reading, allowance, last = True, 0.0, time.monotonic()
        while qemu.poll() is None:
            select.select([usb], [], [], 0.01)
            for word in ask.read().split():
                if word in ("stall", "go"):
                    reading = word == "go"
                else:
                    monitor.sendall(b"device_del adapter\n" if word == "pull" else
                                    b"device_add usb-serial,id=adapter,chardev=usbcard,bus=xhci.0\n")
            # What the line carried since the last look, saving nothing up beyond 50 ms worth.
            now = time.monotonic()
            allowance, last = min(allowance + 960 * (now - last), 48), now
            if reading and allowance >= 1:
                allowance -= take(uart, int(allowance))
            take(usb, 65536)
    finally:
        qemu.kill()
    sys.exit(int(open(f"{rig}/status").read()))
