"""Reading and driving an X11 desktop from outside, for check-desktop.py:
window properties, frames and pixels from the X server, input through XTEST,
and waits that end in a loud failure, never a hang."""
import os
import subprocess
import sys
import time

from Xlib import X, XK, Xatom, display, protocol
from Xlib.ext import xtest

WAIT = 10.0  # seconds any one thing may take
checks = [0]


def fail(message):
    print(f"check-desktop: FAIL: {message}", file=sys.stderr)
    if os.environ.get("ZAQ_DESKTOP_FAILSHOT"):  # a picture of the screen at the failure
        subprocess.run(["import", "-window", "root", os.environ["ZAQ_DESKTOP_FAILSHOT"]], check=False)
    sys.exit(1)


def shot(name):
    """A picture of the screen into $ZAQ_DESKTOP_SHOTS/name.png, when asked for."""
    folder = os.environ.get("ZAQ_DESKTOP_SHOTS")
    if folder:
        subprocess.run(["import", "-window", "root", os.path.join(folder, name + ".png")], check=True)


def check(condition, message):
    if not condition:
        fail(message)
    checks[0] += 1
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
    """The work area the window manager gives, else (kwin without panels sets
    none) the whole screen."""
    area = prop(root, "_NET_WORKAREA")
    if area:
        return tuple(area[:4])
    g = root.get_geometry()
    return (0, 0, g.width, g.height)


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
            if a.override_redirect and a.map_state == X.IsViewable and w.get_wm_class():
                found.append(w.id)
        except Exception:  # the window went away meanwhile
            continue
    return found


def menu(letter, item):
    """Opens a menu of the active window with Alt+letter and picks an item by its letter."""
    before = set(popups())  # the window manager's own (mutter has one)
    key(letter, "Alt_L")
    until(f"the menu of Alt+{letter.upper()}", lambda: set(popups()) - before)
    key(item)
    until("the menu to close", lambda: not set(popups()) - before)


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


def caption_ink(window):
    """The caption drawn in a window's title bar as (width, ink): the widest
    run of columns with ink (pixels far from the bar's own colour), runs
    closer than 8 px joined (the buttons are narrower runs apart from it),
    and the ink in it (how many pixels are at least half as far from the
    bar's colour as the farthest), which tells "Missed!" from an elided
    "Mi...d!" of about the same width."""
    x, y, w, _ = frame(window)
    top = (prop(window, "_NET_FRAME_EXTENTS") or (0, 0, 0, 0))[2]
    if top < 8:
        return 0, 0
    screen = root.get_geometry()
    if x < 0 or y < 0 or x + w > screen.width or y + top > screen.height:
        return 0, 0  # not (yet) wholly on the screen: measured again
    try:
        band = root.get_image(x, y + 4, w, top - 8, X.ZPixmap, 0xFFFFFFFF).data
    except Exception:  # the window moved meanwhile
        return 0, 0
    rows = top - 8
    grey = [[sum(band[(r * w + c) * 4:(r * w + c) * 4 + 3]) // 3 for c in range(w)] for r in range(rows)]
    counts = {}
    for row in grey:
        for v in row:
            counts[v] = counts.get(v, 0) + 1
    back = max(counts, key=counts.get)
    inked = [any(abs(grey[r][c] - back) > 50 for r in range(rows)) for c in range(w)]
    runs, start, last = [], None, None
    for c, ink in enumerate(inked + [False] * 9):
        if ink:
            start = c if start is None or c - last > 8 else start
            last = c
        elif start is not None and c - last > 8:
            runs.append((start, last))
            start = None
    if not runs:
        return 0, 0
    first, end = max(runs, key=lambda run: run[1] - run[0])
    # Pixels at least half as far from the bar's colour as the farthest: an
    # inactive caption's lighter ink counts as much.
    dist = [abs(grey[r][c] - back) for r in range(rows) for c in range(first, end + 1)]
    return end - first + 1, sum(2 * v >= max(dist) for v in dist)


def settled(what, measure):
    """A measure that is not empty and the same twice, 0.15 s apart (a title
    bar is drawn in steps)."""
    last = [None]

    def probe():
        now = measure()
        same = now[0] and now == last[0]
        last[0] = now
        if not same:
            time.sleep(0.15)
        return same and now
    return until(what, probe)


def caption_whole(window, like=None):
    """Whether a window's caption is drawn whole: as wide as the same caption
    on a wide window of our own of the same type, transient for the same window.
    Measures the window first, while the focus is where the check left it."""
    drawn = settled(f"the caption {title(window)!r} drawn", lambda: caption_ink(window))  # while focused
    # At the foot of the screen, clear of the program's windows (a modal box
    # stays above it), where the window manager is told to put it.
    at = root.get_geometry().height - 90
    probe = root.create_window(0, at, 900, 40, 0, X.CopyFromParent, background_pixel=d.screen().white_pixel)
    probe.set_wm_normal_hints(flags=1 | 4, x=0, y=at)  # USPosition, PPosition
    # A blank Braille pattern after it (printable, no ink): the same ink,
    # but not the same caption, which kwin would number (" <2>").
    caption = title(window) + "\u2800"
    probe.change_property(atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, caption.encode())
    kind = prop(window, "_NET_WM_WINDOW_TYPE")
    if kind:
        probe.change_property(atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32, kind)
    parent = window.get_wm_transient_for()
    if parent:
        probe.set_wm_transient_for(parent)
    probe.map()
    d.sync()
    try:
        until("our probe window framed", lambda: prop(probe, "_NET_FRAME_EXTENTS"))
        whole = settled("our probe window's caption drawn", lambda: caption_ink(probe))

    finally:
        probe.destroy()
        d.sync()
    same = abs(whole[0] - drawn[0]) <= 1 and abs(whole[1] - drawn[1]) <= 0.08 * whole[1]
    return same, (f"caption {title(window)!r} drawn {drawn[0]} px wide, ink {drawn[1]}; "
                  f"whole {whole[0]} px, ink {whole[1]}")
