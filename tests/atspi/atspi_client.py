"""A screen reader's view of the program: starts it in a private session
(session.py), listens to it over AT-SPI with gi's Atspi, finds its windows
and controls, and drives them through the bus and the keyboard. Every wait
is bounded and ends the run with a clear message."""

import random
import socket
import subprocess
import time

from session import Session, SessionError, fail

WAIT = 15  # seconds for any one thing to happen


def free_low_port_listener():
    """A listening socket on a free port the Port Number field can hold (at most 4 digits)."""
    for port in random.sample(range(2000, 10000), 200):
        listener = socket.socket()
        try:
            listener.bind(("127.0.0.1", port))
            listener.listen(1)
            return listener
        except OSError:
            listener.close()
    raise SessionError("no free port from 2000 to 9999")


class Ear:
    """Every event a screen reader would hear, as (kind, role, name, detail1, data)."""

    def __init__(self, Atspi):
        self.Atspi = Atspi
        self.heard = []
        self.listener = Atspi.EventListener.new(self._hear)
        for kind in ("object:state-changed:focused", "object:state-changed:showing", "focus:"):
            self.listener.register(kind)

    def _hear(self, event):
        try:
            role = event.source.get_role()
            name = event.source.get_name()
        except Exception:  # the object went away meanwhile
            role, name = None, None
        data = event.any_data if isinstance(event.any_data, str) else None
        self.heard.append((event.type, role, name, event.detail1, data))

    def listen_for_announcements(self):
        self.listener.register("object:announcement")

    def notifications(self, since=0):
        return [name for kind, role, name, shown, _ in self.heard[since:]
                if kind.startswith("object:state-changed:showing") and role == self.Atspi.Role.NOTIFICATION and shown]

    def announcements(self, since=0):
        return [data for kind, _, _, _, data in self.heard[since:] if kind.startswith("object:announcement")]

    def focused(self, since=0):
        return [name for kind, _, name, gained, _ in self.heard[since:]
                if kind.startswith("object:state-changed:focused") and gained]



class Client:
    def __init__(self, program):
        self.session = Session()
        self.session.apply()
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi, Gio, GLib
        self.Atspi, self.GLib = Atspi, GLib
        Atspi.init()
        # What a screen reader does on start: tell applications to expose themselves.
        Gio.bus_get_sync(Gio.BusType.SESSION, None).call_sync(
            "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
            GLib.Variant("(ssv)", ("org.a11y.Status", "IsEnabled", GLib.Variant("b", True))),
            None, 0, 5000, None)
        self.ear = Ear(Atspi)
        self.peer = None
        self.app_process = self.session.start_program(program)

    # -- waiting and finding ------------------------------------------------

    def pump(self):
        context = self.GLib.MainContext.default()
        while context.iteration(False):
            pass

    def wait_for(self, what, predicate, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while True:
            self.pump()
            result = predicate()
            if result:
                return result
            if self.app_process.poll() is not None:
                fail(f"the program ended (exit {self.app_process.returncode}) while waiting for {what}")
            if time.monotonic() > deadline:
                fail(f"no {what} within {timeout} s; heard: {self.ear.heard[-12:]}")
            time.sleep(0.02)

    def wait_for_exit(self, timeout=WAIT):
        try:
            code = self.app_process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            fail(f"the program did not end within {timeout} s of Exit")
        if code != 0:
            fail(f"the program ended with exit code {code} after Exit")
        if self.session.warnings():
            fail("the program warned: " + " | ".join(self.session.warnings()))

    def application(self):
        desktop = self.Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == self.app_process.pid:
                app.clear_cache()  # windows come and go: ask afresh
                return app
        return None

    def find(self, root, role, name=None):
        """The first object of `role` (and `name`) under `root`, breadth first."""
        queue = [root]
        while queue:
            node = queue.pop(0)
            try:
                if node.get_role() == role and (name is None or node.get_name() == name):
                    return node
                queue.extend(node.get_child_at_index(i) for i in range(node.get_child_count()))
            except Exception:
                continue
        return None

    def window(self, role, name_start):
        app = self.application()
        if app is None:
            return None
        for i in range(app.get_child_count()):
            try:
                child = app.get_child_at_index(i)
                if (child is not None and child.get_role() == role and child.get_name().startswith(name_start)
                        and child.get_state_set().contains(self.Atspi.StateType.SHOWING)):
                    return child
            except self.GLib.Error:
                continue  # a window that went away meanwhile
        return None

    def press(self, control):
        """The control's first action (Press, Toggle); a click that opens a
        modal box answers only when the box closes, so no answer is awaited."""
        try:
            control.do_action(0)
        except self.GLib.Error:
            pass

    def key(self, keysym):
        self.Atspi.generate_keyboard_event(keysym, None, self.Atspi.KeySynthType.SYM)

    def round_trip(self, obj):
        """A call the program must answer: events it sent before are in by then."""
        obj.get_character_count()
        self.pump()

