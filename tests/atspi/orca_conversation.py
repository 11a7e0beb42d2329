#!/usr/bin/python3
"""A conversation heard through Orca, the screen reader itself.

Runs Orca on a private Xvfb under openbox, with its speech going only to its
debug file; starts the program as a client of a loopback peer played here,
connects it through the accessibility bus, lets the peer send two lines and
leave, opens Help, and prints every line Orca spoke from the program's start
on. Fails unless Orca said "Connected", both lines and "Disconnected" with no
key pressed, read the help page, and never announced the transcript ("Chat
Room") as the focus.
Every wait is bounded.

usage: orca_conversation.py path/to/ZAQCHAT
"""

import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_client import free_low_port_listener  # noqa: E402
from session import Session, fail, need, run_check  # noqa: E402

WAIT = 20
WATCHDOG = 110

# A speech server for Orca that makes no sound: it writes each utterance
# Orca hands it, one a line, to the file named by ZAQ_SPEECH_LOG. Orca 48
# calls its speech server by other names than Orca 43 (get_speech_server,
# get_info, speak_character, speak_key_event for getSpeechServer, getInfo,
# speakCharacter, speakKeyEvent; see orca/speechserver.py of each): it
# answers to both.
SILENT_SPEECH = '''
import os
from orca import speechserver

def _say(kind, text):
    with open(os.environ["ZAQ_SPEECH_LOG"], "a", encoding="utf-8") as log:
        log.write(kind + ": " + " ".join(str(text).split()) + "\\n")

class SpeechServer(speechserver.SpeechServer):
    _server = None

    @staticmethod
    def getFactoryName():
        return "Silent"

    @staticmethod
    def get_speech_server(info=None):
        if SpeechServer._server is None:
            SpeechServer._server = SpeechServer()
        return SpeechServer._server

    getSpeechServer = get_speech_server

    @staticmethod
    def getSpeechServers():
        return [SpeechServer.get_speech_server()]

    @staticmethod
    def shutdownActiveServers():
        SpeechServer._server = None

    def get_info(self):
        return ["Silent", "silent"]

    getInfo = get_info

    def getVoiceFamilies(self):
        return []

    def speak(self, text=None, acss=None, interrupt=True):
        if text:
            _say("SPEECH", text)

    def speak_character(self, character, acss=None):
        _say("CHARACTER", character)

    speakCharacter = speak_character

    def speak_key_event(self, event, acss=None):
        _say("KEY", getattr(event, "event_string", event))

    speakKeyEvent = speak_key_event
'''



