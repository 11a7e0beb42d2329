#!/usr/bin/python3
"""The chat program as a screen reader meets it, over the real AT-SPI bus.

Starts the program on a private Xvfb with its own session and accessibility
buses, listens to it as a screen reader does (gi's Atspi), drives it through
the bus and the keyboard, and plays the peer over loopback. Checks what is
announced (as notifications while no one listens for announcements, as the
Announcement signal once someone does, never both; bounded under a flood),
that one object alone is reported focused (the input box, never the
transcript or its viewport, through wheel, reading keys and clicks), that
the help and about pages are exposed as text in print order, the window and
message-box roles, and the transcript's text. Fails at the first wrong answer; every wait is
bounded, and a watchdog ends the whole run.

usage: check_atspi.py path/to/ZAQCHAT
"""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_client import Client, free_low_port_listener  # noqa: E402
from session import fail, run_check  # noqa: E402

WATCHDOG = 150  # seconds for the whole run

HELP_PAGE = [
    "",
    "Your IP Address you may find:",
    "~" * 19,
    "In WINDOWS 95/98      run command WINIPCFG.EXE",
    "In WINDOWS NT/2000 run command IPCONFIG.EXE",
    "",
    "-" * 15 + "IN SETUP" + "-" * 25,
    "1. Enter Remote Computer IP Address",
    "2. Enter Port Number.   Default Port - 1001",
    "3. Enter Your Name",
    "",
    "-" * 16 + "IN CHAT" + "-" * 25,
    "1. Wait until your will take message 'CONNECTED'",
    "2. Type your message below 'YOUR MESSAGE'",
    "3. Press SEND button to send your message.",
]
# The about block: the fixed lines by position (1-based); the maker's lines
# are the program's own choice, but not empty.
ABOUT_FIXED = {1: "", 4: "", 5: "This is CLIENT/SERVER CHAT", 6: "Using Windows Socket Control.",
               7: "", 8: "", 9: "", 10: "", 11: "", 13: ""}
MAX_CHARS = 200  # an announcement's arrived text is cut after this many characters


