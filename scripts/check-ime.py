#!/usr/bin/python3
"""Korean typed into the message box through a real input method, and sent
while its last syllable is still being composed. Run by scripts/check-ime.sh
inside an Xvfb X server and a session bus of its own.

usage: check-ime.py PROGRAM ibus|fcitx

Starts openbox, the input-method daemon (ibus-daemon with ibus-hangul, or
fcitx5 with fcitx5-hangul), an ncat peer and the program; connects from the
setup window; then, with the Hangul engine on, types two-set keys and sends
lines by a click on Send and by Tab then Space, each while its last syllable
is still composing (the box's picture has settled). The peer must receive
each line exactly as composed, and nothing of a sent line may turn up again
in the box: the next line would carry it to the peer. Every wait is bounded;
the first wrong answer ends the run with a message.
"""
import os
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from Xlib import X  # noqa: E402
from xdesktop import (WAIT, activate, check, checks, click, fail, frame, in_client, key, menu, prop,  # noqa: E402
                      root, type_text, until, wait_window)

CHAT_HEIGHT = 322  # the chat window's client area, 4830 twips
SEND = (312, 296)  # Command1 at 4200,4200 twips, 975 x 495
BOX = (8, 280, 257, 33)  # MyMsg at 120,4200 twips, 3855 x 495
BUTTON = (280, 280, 65, 33)  # Command1

# Two-set keyboard: g k s = 한, r m f = 글, d k s = 안, s u d = 녕, d k = 아.
HANGUL_KEYS = {"한글": "gksrmf", "안녕": "dkssud", "아": "dk"}


def wait_for_ime(im, env):
    if im == "ibus":
        def up():
            out = subprocess.run(["ibus", "address"], env=env, capture_output=True, text=True).stdout.strip()
            return out and out != "(null)"
        until("ibus-daemon on its bus", up)
    else:
        # Asks the bus, not fcitx5: a call to fcitx5's name before it has
        # taken it would have the bus start a second fcitx5.
        until("fcitx5 on the session bus", lambda: "true" in subprocess.run(
            ["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path", "/org/freedesktop/DBus",
             "--method", "org.freedesktop.DBus.NameHasOwner", "org.fcitx.Fcitx5"],
            env=env, capture_output=True, text=True).stdout)


def start_ime(im, env, home):
    if im == "ibus":
        # ibus-hangul starts in its Hangul mode; the setup fields are typed
        # with the plain US engine, and the Hangul engine is chosen later.
        subprocess.run(["gsettings", "set", "org.freedesktop.ibus.engine.hangul", "initial-input-mode", "hangul"],
                       env=env, check=True)
        proc = subprocess.Popen(["ibus-daemon", "--panel=disable", "--emoji-extension=disable"],
                                env=env, stdout=subprocess.DEVNULL, stderr=open(os.path.join(home, "ime.log"), "w"))
        wait_for_ime(im, env)
        subprocess.run(["ibus", "engine", "xkb:us::eng"], env=env, check=True, timeout=WAIT)
        return proc
    config = os.path.join(home, ".config", "fcitx5")
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "profile"), "w") as f:
        f.write("[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=hangul\n\n"
                "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n"
                "[Groups/0/Items/1]\nName=hangul\nLayout=\n\n"
                "[GroupOrder]\n0=Default\n")
    proc = subprocess.Popen(["fcitx5", "--disable=classicui,kimpanel,notificationitem,xim,wayland,waylandim,"
                             "ibusfrontend,fcitx4frontend"],
                            env=env, stdout=subprocess.DEVNULL, stderr=open(os.path.join(home, "ime.log"), "w"))
    wait_for_ime(im, env)
    return proc


def ibus_focus(env):
    """The input context IBus holds as focused, as IBus itself reports it."""
    address = subprocess.run(["ibus", "address"], env=env, capture_output=True, text=True).stdout.strip()
    reply = subprocess.run(["gdbus", "call", "--address", address, "--dest", "org.freedesktop.IBus",
                            "--object-path", "/org/freedesktop/IBus", "--method",
                            "org.freedesktop.DBus.Properties.Get", "org.freedesktop.IBus", "CurrentInputContext"],
                           env=env, capture_output=True, text=True)
    return reply.stdout.strip() if reply.returncode == 0 else None


