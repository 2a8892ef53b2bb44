# This machine's side of the serial rig: boots the guest (guest.sh) to run PROGRAM, and is the
# far end of the UART that QEMU carries out. It reads it at 9600 baud's pace (960 bytes a second,
# 8N1; QEMU does not pace a UART), appending what the card receives to the file uart of the
# folder the guest shares as /rig; it stops and starts reading when the guest writes stall or go
# to the file ask there. Its status is the test's.
#   rig.py PROGRAM GUEST-CACHE
import os, socket, subprocess, sys, tempfile, time

with tempfile.TemporaryDirectory() as rig:
    listening = socket.socket(socket.AF_UNIX)
    listening.bind(f"{rig}/uart.socket")
    listening.listen()
    listening.settimeout(60)
    ask, card = open(f"{rig}/ask", "w+"), open(f"{rig}/uart", "ab", 0)
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "guest.sh")
    qemu = subprocess.Popen(["bash", script, "boot", sys.argv[2], rig, sys.argv[1]], stdin=subprocess.DEVNULL)
    try:
        uart = listening.accept()[0]
        reading, allowance, last = True, 0.0, time.monotonic()
        while qemu.poll() is None:
            time.sleep(0.01)
            for word in ask.read().split():
                reading = word == "go"
            # What the line carried since the last look, saving nothing up beyond 50 ms worth.
            now = time.monotonic()
            allowance, last = min(allowance + 960 * (now - last), 48), now
            if reading and allowance >= 1:
                try:
                    allowance -= card.write(uart.recv(int(allowance), socket.MSG_DONTWAIT))
                except BlockingIOError:
                    pass
    finally:
        qemu.kill()
    sys.exit(int(open(f"{rig}/status").read()))
