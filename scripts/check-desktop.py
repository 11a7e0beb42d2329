#!/usr/bin/python3
"""Drives the real program on a real X server with a real window manager and
checks what the desktop sees: window properties, frames and pixels read from
the X server, input sent through XTEST. Run by scripts/check-desktop.sh, which
starts the X server and the window manager.

Usage: check-desktop.py PROGRAM
Every wait is bounded; the first failure ends the run with a message.
"""
import os
import socket
import subprocess
import sys
import time

from Xlib import X, XK, Xatom, display, protocol
from Xlib.ext import xtest

WAIT = 10.0  # seconds any one thing may take
checks = 0


def fail(message):
    print(f"check-desktop: FAIL: {message}", file=sys.stderr)
    if os.environ.get("ZAQ_DESKTOP_FAILSHOT"):  # a picture of the screen at the failure
        subprocess.run(["import", "-window", "root", os.environ["ZAQ_DESKTOP_FAILSHOT"]], check=False)
    sys.exit(1)


def check(condition, message):
    global checks
    if not condition:
        fail(message)
    checks += 1
    print(f"  ok  {message}")


d = display.Display()
root = d.screen().root
atom = d.intern_atom


def until(what, probe, timeout=WAIT):
    """Polls probe() until it gives a true value; fails naming `what` after timeout."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            fail(f"timed out waiting for {what}")
        time.sleep(0.02)


def prop(window, name, kind=X.AnyPropertyType):
    try:
        p = window.get_full_property(atom(name), kind)
    except Exception:  # the window went away meanwhile
        return None
    return None if p is None else list(p.value) if not isinstance(p.value, (str, bytes)) else p.value


def title(window):
    name = prop(window, "_NET_WM_NAME")
    return name.decode() if isinstance(name, bytes) else name or ""


def clients():
    return [d.create_resource_object("window", w) for w in prop(root, "_NET_CLIENT_LIST") or []]


def find(caption):
    for w in clients():
        if title(w) == caption and wm_state(w) == 1:
            return w
    return None


def wait_window(caption):
    return until(f'a window "{caption}"', lambda: find(caption))


def wm_state(window):
    state = prop(window, "WM_STATE")
    return state[0] if state else None


def net_state(window):
    return {d.get_atom_name(a) for a in prop(window, "_NET_WM_STATE", Xatom.ATOM) or []}


def frame(window):
    """The frame on the root window, title bar and borders included."""
    g = window.get_geometry()
    at = window.translate_coords(root, 0, 0)
    left, right, top, bottom = prop(window, "_NET_FRAME_EXTENTS") or (0, 0, 0, 0)
    return (-at.x - left, -at.y - top, g.width + left + right, g.height + top + bottom)


def client(window):
    g = window.get_geometry()
    at = window.translate_coords(root, 0, 0)
    return (-at.x, -at.y, g.width, g.height)


def centre(rect):
    x, y, w, h = rect
    return (x + w / 2, y + h / 2)


def work_area():
    x, y, w, h = until("the work area", lambda: prop(root, "_NET_WORKAREA"))[:4]
    return (x, y, w, h)


def near(a, b, tolerance):
    return abs(a[0] - b[0]) <= tolerance and abs(a[1] - b[1]) <= tolerance


def pixel(x, y):
    image = root.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF)
    b, g, r = image.data[0], image.data[1], image.data[2]
    return (r, g, b)


def click(x, y):
    xtest.fake_input(d, X.MotionNotify, x=int(x), y=int(y))
    xtest.fake_input(d, X.ButtonPress, 1)
    xtest.fake_input(d, X.ButtonRelease, 1)
    d.sync()


def key(name, *modifiers):
    codes = [d.keysym_to_keycode(XK.string_to_keysym(m)) for m in modifiers]
    for c in codes:
        xtest.fake_input(d, X.KeyPress, c)
    code = d.keysym_to_keycode(XK.string_to_keysym(name))
    xtest.fake_input(d, X.KeyPress, code)
    xtest.fake_input(d, X.KeyRelease, code)
    for c in reversed(codes):
        xtest.fake_input(d, X.KeyRelease, c)
    d.sync()


def popups():
    found = []
    for w in root.query_tree().children:
        try:
            a = w.get_attributes()
        except Exception:
            continue
        if a.override_redirect and a.map_state == X.IsViewable and w.get_wm_class():
            found.append(w.id)
    return found


def menu(letter, item):
    """Opens a menu of the active window with Alt+letter and picks an item by its letter."""
    key(letter, "Alt_L")
    until(f"the menu of Alt+{letter.upper()}", popups)
    key(item)
    until("the menu to close", lambda: not popups())


def type_text(text):
    names = {".": "period", " ": "space"}
    for ch in text:
        if ch.isupper():
            key(ch.lower(), "Shift_L")
        else:
            key(names.get(ch, ch))


def activate(window):
    """Asks the window manager to activate a window, as a task bar does, and
    waits for it. Keys only after this: Qt may handle a key sent right after a
    click before the click."""
    send_client_message(window, "_NET_ACTIVE_WINDOW", [2, X.CurrentTime, 0])
    until(f'"{title(window)}" active', lambda: active() == window.id)


def send_client_message(window, name, data):
    event = protocol.event.ClientMessage(window=window, client_type=atom(name),
                                         data=(32, (data + [0] * 5)[:5]))
    root.send_event(event, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
    d.sync()


def close(window):
    event = protocol.event.ClientMessage(window=window, client_type=atom("WM_PROTOCOLS"),
                                         data=(32, [atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
    window.send_event(event)
    d.sync()


def active():
    a = prop(root, "_NET_ACTIVE_WINDOW")
    return a[0] if a else None


def in_client(window, x_px, y_px, client_height_px):
    """A point of a window's client area (below its menu bar), in root coordinates.
    The client area is the bottom `client_height_px` of the window."""
    cx, cy, cw, ch = client(window)
    return (cx + x_px, cy + ch - client_height_px + y_px)


def icon_of_a_window_without_one():
    """What the window manager itself puts on a window that sets no icon
    (openbox gives such windows its default icon), from a window of our own."""
    w = root.create_window(0, 0, 50, 50, 0, X.CopyFromParent)
    w.set_wm_name("no icon")
    w.map()
    d.sync()
    until("the icon-less window managed", lambda: w.id in (prop(root, "_NET_CLIENT_LIST") or []))
    until("the window manager's frame on it", lambda: prop(w, "_NET_FRAME_EXTENTS"))
    icon = prop(w, "_NET_WM_ICON")
    w.destroy()
    d.sync()
    return icon


def free_port():
    # The program's port field takes 1 to 9999: probe that range, from a random start.
    start = 2000 + os.getpid() % 7000
    for port in list(range(start, 9999)) + list(range(1024, start)):
        s = socket.socket()
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
            s.listen(1)
            return s, port
        except OSError:
            s.close()
    fail("no free port from 1024 to 9999")


def main():
    program = sys.argv[1]
    until("the window manager", lambda: prop(root, "_NET_SUPPORTING_WM_CHECK"))
    env = dict(os.environ, QT_QPA_PLATFORM="xcb")
    proc = subprocess.Popen([program], env=env)
    try:
        run(proc)
    finally:
        if proc.poll() is None:
            proc.kill()
    print(f"check-desktop: {checks} passed, 0 failed")


def run(proc):
    area = work_area()
    no_icon = icon_of_a_window_without_one()
    # --- the setup window: frame centred, the program's icon ---------------------
    setup = wait_window("ZAQ CHAT -Setup-")
    until("the setup window's frame extents", lambda: prop(setup, "_NET_FRAME_EXTENTS"))
    until("the setup frame centred on the work area",
          lambda: near(centre(frame(setup)), centre(area), 1))
    check(True, f"setup frame {frame(setup)} centred on the work area {area}")
    icon = prop(setup, "_NET_WM_ICON") or []
    check(icon[:2] == [16, 16] and 256 * 256 + 2 <= len(icon) and [256, 256] in
          [icon[i:i + 2] for i in range(len(icon) - 1) if icon[i] == 256],
          "setup window carries the program's icon, 16 to 256 px")

    # --- message boxes: transient for, and centred over, the window that raised them
    send_client_message(setup, "_NET_MOVERESIZE_WINDOW", [(1 << 8) | (1 << 9) | 1, 40, 60])
    until("the setup window moved aside", lambda: frame(setup)[:2] == (40, 60))
    connect = in_client(setup, 252, 228, 264)  # Command1 at 3000,3120 twips, 1575 x 615
    click(*connect)
    for prompt in ("Fill -> Remote IP", "Fill -> Your Name"):
        box = wait_window("Missed!")
        check(box.get_wm_transient_for() == setup, f'box "{prompt}" is transient for the setup window')
        check(near(centre(frame(box)), centre(frame(setup)), 1),
              f'box "{prompt}" at {frame(box)} centred over the setup window at {frame(setup)}')
        check("_NET_WM_STATE_MODAL" in net_state(box), f'box "{prompt}" is modal')
        close(box)
        until("the box to close", lambda: box.id not in (prop(root, "_NET_CLIENT_LIST") or []))

    # --- help: no task-bar entry, no icon, restored from minimised --------------
    activate(setup)
    menu("c", "h")
    help_window = wait_window("Help Setuping and Chating...")
    states = net_state(help_window)
    check("_NET_WM_STATE_SKIP_TASKBAR" in states, f"help skips the task bar {sorted(states)}")
    check(prop(help_window, "_NET_WM_ICON") == no_icon, "help carries no icon of its own")
    hints = help_window.get_wm_hints()
    check(hints is None or not hints.flags & 4, "help has no icon pixmap")  # IconPixmapHint
    check(near(centre(frame(help_window)), centre(area), 1), "help frame centred on the work area")
    send_client_message(help_window, "WM_CHANGE_STATE", [3])  # iconic
    until("help minimised", lambda: wm_state(help_window) == 3)
    activate(setup)
    menu("c", "h")
    until("help restored", lambda: wm_state(help_window) == 1)
    until("help active", lambda: active() == help_window.id)
    check(True, "Help restores a minimised help window and gives it the focus")
    check("_NET_WM_STATE_SKIP_TASKBAR" in net_state(help_window), "help still skips the task bar")
    close(help_window)

    # --- a conversation with a loopback peer -------------------------------------
    listener, port = free_port()
    activate(setup)
    # From the keyboard: Connect has the focus since it was clicked; Tab goes
    # round to the Server/Client choice, Down selects Client, and Tab walks
    # the fields (a field reached by Tab has its text selected).
    key("Tab")
    key("Down")
    for text in ("127.0.0.1", str(port), "Ann"):
        key("Tab")
        type_text(text)
    key("Tab")
    key("space")
    listener.settimeout(WAIT)
    try:
        peer, _ = listener.accept()
    except socket.timeout:
        fail("the program did not connect to the peer")
    chat = wait_window("ZAQ CHAT Chating as CLIENT")
    until("the chat frame centred", lambda: near(centre(frame(chat)), centre(area), 1))
    check(True, f"chat frame {frame(chat)} centred on the work area")
    # Transcript and message box keep the text-box colours; the window is grey.
    cx, cy, cw, ch = client(chat)
    top = cy + ch - 322
    # (waits until the window has been painted)
    for what, x, y, colour in (("chat window background is grey", cx + 4, top + 200, (192, 192, 192)),
                               ("transcript keeps the white text-box base", cx + 108, top + 228, (255, 255, 255)),
                               ("message box keeps the white text-box base", cx + 208, top + 296, (255, 255, 255))):
        until(f"{what} (now {pixel(x, y)})", lambda: pixel(x, y) == colour)
        check(True, what)

    # --- a line while the chat window is not active sets its urgency hint --------
    until("the chat window active", lambda: active() == chat.id)
    hints = chat.get_wm_hints()
    check(hints is None or not hints.flags & 256, "no urgency hint while the chat window is active")
    menu("o", "a")
    about = wait_window("About Chat and Me...")
    until("about active", lambda: active() == about.id)
    check("_NET_WM_STATE_SKIP_TASKBAR" in net_state(about), "about skips the task bar")
    check(prop(about, "_NET_WM_ICON") == no_icon, "about carries no icon of its own")
    peer.sendall(b"\r\nBob: are you there?")
    until("the urgency hint", lambda: chat.get_wm_hints().flags & 256)
    check(True, "a line arriving while the chat window is inactive sets its urgency hint")
    until("the demands-attention state", lambda: "_NET_WM_STATE_DEMANDS_ATTENTION" in net_state(chat))
    check(True, "and its demands-attention state")
    close(about)
    until("the chat window active", lambda: active() == chat.id)
    until("the urgency hint cleared on activation", lambda: not chat.get_wm_hints().flags & 256)
    until("the demands-attention state cleared",
          lambda: "_NET_WM_STATE_DEMANDS_ATTENTION" not in net_state(chat))
    check(True, "the urgency hint and the demands-attention state go when the chat window is active")

    # --- Exit ends the program with status 0 -------------------------------------
    menu("c", "e")
    try:
        status = proc.wait(WAIT)
    except subprocess.TimeoutExpired:
        fail("Exit did not end the program")
    check(status == 0, f"Exit ends the program with status {status}")
    peer.settimeout(WAIT)
    check(peer.recv(16) == b"", "the peer sees the connection closed")


if __name__ == "__main__":
    main()
