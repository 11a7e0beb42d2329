#!/usr/bin/python3
"""Exit and closing the chat window, seen from outside the running program.

Starts the real program on a private Xvfb with openbox and its own session
and accessibility buses (tests/atspi), drives it over AT-SPI and the window
manager, and plays the peer
with real outside clients: ncat that reads late, a plain socket that never
reads, and telnet. Checks, as a user's task list would see it:
  - Exit while text is on its way to a peer that reads late: the window goes
    at once, the process stays without windows, every byte arrives with a
    clean end (no reset), and the process ends with status 0 within the
    farewell's bound;
  - closing the chat window of a server does the same, and a second copy
    started meanwhile listens on the same port at once;
  - a peer that never reads: the "Not Delivered!" box says how much, and
    the process ends when it is closed;
  - telnet's Enter (CR NUL in character mode) is a line end, not a NUL sign.
Every wait is bounded, and a watchdog ends the whole run.

usage: check_exit.py path/to/ZAQCHAT
"""

import os
import pty
import select
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "atspi"))
from atspi_client import Client, free_low_port_listener  # noqa: E402
from session import fail, need, run_check  # noqa: E402

WATCHDOG = 170  # seconds for the whole run
FAREWELL_S = 10  # how long the program may take to deliver after Exit
MESSAGE = "x" * 60000
LINES = 30  # 1.8 MB: more than the buffers of a peer that does not read take


def free_port():
    probe = free_low_port_listener()
    port = probe.getsockname()[1]
    probe.close()
    return port


def alive(pid):
    """Whether the process exists, as kill -0 and ps see it."""
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    return subprocess.run(["ps", "-p", str(pid)], stdout=subprocess.DEVNULL).returncode == 0


