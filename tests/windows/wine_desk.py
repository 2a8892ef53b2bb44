# The Windows desk under Wine, driven by keys as an operator would, its COM ports on
# pseudo-terminals; inside an X session: wine_desk.py BUILD (make windows' folder)
import os, select, subprocess as sp, sys, time
build = sys.argv[1]
wine = ['bash', os.path.dirname(__file__) + '/wine.sh', build + '/wine']
sp.run(wine + ['wineboot', '-i'], check=True)
lines = {}
for n in range(1, 6):
    link = f'{build}/wine/ports/com{n}'
    if os.path.lexists(link):
        os.remove(link)
    if n > 1:  # COM1 has no card: start-up goes on to COM2
        lines[n], far = os.openpty()
        os.symlink(os.ttyname(far), link)
        os.close(far)

def wait(test, what):
    for _ in range(300):
        if found := test():
            return found
        time.sleep(0.2)
    sys.exit('no ' + what)

def shown():
    return set(sp.run(['xdotool', 'search', '--onlyvisible', '--name', '.'],
                      capture_output=True, text=True).stdout.split())

def boxes():
    return shown() - main

def keys(to, *names):
    # Keys typed before Wine hands a new window the focus are lost.
    focus = lambda: sp.run(['xdotool', 'getwindowfocus'], capture_output=True, text=True).stdout
    wait(lambda: focus().strip() in to, 'focus')
    sp.run(['xdotool', 'key', *names], check=True)

def read(count):
    got = b''
    while len(got) < count and select.select([lines[2]], [], [], 30)[0]:
        got += os.read(lines[2], 4096)
    return got

def lit():
    # The lit lamp's red; nothing else on the desk is that colour.
    return b'\x10\x10\xe0' in sp.run(['xwd', '-root', '-silent'], capture_output=True).stdout

desk = sp.Popen(wine + ['wine', build + '/lumidesk/lumidesk.exe'])
main = wait(shown, 'desk')
keys(main, 'ctrl+s')
ask = wait(boxes, 'channel question')
keys(ask, '5', 'Return')
keys(wait(lambda: boxes() - ask, 'name question'), 'Return')
wait(lambda: not boxes(), 'slider')
# A key at a time, each after the last frame: the desk paces its frames, so that keys faster
# than that would send fewer levels.
for i, level in enumerate([*range(1, 256), *range(254, -1, -1)]):
    keys(main, 'Up' if i < 255 else 'Down')
    got = read(2)
    assert got == bytes([5, level]), f'COM2 got {got.hex()} for {level}'
assert lit(), 'the lamp is not lit'
os.close(lines[2])  # the card pulled while nothing is sent
box = wait(boxes, 'box for the pulled card')
time.sleep(2)
assert boxes() == box, 'more than one box'
keys(box, 'Return')
wait(lambda: not boxes(), 'box to close')
assert not lit(), 'the lamp is still lit'
keys(main, 'alt+x')
keys(wait(boxes, 'exit question'), 'alt+y')
assert desk.wait(30) == 0
sp.run(wine + ['wineserver', '-w'])