def hangul_on(im, env):
    if im == "ibus":
        subprocess.run(["ibus", "engine", "hangul"], env=env, check=True, timeout=WAIT)
        until("the Hangul engine", lambda: subprocess.run(["ibus", "engine"], env=env, capture_output=True,
                                                           text=True).stdout.strip() == "hangul")
    else:
        # Activates the input context that has the focus: the message box's.
        until("fcitx5 active in the message box", lambda: subprocess.run(
            ["fcitx5-remote", "-o"], env=env).returncode == 0 and subprocess.run(
            ["fcitx5-remote"], env=env, capture_output=True, text=True).stdout.strip() == "2")
        until("the Hangul engine", lambda: subprocess.run(["fcitx5-remote", "-n"], env=env, capture_output=True,
                                                           text=True).stdout.strip() == "hangul")
    check(True, f"{im}: the Hangul engine is on in the message box")


def box_image(window, rect=BOX, client_height=CHAT_HEIGHT):
    x, y = in_client(window, rect[0], rect[1], client_height)
    image = root.get_image(int(x), int(y), rect[2], rect[3], X.ZPixmap, 0xFFFFFFFF)
    return image.data, rect[2]



def changed_columns(a, b, width):
    """How many columns two pictures of the box differ over (0 if none)."""
    diff = [i // 4 % width for i in range(0, len(a), 4) if a[i:i + 3] != b[i:i + 3]]
    return max(diff) - min(diff) + 1 if diff else 0


CURSOR = 3  # the blinking text cursor changes no more columns than this


def wait_like(chat, picture, what):
    until(what, lambda: changed_columns(box_image(chat)[0], picture, BOX[2]) <= CURSOR)


def settled(chat, empty):
    """Waits until the box shows more than the empty box and then holds still
    (the blinking cursor aside), so the input method has drawn what the keys
    composed."""
    last = until("the box to show the typed syllables",
                 lambda: (lambda data: data if changed_columns(data, empty, BOX[2]) > CURSOR else None)(
                     box_image(chat)[0]))
    still_since = time.monotonic()
    end = still_since + WAIT
    while time.monotonic() - still_since < 1.0:
        if time.monotonic() > end:
            fail("the message box never held still after typing")
        time.sleep(0.05)
        data = box_image(chat)[0]
        if changed_columns(data, last, BOX[2]) > CURSOR:
            last, still_since = data, time.monotonic()


def received_until(out_path, expected, what):
    def got():
        with open(out_path, "rb") as f:
            return f.read()
    until(f"the peer to receive {expected!r} {what} (it has {got()!r})",
          lambda: len(got()) >= len(expected))
    data = got()
    check(data == expected, f"{what}: the peer has {data.decode(errors='replace')!r}")


def main():
    program, im = sys.argv[1], sys.argv[2]
    home = os.environ["HOME"]
    env = dict(os.environ, GSETTINGS_BACKEND="keyfile")
    procs = []
    try:
        wm = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(wm)
        until("the window manager", lambda: prop(root, "_NET_SUPPORTING_WM_CHECK"))
        procs.append(start_ime(im, env, home))
        run(program, im, env, home, procs)
    finally:
        for p in reversed(procs):
            if p.poll() is None:
                p.kill()
    print(f"check-ime: {im}: {checks[0]} passed, 0 failed")


def standing(window):
    """Waits until a window has its frame and stays where it was placed:
    clicks go by position."""
    until("the window's frame", lambda: prop(window, "_NET_FRAME_EXTENTS"))
    last, since = frame(window), time.monotonic()
    end = since + WAIT
    while time.monotonic() - since < 0.5:
        if time.monotonic() > end:
            fail("the window kept moving")
        time.sleep(0.05)
        if frame(window) != last:
            last, since = frame(window), time.monotonic()


def free_port():
    start = 2000 + os.getpid() % 7000  # the program's port field takes 1 to 9999
    for port in list(range(start, 9999)) + list(range(1024, start)):
        with socket.socket() as s:
            try:
                s.bind(("127.0.0.1", port))
                return port
            except OSError:
                continue
    fail("no free port from 1024 to 9999")


def run(program, im, env, home, procs):
    port = free_port()
    out_path = os.path.join(home, "peer.out")
    peer = subprocess.Popen(["ncat", "-l", "127.0.0.1", str(port)], stdout=open(out_path, "wb"),
                            stdin=subprocess.PIPE)  # a peer whose user types nothing, and stays
    procs.append(peer)
    until("ncat listening", lambda: subprocess.run(["ss", "-ltnH", f"sport = :{port}"], capture_output=True,
                                                   text=True).stdout.strip())
    app = subprocess.Popen([program], env=dict(env, QT_QPA_PLATFORM="xcb", QT_IM_MODULE=im))
    procs.append(app)

    setup = wait_window("ZAQ CHAT -Setup-")
    standing(setup)
    activate(setup)
    setup_height = 264  # 3960 twips
    # Clicks first, then keys only: keys go through the input method, which
    # hands them on later than a click arrives.
    # Of two clicks sent at once, the first was at times lost (Client stayed
    # unchosen): the next click waits until the side shows as chosen, as a
    # person's would.
    sides = (10, 16, 90, 56)  # the Server and Client buttons, as drawn
    unchosen = box_image(setup, sides, setup_height)[0]
    click(*in_client(setup, 52, 56, setup_height))  # Client
    until("Client to show as chosen",
          lambda: changed_columns(box_image(setup, sides, setup_height)[0], unchosen, sides[2]) > 0)
    focused_before = ibus_focus(env) if im == "ibus" else None
    click(*in_client(setup, 248, 100, setup_height))  # the address field
    if im == "ibus":
        # IBus drops keys sent to the program before it has told IBus which
        # of its input contexts has the focus.
        until("IBus told of the program's focus", lambda: ibus_focus(env) not in (None, focused_before))
    if im == "fcitx":
        # fcitx5 makes a window's input context when it first has the focus,
        # and drops a key sent before it is there.
        until("fcitx5's input context for the program", lambda: subprocess.run(
            ["fcitx5-remote"], env=env, capture_output=True, text=True).stdout.strip() in ("1", "2"))
    key("a", "Control_L")
    type_text("127.0.0.1")
    for text in (str(port), "Ann"):  # Tab selects the next field's text
        key("Tab")
        type_text(text)
    key("Tab")  # to Connect
    key("space")
    chat = wait_window("ZAQ CHAT Chating as CLIENT")
    standing(chat)
    activate(chat)
    hangul_on(im, env)

    wire = b""
    empty = box_image(chat)[0]  # nothing typed yet

    def compose(line):
        # Nothing of the line before is left in the box, or turns up in it.
        wait_like(chat, empty, "the message box empty")
        for k in HANGUL_KEYS[line]:
            key(k)
        settled(chat, empty)

    send = in_client(chat, SEND[0], SEND[1], CHAT_HEIGHT)
    for line in ("한글", "안녕"):
        compose(line)
        click(*send)
        wire += ("\r\nAnn: " + line).encode()
        received_until(out_path, wire, f"Send clicked while {line[-1]} was composing")
    for line in ("한글", "안녕"):
        compose(line)
        unfocused = box_image(chat, BUTTON)[0]
        key("Tab")
        # Space once Send shows the focus, as a person sees it before pressing.
        until("Send to show the focus", lambda: box_image(chat, BUTTON)[0] != unfocused)
        key("space")
        wire += ("\r\nAnn: " + line).encode()
        received_until(out_path, wire, f"Tab, Space while {line[-1]} was composing")
    # The last line shows that nothing of the one before came back.
    compose("아")
    click(*send)
    wire += "\r\nAnn: 아".encode()
    received_until(out_path, wire, "a last line, clicked")

    menu("c", "e")
    try:
        status = app.wait(WAIT)
    except subprocess.TimeoutExpired:
        fail("Exit did not end the program")
    check(status == 0, f"Exit ends the program with status {status}")
    try:
        peer.wait(WAIT)
    except subprocess.TimeoutExpired:
        fail("the peer never saw the connection end")
    with open(out_path, "rb") as f:
        data = f.read()
    check(data == wire, "the peer received those lines and nothing more")


if __name__ == "__main__":
    main()