class Check(Client):

    def __init__(self, program):
        self.program = program
        self.extra = []
        super().__init__(program)
        self.first_process = self.app_process
        # A window manager, which closes a window as a user's click on Close does.
        self.session._start_window_manager()

    # -- driving the program -----------------------------------------------

    def other_copy(self):
        """A second copy of the program in the same session; returns the old one."""
        previous = self.app_process
        self.app_process = self.session.start([self.program], env={"QT_QPA_PLATFORM": "xcb"})
        return previous

    def connect(self, client, port, name="Ann"):
        Role = self.Atspi.Role
        setup = self.wait_for("setup window", lambda: self.window(Role.FRAME, "ZAQ CHAT -Setup-"))
        for label, text in (("Remote Computer IP:", "127.0.0.1"), ("Port Number:", str(port)), ("Your Name:", name)):
            self.find(setup, Role.TEXT, label).set_text_contents(text)
        option = self.find(setup, Role.RADIO_BUTTON, "Client" if client else "Server")
        self.press(option)
        self.wait_for("the side chosen", lambda: option.get_state_set().contains(self.Atspi.StateType.CHECKED))
        self.press(self.find(setup, Role.PUSH_BUTTON, "Connect"))
        side = "CLIENT" if client else "SERVER"
        return self.wait_for("chat window", lambda: self.window(Role.FRAME, "ZAQ CHAT Chating as " + side))

    def status(self, chat):
        Role = self.Atspi.Role
        labels = [self.find(chat, Role.LABEL, text) for text in ("Connected", "Listening...", "Disconnected")]
        return next((label.get_name() for label in labels if label is not None), None)

    def send_lines(self, chat):
        """Sends LINES messages; returns the bytes they put on the wire."""
        Role = self.Atspi.Role
        box = self.find(chat, Role.TEXT, "Your Message:")
        send = self.find(chat, Role.PUSH_BUTTON, "Send")
        for _ in range(LINES):
            box.set_text_contents(MESSAGE)
            self.wait_for("the message in the box", lambda: self.Atspi.Text.get_character_count(box) == len(MESSAGE))
            self.press(send)
            self.wait_for("the box emptied by Send", lambda: self.Atspi.Text.get_character_count(box) == 0)
        # Answered once the program has drawn and told the bus about every
        # line, so what follows meets a program that is not busy.
        self.round_trip(self.find(chat, Role.TEXT, "Chat Room"))
        return ("\r\nAnn: " + MESSAGE).encode() * LINES

    def exit(self, chat):
        self.press(self.find(chat, self.Atspi.Role.MENU_ITEM, "Exit"))

    def _managed_windows(self, screen):
        """This process's windows on the window manager's list, as (window, title).
        Only this process's windows count: a copy that has just ended may still
        be on the list under the same title."""
        from Xlib import X
        root = screen.screen().root
        pid_atom = screen.intern_atom("_NET_WM_PID")
        clients = root.get_full_property(screen.intern_atom("_NET_CLIENT_LIST"), X.AnyPropertyType)
        found = []
        for window_id in clients.value if clients else []:
            window = screen.create_resource_object("window", window_id)
            try:
                pid = window.get_full_property(pid_atom, X.AnyPropertyType)
                if not pid or pid.value[0] != self.app_process.pid:
                    continue
                if window.get_attributes().map_state != X.IsViewable:
                    continue
                found.append((window, window.get_wm_name()))
            except Exception:
                continue  # gone meanwhile
        return found

    def close_window(self, title):
        """Asks the window manager to close a window, as a task bar's Close does."""
        from Xlib import X, display, protocol
        screen = display.Display(self.session.env["DISPLAY"])
        root = screen.screen().root
        closed = 0
        for window, name in self._managed_windows(screen):
            if name != title:
                continue
            event = protocol.event.ClientMessage(window=window, client_type=screen.intern_atom("_NET_CLOSE_WINDOW"),
                                                 data=(32, [X.CurrentTime, 2, 0, 0, 0]))
            root.send_event(event, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
            closed += 1
        screen.flush()
        screen.close()
        if closed != 1:
            fail(f"the window manager knows {closed} windows {title!r} of process {self.app_process.pid}")

    def windowless(self):
        """Whether the program shows no window any more, as the X server sees
        it: the screen reader's view of a window's state can lag behind."""
        from Xlib import display
        screen = display.Display(self.session.env["DISPLAY"])
        try:
            return not self._managed_windows(screen)
        finally:
            screen.close()

    def ends_cleanly(self, process, within, what):
        started = time.monotonic()
        try:
            code = process.wait(timeout=within)
        except subprocess.TimeoutExpired:
            fail(f"{what}: the process still runs {within} s later")
        if code != 0:
            told = ""
            if process is self.first_process:  # the copy whose stderr is kept
                told = "\n".join(self.session.warnings()[-40:])
            fail(f"{what}: the process ended with status {code}; its stderr:\n{told}")
        if alive(process.pid):
            fail(f"{what}: process {process.pid} is still in the task list")
        return time.monotonic() - started

    def stays_windowless(self, process, what):
        self.wait_for(f"{what}: every window gone", self.windowless, timeout=3)
        if process.poll() is not None:
            fail(f"{what}: the process ended while text was still on its way")

    # -- the checks ---------------------------------------------------------

    def late_reader_gets_everything(self):
        """Exit with text on its way to ncat, which starts reading 3 s later.
        (ncat ends a connection when its standard input ends: it is kept open.)"""
        port = free_port()
        peer = self.session.start([need("ncat"), "-l", "--recv-only", "127.0.0.1", str(port)],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(0.3)  # ncat is listening once it has started; it prints nothing to say so
        chat = self.connect(True, port)
        self.wait_for("\"Connected\"", lambda: self.status(chat) == "Connected")
        wire = self.send_lines(chat)
        process = self.app_process
        self.exit(chat)
        exited = time.monotonic()
        self.stays_windowless(process, "Exit")
        time.sleep(3)
        if process.poll() is not None:
            fail("Exit: the process ended before the peer had read what was sent")
        got = peer.stdout.read()  # until ncat sees the program's FIN
        errors = peer.stderr.read().decode(errors="replace")
        if peer.wait(timeout=5) != 0 or "reset" in errors.lower():
            fail(f"Exit: ncat ended with status {peer.returncode}: {errors.strip()}")
        if got != wire:
            fail(f"Exit: the peer got {len(got)} of {len(wire)} bytes")
        took = self.ends_cleanly(process, FAREWELL_S, "Exit") + (time.monotonic() - exited)
        print(f"Exit: all {len(wire)} bytes delivered to a reader 3 s late; ended {took:.1f} s after Exit")

    def window_close_frees_the_port(self):
        """A server's chat window closed while its peer has not read yet."""
        port = free_port()
        self.other_copy()
        process = self.app_process
        chat = self.connect(False, port)
        self.wait_for("\"Listening...\"", lambda: self.status(chat) == "Listening...")
        peer = socket.create_connection(("127.0.0.1", port))
        self.wait_for("\"Connected\"", lambda: self.status(chat) == "Connected")
        wire = self.send_lines(chat)
        self.close_window("ZAQ CHAT Chating as SERVER")
        self.stays_windowless(process, "closing the window")
        # A second copy listens on the same port at once.
        self.other_copy()
        second = self.connect(False, port, "Bob")
        self.wait_for("the second copy \"Listening...\"", lambda: self.status(second) == "Listening...", timeout=5)
        if self.window(self.Atspi.Role.ALERT, "") is not None:
            fail("the second copy showed a box instead of listening")
        got = bytearray()
        reset = False
        peer.settimeout(FAREWELL_S)
        while True:
            try:
                chunk = peer.recv(65536)
            except ConnectionResetError:
                reset = True
                break
            if not chunk:
                break
            got += chunk
        peer.close()
        if reset or bytes(got) != wire:
            fail(f"closing the window: the peer got {len(got)} of {len(wire)} bytes" + (", then a reset" if reset else ""))
        self.ends_cleanly(process, FAREWELL_S, "closing the window")
        # The second copy's Exit while only listening ends it at once.
        self.exit(second)
        took = self.ends_cleanly(self.app_process, 3, "Exit while listening")
        print(f"closing the window: all {len(wire)} bytes delivered, port {port} free at once; "
              f"a listening copy ended {took:.2f} s after Exit")

    def reader_that_never_reads_gets_the_box(self):
        Role = self.Atspi.Role
        listener = free_low_port_listener()
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 32 * 1024)
        self.other_copy()
        process = self.app_process
        chat = self.connect(True, listener.getsockname()[1])
        peer, _ = listener.accept()
        self.wait_for("\"Connected\"", lambda: self.status(chat) == "Connected")
        self.send_lines(chat)
        self.exit(chat)
        exited = time.monotonic()
        self.stays_windowless(process, "Exit to a peer that never reads")
        box = self.wait_for("the box \"Not Delivered!\"", lambda: self.window(Role.ALERT, "Not Delivered!"),
                            timeout=FAREWELL_S + 5)
        shown = time.monotonic() - exited
        text = " ".join(self.find_all_names(box, Role.LABEL))
        if "characters of your last" not in text or "may not have arrived." not in text:
            fail(f"the box says {text!r}")
        time.sleep(1)
        if process.poll() is not None:
            fail("the process ended while its box was open")
        self.press(self.find(box, Role.PUSH_BUTTON, "OK"))
        self.ends_cleanly(process, 3, "closing the box")
        peer.close()
        listener.close()
        print(f"a peer that never reads: box after {shown:.1f} s: {text!r}; the process ended when it was closed")

    def find_all_names(self, root, role):
        names, queue = [], [root]
        while queue:
            node = queue.pop(0)
            try:
                if node.get_role() == role and node.get_name():
                    names.append(node.get_name())
                queue.extend(node.get_child_at_index(i) for i in range(node.get_child_count()))
            except Exception:
                continue
        return names

    def telnet_enter_is_a_line_end(self):
        Role = self.Atspi.Role
        port = free_port()
        self.other_copy()
        chat = self.connect(False, port)
        self.wait_for("\"Listening...\"", lambda: self.status(chat) == "Listening...")
        child, terminal = pty.fork()
        if child == 0:
            os.execv(need("telnet"), ["telnet", "127.0.0.1", str(port)])
        self.extra.append(child)

        def type_in(keys, settle=0.5):
            os.write(terminal, keys)
            deadline = time.monotonic() + settle
            while time.monotonic() < deadline:
                if select.select([terminal], [], [], 0.05)[0]:
                    os.read(terminal, 4096)

        self.wait_for("\"Connected\"", lambda: self.status(chat) == "Connected")
        # Character mode, where telnet sends a bare Enter as CR NUL.
        type_in(b"\x1d")
        type_in(b"mode character\r")
        type_in(b"hi\rthere\r")
        transcript = self.find(chat, Role.TEXT, "Chat Room")
        # The Text interface by name: on pygobject 3.50 the object's own
        # get_text is another method.
        text = self.Atspi.Text
        self.wait_for("telnet's lines", lambda: "there" in text.get_text(transcript, 0, -1))
        time.sleep(0.3)
        shown = text.get_text(transcript, 0, -1)
        if "\u2400" in shown:
            fail(f"telnet's Enter shows as a NUL sign: {shown!r}")
        # telnet's option bytes first (invalid UTF-8 and controls), then what was typed.
        lines = [line for line in shown.split("\n") if line]
        if lines[-2:] != ["hi", "there"]:
            fail(f"telnet's lines show as {shown!r}")
        self.exit(chat)
        self.ends_cleanly(self.app_process, 3, "Exit after telnet")
        print(f"telnet: Enter read as a line end; the transcript shows {shown!r}")

    def run(self):
        self.late_reader_gets_everything()
        self.window_close_frees_the_port()
        self.reader_that_never_reads_gets_the_box()
        self.telnet_enter_is_a_line_end()
        print("PASS")

    def close(self):
        for child in self.extra:
            try:
                os.kill(child, 9)
                os.waitpid(child, 0)
            except (ProcessLookupError, ChildProcessError):
                pass
        self.session.close()


if __name__ == "__main__":
    sys.exit(run_check(Check, WATCHDOG, __doc__))