class Check(Client):
    def printed_lines(self, dialog):
        page = dialog.get_child_at_index(0)  # the client area, printed lines first
        lines = []
        for i in range(page.get_child_count()):
            child = page.get_child_at_index(i)
            if child.get_role() != self.Atspi.Role.LABEL:
                break
            lines.append(child.get_name())
        return lines

    def find_all(self, root, predicate):
        """Every object under `root`, itself included, that `predicate` holds for."""
        found, queue = [], [root]
        while queue:
            node = queue.pop(0)
            if predicate(node):
                found.append(node)
            queue.extend(node.get_child_at_index(i) for i in range(node.get_child_count()))
        return found

    def focused_objects(self, root):
        """(role, name) of every object under `root` in the focused state."""
        return [(node.get_role_name(), node.get_name()) for node in
                self.find_all(root, lambda node: node.get_state_set().contains(self.Atspi.StateType.FOCUSED))]

    def one_focus(self, window, when, name="Your Message:"):
        focused = self.focused_objects(window)
        if [n for _, n in focused] != [name]:
            fail(f"{when}: objects in the focused state {focused}, expected the one named {name!r}")

    def read_transcript(self, chat, transcript):
        """Wheel, reading keys and a click in a transcript longer than its
        view: each is seen to act, and the input box alone stays focused."""
        Atspi = self.Atspi
        bar = self.find_all(transcript, lambda node: node.get_role() == Atspi.Role.SCROLL_BAR and  # the shown one
                            node.get_state_set().contains(Atspi.StateType.SHOWING))[0]
        box = self.find(chat, Atspi.Role.TEXT, "Your Message:")
        where = Atspi.Component.get_extents(transcript, Atspi.CoordType.SCREEN)
        x, y = where.x + where.width // 2, where.y + where.height // 2
        for what, act, moved in (
                ("the wheel up", lambda: Atspi.generate_mouse_event(x, y, "b4c"), lambda v, w: w < v),
                ("PageUp", lambda: self.key(0xFF55), lambda v, w: w < v),
                ("PageDown", lambda: self.key(0xFF56), lambda v, w: w > v)):
            before = Atspi.Value.get_current_value(bar)
            act()
            self.wait_for(f"the transcript to scroll on {what}", lambda: moved(before, Atspi.Value.get_current_value(bar)))
            self.one_focus(chat, f"after {what} in the transcript")
        # A click in the transcript: a key typed after it lands in the input box.
        Atspi.generate_mouse_event(x, y, "b1c")
        self.key(ord("q"))
        self.wait_for("the key after the click in the input box", lambda: Atspi.Text.get_text(box, 0, -1) == "q")
        self.one_focus(chat, "after a click in the transcript")
        self.key(0xFF08)  # BackSpace
        self.wait_for("the input box emptied", lambda: Atspi.Text.get_text(box, 0, -1) == "")

    # -- the checks ---------------------------------------------------------

    def run(self):
        Role = self.Atspi.Role
        setup = self.wait_for("setup window (role frame)", lambda: self.window(Role.FRAME, "ZAQ CHAT -Setup-"))

        # A field check's message box is an alert.
        self.press(self.find(setup, Role.PUSH_BUTTON, "Connect"))
        # Each empty field has its box; OK closes one after the other.
        for missed in ("Fill -> Remote IP", "Fill -> Your Name"):  # the port is filled in
            alert = self.wait_for(f"message box \"{missed}\"",
                                  lambda: (lambda box: box if box and self.find(box, Role.LABEL, missed) else None)(
                                      self.window(Role.ALERT, "Missed!")))
            self.press(self.find(alert, Role.PUSH_BUTTON, "OK"))
        self.wait_for("the last message box to close", lambda: self.window(Role.ALERT, "Missed!") is None)

        # The help page, line by line in print order, in a dialog.
        self.press(self.find(setup, Role.MENU_ITEM, "Help"))
        help_window = self.wait_for("help window (role dialog)",
                                    lambda: self.window(Role.DIALOG, "Help Setuping and Chating..."))
        self.one_focus(help_window, "in the help window", "OK")
        lines = self.printed_lines(help_window)
        if lines != HELP_PAGE:
            fail(f"help page exposed as {lines!r}, expected {HELP_PAGE!r}")
        self.press(self.find(help_window, Role.PUSH_BUTTON, "OK"))

        # Connect as a client to a peer of our own.
        listener = free_low_port_listener()
        listener.setblocking(False)
        fields = [("Remote Computer IP:", "127.0.0.1"), ("Port Number:", str(listener.getsockname()[1])),
                  ("Your Name:", "Ann")]
        for name, text in fields:
            self.find(setup, Role.TEXT, name).set_text_contents(text)
        client = self.find(setup, Role.RADIO_BUTTON, "Client")
        self.press(client)
        self.wait_for("Client selected", lambda: client.get_state_set().contains(self.Atspi.StateType.CHECKED))
        self.press(self.find(setup, Role.PUSH_BUTTON, "Connect"))

        def accept():
            try:
                return listener.accept()[0]
            except BlockingIOError:
                return None

        self.peer = self.wait_for("the program's connection", accept)
        chat = self.wait_for("chat window (role frame)", lambda: self.window(Role.FRAME, "ZAQ CHAT Chating as CLIENT"))
        transcript = self.find(chat, Role.TEXT, "Chat Room")

        # No one listens for announcements yet: each status is a notification;
        # "Connecting..." waits for the window to come up, and "Connected" may
        # join it.
        self.wait_for("notification \"Connected\"", lambda: self.ear.notifications()
                      and self.ear.notifications()[-1].endswith("Connected"))
        if "\n".join(self.ear.notifications()) != "Connecting...\nConnected":
            fail(f"notifications {self.ear.notifications()}, expected Connecting..., Connected")
        self.wait_for("focus in the message box", lambda: "Your Message:" in self.ear.focused())
        # A screen reader that asks which object is focused finds the input box alone.
        self.one_focus(chat, "after Connect")
        self.peer.sendall(b"\r\nBob: hello there")
        self.wait_for("notification of the arrival", lambda: "Bob: hello there" in self.ear.notifications())

        # Tab and Shift+Tab pass the transcript and reach Send.
        for keysym in (0xFF09, 0xFF09, 0xFE20, 0xFE20):  # Tab, Tab, ISO_Left_Tab (Shift+Tab) twice
            before = len(self.ear.focused())
            self.key(keysym)
            self.wait_for("focus to move", lambda: len(self.ear.focused()) > before)
        moves = self.ear.focused()[-4:]
        if moves != ["Send", "Your Message:", "Send", "Your Message:"]:
            fail(f"Tab, Tab, Shift+Tab, Shift+Tab focused {moves}")

        # The transcript's text breaks lines with "\n".
        text = transcript.get_text(0, transcript.get_character_count())
        if text != "Welcome To Chat!\n\n\nBob: hello there":
            fail(f"transcript text {text!r}")

        # A long message is still a text box, never a password field; its
        # name says how long it is; Send sends all of it and empties the box.
        box = self.find(chat, Role.TEXT, "Your Message:")
        box.set_text_contents("x" * 100000)
        self.wait_for("the message box's name to give its length", lambda: re.fullmatch(
            r"Your Message: 100.?000 characters to send", box.get_name() or ""))
        if box.get_role() != Role.TEXT or box.get_character_count() != 0:
            fail(f"a long message box is a {box.get_role_name()} of {box.get_character_count()} characters")
        self.press(self.find(chat, Role.PUSH_BUTTON, "Send"))
        wire = b"\r\nAnn: " + b"x" * 100000
        got = b""
        self.peer.settimeout(0)

        def arrived():
            nonlocal got
            try:
                got += self.peer.recv(1 << 20)
            except BlockingIOError:
                pass
            return len(got) >= len(wire)
        self.wait_for("the long message at the peer", arrived)
        if got != wire:
            fail(f"the peer got {len(got)} bytes, not the {len(wire)} of the long message")
        self.wait_for("the message box's own name again", lambda: box.get_name() == "Your Message:")

        # Someone listens for announcements: from now on every message is an
        # announcement, and no notification says it again.
        self.ear.listen_for_announcements()
        self.round_trip(transcript)
        mark = len(self.ear.heard)
        self.peer.sendall(b"\r\nBob: second line")
        self.wait_for("announcement of the arrival", lambda: "Bob: second line" in self.ear.announcements(mark))

        # A flood is announced a few times, cut and summed up.
        flood = [f"Bob: flood line {i:03}" for i in range(300)]
        self.peer.sendall("".join("\r\n" + line for line in flood).encode())
        flood_mark = len(self.ear.heard)

        def accounted():
            spoken = more = 0
            for message in self.ear.announcements(flood_mark):
                for line in message.split("\n"):
                    if line.startswith("Bob: flood line"):
                        spoken += 1
                    elif line.endswith((" more lines", " more line")):
                        more += int(line.split()[0])
            return spoken + more

        self.wait_for("all 300 flood lines spoken or counted", lambda: accounted() >= len(flood))
        if accounted() != len(flood):
            fail(f"the flood's 300 lines were announced as {accounted()}: {self.ear.announcements(flood_mark)!r}")
        messages = self.ear.announcements(flood_mark)
        if len(messages) > 3:
            fail(f"a flood of 300 lines made {len(messages)} announcements")
        for message in messages:
            said = "\n".join(line for line in message.split("\n") if not line.endswith((" more lines", " more line")))
            if len(said) > MAX_CHARS or said.endswith("\u2026"):
                fail(f"an announcement of {len(said)} characters: {message!r}")
        if not messages[0].startswith("Bob: flood line 000\nBob: flood line 001"):
            fail(f"the flood's first announcement is {messages[0]!r}")

        long_mark = len(self.ear.heard)
        long_line = "Bob: " + "x" * 1000
        self.peer.sendall(("\r\n" + long_line).encode())
        expected = long_line[:MAX_CHARS] + "\u2026"
        self.wait_for("announcement of the long line", lambda: self.ear.announcements(long_mark))
        if self.ear.announcements(long_mark) != [expected]:
            fail(f"long line announced as {self.ear.announcements(long_mark)!r}")

        self.read_transcript(chat, transcript)

        self.peer.close()
        self.peer = None
        self.wait_for("announcement \"Disconnected\"", lambda: "Disconnected" in self.ear.announcements(mark))
        self.round_trip(transcript)
        if self.ear.notifications(mark):
            fail(f"said twice: notifications {self.ear.notifications(mark)} while announcements are heard")

        # The about block: 16 lines in print order, in a dialog.
        self.press(self.find(chat, Role.MENU_ITEM, "About"))
        about = self.wait_for("about window (role dialog)", lambda: self.window(Role.DIALOG, "About Chat and Me..."))
        lines = self.printed_lines(about)
        wrong = [n for n in range(1, 17) if n > len(lines)
                 or lines[n - 1] != ABOUT_FIXED.get(n, lines[n - 1]) or (n not in ABOUT_FIXED and not lines[n - 1])]
        if len(lines) != 16 or wrong:
            fail(f"about block exposed as {lines!r}")

        # Exit ends the program cleanly, with every object a screen reader
        # asked for still alive.
        self.press(self.find(chat, Role.MENU_ITEM, "Exit"))
        self.wait_for_exit()

        # Never, from the first show on, was the transcript reported focused.
        if "Chat Room" in self.ear.focused():
            fail(f"the transcript was reported focused: {self.ear.focused()}")
        print(f"PASS: {len(self.ear.heard)} events; announced {len(self.ear.announcements())} messages, "
              f"{len(self.ear.notifications())} notifications; focus went {self.ear.focused()}")

    def close(self):
        if self.peer:
            self.peer.close()
        self.session.close()



if __name__ == "__main__":
    sys.exit(run_check(Check, WATCHDOG, __doc__))
