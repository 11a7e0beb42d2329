"""A private desktop session for talking to the program as a screen reader
does: an Xvfb X server, a D-Bus session bus (which starts the accessibility
bus on first use), optionally a window manager. Everything is started here,
in its own process group, and ended by close(); every wait is bounded."""

import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time


class SessionError(Exception):
    pass


def need(program):
    path = shutil.which(program)
    if not path:
        raise SessionError(f"{program} is not installed (scripts/deps.sh --test installs it)")
    return path


def _read_line(stream, timeout, what):
    """One line from a pipe, or SessionError after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    data = b""
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([stream], [], [], left)[0]:
            raise SessionError(f"{what} did not start within {timeout} s")
        chunk = os.read(stream.fileno(), 256)
        if not chunk:
            raise SessionError(f"{what} ended before it was ready")
        data += chunk
    return data.decode().strip()


class Session:
    def __init__(self, window_manager=False):
        self.processes = []
        self.runtime = tempfile.mkdtemp(prefix="zaq-a11y-")
        os.chmod(self.runtime, 0o700)
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS",
                     "QT_QPA_PLATFORM", "QT_ACCESSIBILITY", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"):
            self.env.pop(name, None)
        self.env["XDG_RUNTIME_DIR"] = self.runtime
        self.env["HOME"] = self.runtime  # no settings of the machine's user leak in
        self.env["XDG_CONFIG_HOME"] = os.path.join(self.runtime, "config")
        self.env["XDG_DATA_HOME"] = os.path.join(self.runtime, "data")
        self.env["GSETTINGS_BACKEND"] = "memory"
        self.env["NO_AT_BRIDGE"] = "0"
        try:
            self._start_x()
            self._start_bus()
            if window_manager:
                self._start_window_manager()
        except BaseException:
            self.close()
            raise

    def _spawn(self, args, **kwargs):
        process = subprocess.Popen(args, env=self.env, start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def _start_x(self):
        xvfb = need("Xvfb")
        reader, writer = os.pipe()
        self._spawn([xvfb, "-displayfd", str(writer), "-screen", "0", "1280x1024x24", "-dpi", "96",
                     "-nolisten", "tcp", "-noreset"], pass_fds=[writer],
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(writer)
        with os.fdopen(reader, "rb", buffering=0) as stream:
            self.env["DISPLAY"] = ":" + _read_line(stream, 20, "Xvfb")

    def _start_bus(self):
        daemon = need("dbus-daemon")
        bus = self._spawn([daemon, "--session", "--nofork", "--print-address=1"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = _read_line(bus.stdout, 20, "the D-Bus session bus")

    def _start_window_manager(self):
        self._spawn([need("openbox"), "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def apply(self):
        """Makes this process a client of the session (before Atspi is loaded)."""
        os.environ.clear()
        os.environ.update(self.env)

    def start(self, args, env=None, **kwargs):
        full = dict(self.env)
        full.update(env or {})
        process = subprocess.Popen(args, env=full, start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def start_program(self, program):
        """The program on the session's X server, its stderr kept for warnings()."""
        self.program_errors = os.path.join(self.runtime, "program.stderr")
        with open(self.program_errors, "wb") as errors:
            return self.start([program], env={"QT_QPA_PLATFORM": "xcb"}, stderr=errors)

    def warnings(self):
        """What the program wrote to stderr: a normal run, a screen reader
        attached, has nothing to warn about."""
        with open(self.program_errors, encoding="utf-8", errors="replace") as errors:
            return [line.rstrip("\n") for line in errors if line.strip()]

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for process in reversed(self.processes):
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait(timeout=5)
        # The accessibility bus launcher is a child of the session bus: it
        # leaves when that bus goes.
        shutil.rmtree(self.runtime, ignore_errors=True)


def fail(message):
    print(f"FAIL: {message}", flush=True)
    sys.exit(1)


def run_check(make, seconds, usage):
    """Runs a check made by make(program) on the program named on the command
    line, ended by an alarm after `seconds`; a failure exits through fail()."""
    if len(sys.argv) != 2:
        print(usage)
        return 2

    def watchdog(signum, frame):
        raise TimeoutError(f"the check took longer than {seconds} s")

    signal.signal(signal.SIGALRM, watchdog)
    signal.alarm(seconds)
    check = None
    try:
        check = make(sys.argv[1])
        check.run()
    except (SessionError, TimeoutError) as error:
        fail(str(error))
    finally:
        if check:
            check.close()
    return 0
