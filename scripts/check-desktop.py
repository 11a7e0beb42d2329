#!/usr/bin/python3
"""Drives the real program on a real X server with a real window manager and
checks what the desktop sees: window properties, frames and pixels read from
the X server, input sent through XTEST. Run by scripts/check-desktop.sh, which
starts the X server and the window manager.

Usage: check-desktop.py PROGRAM [WINDOW-MANAGER]   (openbox, kwin or mutter)
Every wait is bounded; the first failure ends the run with a message.
"""
import os
import socket
import subprocess
import sys
import time

from Xlib import X

from xdesktop import (WAIT, activate, active, caption_whole, centre, check, checks, click, client, close, d, fail, frame,
                      in_client, key, menu, near, net_state, pixel, prop, root, send_client_message, shot,
                      type_text, until, wait_window, wm_state, work_area)

WM = sys.argv[2] if len(sys.argv) > 2 else "openbox"
# openbox frames in whole pixels; kwin's and mutter's title bars may be odd
# in height, which leaves a centred frame half a pixel off.
NEAR = 1 if WM == "openbox" else 2
DEBIAN = next((line.split("=", 1)[1].strip().strip('"') for line in open("/etc/os-release")
               if line.startswith("VERSION_ID=")), "")

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
    print(f"check-desktop: {checks[0]} passed, 0 failed")


def run(proc):
    area = work_area()
    no_icon = icon_of_a_window_without_one()
    # --- the setup window: frame centred, the program's icon ---------------------
    setup = wait_window("ZAQ CHAT -Setup-")
    until("the setup window's frame extents", lambda: prop(setup, "_NET_FRAME_EXTENTS"))
    until("the setup frame centred on the work area",
          lambda: near(centre(frame(setup)), centre(area), NEAR))
    check(True, f"setup frame {frame(setup)} centred on the work area {area}")
    check(*caption_whole(setup))
    icon = prop(setup, "_NET_WM_ICON") or []
    check(icon[:2] == [16, 16] and 256 * 256 + 2 <= len(icon) and [256, 256] in
          [icon[i:i + 2] for i in range(len(icon) - 1) if icon[i] == 256],
          "setup window carries the program's icon, 16 to 256 px")

    # --- message boxes: transient for, and centred over, the window that raised them
    send_client_message(setup, "_NET_MOVERESIZE_WINDOW", [(1 << 8) | (1 << 9) | 1, 40, 60])
    until("the setup window moved aside", lambda: frame(setup)[:2] == (40, 60))
    connect = in_client(setup, 252, 228, 264)  # Command1 at 3000,3120 twips, 1575 x 615
    # The caption's probe window took the focus: mutter keeps the first click
    # on a window without it for itself at times.
    activate(setup)
    click(*connect)
    for prompt in ("Fill -> Remote IP", "Fill -> Your Name"):
        box = wait_window("Missed!")
        check(box.get_wm_transient_for() == setup, f'box "{prompt}" is transient for the setup window')
        # A window manager that frames a box only after it is shown (mutter 48)
        # sees it placed by a guess first and moved once framed: the frame it
        # settles in is what the user sees.
        placed = time.monotonic() + 3
        while not near(centre(frame(box)), centre(frame(setup)), NEAR) and time.monotonic() < placed:
            time.sleep(0.05)
        box_frame = frame(box)
        check(near(centre(box_frame), centre(frame(setup)), NEAR),
              f'box "{prompt}" at {box_frame} centred over the setup window at {frame(setup)}')
        check("_NET_WM_STATE_MODAL" in net_state(box), f'box "{prompt}" is modal')
        shot(f"{WM}-box")
        check(*caption_whole(box))
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
    check(near(centre(frame(help_window)), centre(area), NEAR), "help frame centred on the work area")
    shot(f"{WM}-help")
    whole, said = caption_whole(help_window)
    if not whole and WM == "mutter" and DEBIAN == "13":
        # mutter 48's title bars draw a minimise button on the help window
        # although the window offers none (no minimise in its Motif hints or
        # in _NET_WM_ALLOWED_ACTIONS, with or without a transient parent), and
        # the centred caption loses that button's room on both sides.
        print(f"  NOT CHECKED on Debian 13: help caption whole on mutter (mutter 48 draws a minimise button "
              f"the help window does not offer; {said})", flush=True)
    else:
        check(whole, said)
    if WM in ("kwin", "mutter"):
        # kwin and mutter keep a window without a minimise box from being minimised.
        print(f"  --  help not minimised: {WM} minimises no window without a minimise box")
    else:
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
    until("the chat frame centred", lambda: near(centre(frame(chat)), centre(area), NEAR))
    check(True, f"chat frame {frame(chat)} centred on the work area")
    check(*caption_whole(chat))
    # Transcript and message box keep the text-box colours; the window is grey.
    cx, cy, cw, ch = client(chat)
    top = cy + ch - 322
    # (waits until the window has been painted)
    for what, x, y, colour in (("chat window background is grey", cx + 4, top + 200, (192, 192, 192)),
                               ("transcript keeps the white text-box base", cx + 108, top + 228, (255, 255, 255)),
                               ("message box keeps the white text-box base", cx + 208, top + 296, (255, 255, 255))):
        until(f"{what} (now {pixel(x, y)})", lambda: pixel(x, y) == colour)
        check(True, what)
    shot(f"{WM}-chat")

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