class OrcaConversation:
    def __init__(self, program):
        self.program = program
        self.session = Session(window_manager=True)
        self.home = self.session.runtime
        self.debug_file = os.path.join(self.home, "orca-debug.out")
        self.speech_log = os.path.join(self.home, "speech.log")
        self.orca = None
        self.app = None
        self.peer = None

    def spoken(self, since=0):
        """What Orca has said so far, an utterance a line, from line `since` on."""
        try:
            with open(self.speech_log, encoding="utf-8", errors="replace") as log:
                return [line.rstrip("\n") for line in log.readlines()[since:]]
        except FileNotFoundError:
            return []

    def log_size(self):
        return len(self.spoken())

    def wait_for(self, what, predicate, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while True:
            if hasattr(self, "pump"):
                self.pump()
            result = predicate()
            if result:
                return result
            for name, process in (("Orca", self.orca), ("the program", self.app)):
                if process is not None and process.poll() is not None:
                    fail(f"{name} ended (exit {process.returncode}) while waiting for {what}")
            if time.monotonic() > deadline:
                fail(f"no {what} within {timeout} s")
            time.sleep(0.05)

    def start_orca(self):
        orca = need("orca")
        prefs = os.path.join(self.home, "orca-prefs")
        modules = os.path.join(self.home, "orca-modules")
        os.makedirs(prefs)
        os.makedirs(modules)
        with open(os.path.join(modules, "zaqsilentspeech.py"), "w") as module:
            module.write(SILENT_SPEECH)
        general = {"speechServerFactory": "zaqsilentspeech", "enableSpeech": True, "enableBraille": False,
                   "enableSound": False, "activeProfile": ["Default", "default"],
                   "startingProfile": ["Default", "default"]}
        profile = dict(general, profile=["Default", "default"], pronunciations={}, keybindings={})
        with open(os.path.join(prefs, "user-settings.conf"), "w") as conf:
            json.dump({"general": general, "profiles": {"default": profile}, "pronunciations": {},
                       "keybindings": {}}, conf)
        self.orca = self.session.start([orca, "--replace", "-u", prefs, "--debug-file", self.debug_file],
                                       env={"PYTHONPATH": modules, "ZAQ_SPEECH_LOG": self.speech_log},
                                       stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        # Orca greets once it is listening.
        self.wait_for("Orca to start and speak", self.spoken, timeout=40)

    def run(self):
        self.start_orca()
        self.session.apply()
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi, GLib
        Atspi.init()
        context = GLib.MainContext.default()

        def pump():
            while context.iteration(False):
                pass

        self.pump = pump
        Role = Atspi.Role

        start = self.log_size()
        self.app = self.session.start_program(self.program)

        def application():
            desktop = Atspi.get_desktop(0)
            for i in range(desktop.get_child_count()):
                app = desktop.get_child_at_index(i)
                if app is not None and app.get_process_id() == self.app.pid and app.get_child_count() > 0:
                    app.clear_cache()
                    return app
            return None

        def find(root, role, name=None):
            queue = [root]
            while queue:
                node = queue.pop(0)
                try:
                    if node.get_role() == role and (name is None or node.get_name() == name):
                        return node
                    queue.extend(node.get_child_at_index(i) for i in range(node.get_child_count()))
                except GLib.Error:
                    continue
            return None

        self.wait_for("the program on the accessibility bus", application)
        setup = self.wait_for("the setup window", lambda: find(application(), Role.FRAME, "ZAQ CHAT -Setup-"))
        self.wait_for("Orca to read the setup window", lambda: any("Setup" in s for s in self.spoken(start)))

        listener = free_low_port_listener()
        listener.setblocking(False)
        for name, text in (("Remote Computer IP:", "127.0.0.1"), ("Port Number:", str(listener.getsockname()[1])),
                           ("Your Name:", "Ann")):
            find(setup, Role.TEXT, name).set_text_contents(text)
        find(setup, Role.RADIO_BUTTON, "Client").do_action(0)
        connect_mark = self.log_size()
        find(setup, Role.PUSH_BUTTON, "Connect").do_action(0)

        def accept():
            try:
                return listener.accept()[0]
            except BlockingIOError:
                return None

        self.peer = self.wait_for("the program's connection", accept)
        self.wait_for("Orca to say Connected", lambda: any("Connected" in s for s in self.spoken(connect_mark)))
        for line in ("Bob: hello there", "Bob: are you there?"):
            self.peer.sendall(("\r\n" + line).encode())
            self.wait_for(f"Orca to say {line!r}", lambda: any(line in s for s in self.spoken(connect_mark)))
        self.peer.close()
        self.peer = None
        self.wait_for("Orca to say Disconnected", lambda: any("Disconnected" in s for s in self.spoken(connect_mark)))

        # The help page is read out when its window opens.
        chat = find(application(), Role.FRAME, "ZAQ CHAT Chating as CLIENT")
        find(chat, Role.MENU_ITEM, "Help").do_action(0)
        self.wait_for("Orca to read the help page",
                      lambda: any("3. Press SEND button to send your message." in s for s in self.spoken(connect_mark)))

        said = self.spoken(start)
        print("What Orca said, from the program's start:")
        for utterance in said:
            print(f"  {utterance}")
        after = self.spoken(connect_mark)
        if any("Chat Room" in s for s in after):
            fail("Orca announced the transcript \"Chat Room\" after Connect")
        if self.session.warnings():
            fail("the program warned: " + " | ".join(self.session.warnings()))
        for said_once in ("Connected", "Bob: hello there", "Bob: are you there?", "Disconnected"):
            times = sum(said_once in s for s in after)
            if times != 1:
                fail(f"Orca said {said_once!r} {times} times")
        print("PASS: Orca spoke Connected, both lines and Disconnected once each with no key pressed, "
              "read the help page, and never the transcript as the focus")

    def close(self):
        if self.orca is not None and self.orca.poll() is None:
            self.orca.terminate()  # so that Orca writes out its debug file
            try:
                self.orca.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        if os.environ.get("ZAQ_KEEP_ORCA_LOG") and os.path.exists(self.debug_file):
            os.replace(self.debug_file, os.environ["ZAQ_KEEP_ORCA_LOG"])
        if self.peer:
            self.peer.close()
        self.session.close()



if __name__ == "__main__":
    sys.exit(run_check(OrcaConversation, WATCHDOG, __doc__))
