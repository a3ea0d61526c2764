"""The two platforms the end-to-end runs of Setup happen on, and what a run of one case gives.

  linux: Setup with name-based hosts reached through http_proxy (or loopback ports for https);
         no display, so each message box is one line "caption: text" on stderr, except for
         the runs with a display of their own (the splash window and GTK boxes, pressed with
         xdotool).
  wine:  Setup.exe with 127.0.0.1:PORT hosts (WinINet under wine ignores http_proxy), run
         under wine64 on a private Xvfb; message boxes are dismissed with xdotool and their
         texts read from the window trace.
"""
import contextlib
import dataclasses
import datetime
import json
import os
import re
import signal
import subprocess
import threading
import time

import e2e_tls
import xdisplay

PROJECTS_FOLDER = "Orvel's Projects"
SPLASH_TITLE = "Orvel's Projects"  # the splash window's text
# The slowest cases wait out the 20 s limit for missing data in each of four attempts, 2 s
# apart (about 90 s); far beyond that, the run is stuck (a message box nobody dismisses, a
# wait that never ends).
RUN_TIMEOUT_S = 180
# How often a bounded run looks whether Setup has ended.
RUN_POLL_S = 0.05
# Not UTC and not a whole hour away, so an install time in local time is caught.
FOREIGN_TZ = "IST-5:30"


def read(path):
    with open(path, "rb") as f:
        return f.read()


@dataclasses.dataclass
class RunResult:
    status: int
    messages: list
    setup_temp_folder: str  # the setup temp folder, as a path of this machine
    native_temp_folder: str  # the same, as Setup names it
    record: str
    start: datetime.datetime
    end: datetime.datetime
    stdout: bytes = b""  # messages and progress belong on stderr
    window_problems: list = dataclasses.field(default_factory=list)
    cpu_s: float = 0.0  # user + system CPU time of the run's process and what it waited for
    output: bytes = b""  # everything Setup wrote (stderr and stdout; under wine, the trace)


def per_platform(value, platform):
    """A case's value, or its value for this platform where it gives one per platform."""
    return value[platform.name] if isinstance(value, dict) else value


def set_language(env, lang):
    """The run's language settings: only LANG, the case's locale or else C.UTF-8 (no language,
    so English; but UTF-8, which wine needs to map names beyond ASCII to Unix file names)."""
    for name in ("LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"):
        env.pop(name, None)
    env["LANG"] = lang or "C.UTF-8"


def setup_arguments(prep, env, log_path):
    """Setup's command line after its name: the case's switches, its support log (or the variable
    set in env that asks for it), and what follows "--"."""
    c = prep.case
    if c.log == "variable":
        env["WEBSETUP_LOG"] = log_path
    arguments = list(c.switches) + (["/log", log_path] if c.log == "argument" else [])
    return arguments + (["--", *c.after_dash] if c.after_dash is not None else [])


def preflight_arguments(prep, hosts):
    return ["check", "--online", "--json", "--primary", hosts["p"], "--secondary", hosts["s"],
            "--setup-name", prep.case.name]


def parse_preflight(status, stdout_path):
    """(exit status, the JSON report or None)."""
    try:
        return status, json.loads(read(stdout_path).decode("utf-8"))
    except ValueError:
        return status, None


def run_bounded(cmd, env, cwd, stderr_path, stdout_path=None):
    """(exit status or None when it had to be stopped, CPU seconds it used)."""
    with open(stderr_path, "wb") as err, open(stdout_path or os.devnull, "wb") as out:
        proc = subprocess.Popen(cmd, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out if stdout_path else err,
                                stderr=err, start_new_session=True)
        deadline = time.monotonic() + RUN_TIMEOUT_S
        try:
            while time.monotonic() < deadline:
                pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
                if pid == proc.pid:
                    proc.returncode = os.waitstatus_to_exitcode(status)
                    return proc.returncode, usage.ru_utime + usage.ru_stime
                time.sleep(RUN_POLL_S)
            return None, 0.0
        finally:
            # Whatever the run left behind (a final setup still running, a stuck wine process).
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.wait()


# -- hosts ---------------------------------------------------------------------------------------
def loopback_hosts(args):
    """127.0.0.1:PORT hosts from the port base; an https run adds the sites whose certificate
    must be refused (u, n) and a plain http mirror (h)."""
    roles = ("p", "s", "m1", "m2") + (("u", "n", "h") if args.https else ())
    hosts = {role: f"127.0.0.1:{args.port_base + i}" for i, role in enumerate(roles)}
    if (args.primary, args.secondary) != (hosts["p"], hosts["s"]):
        raise SystemExit(f"Setup was built for {args.primary} and {args.secondary}, not port base {args.port_base}")
    return hosts


# -- platforms -----------------------------------------------------------------------------------
class LinuxPlatform:
    name = "linux"
    exit_failed, exit_busy = 1, 75  # of an unattended run
    final_setup_name = "FinalSetup"
    narrow_encoding = "utf-8"  # of the User Info File
    WATCH_POLL_S = 0.1

    def __init__(self, args):
        self.hosts = loopback_hosts(args) if args.port_base else \
            {"p": args.primary, "s": args.secondary, "m1": "mirror1.websetup.test", "m2": "mirror2.websetup.test"}

    @staticmethod
    def setup_file_name(name):
        return f"Setup_{name}_"

    def start(self, scratch):
        pass

    def stop(self):
        pass

    native = staticmethod(lambda path: path)
    exists = staticmethod(os.path.lexists)

    @staticmethod
    def same_path(a, b):
        return a == b

    @staticmethod
    def is_folder_text(text):
        return text.startswith("/")

    @staticmethod
    def user_folders(prep):
        home = os.path.join(prep.folder, "home")
        return {12: os.path.join(home, "data", "applications"), 15: os.path.join(home, "Desktop"),
                18: os.path.join(home, "Documents")}

    def preflight(self, tool, prep, web):
        """eiftool check --online for the case, through the proxy that reaches the .test hosts."""
        env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
        env.update(web.proxy_env())
        out = os.path.join(prep.folder, "preflight.json")
        status, _ = run_bounded([tool, *preflight_arguments(prep, self.hosts)], env, prep.folder,
                             os.path.join(prep.folder, "preflight-stderr.txt"), out)
        return parse_preflight(status, out)

    def run(self, prep, web):
        home = os.path.join(prep.folder, "home")
        # A second run of a case shares the first's temp folder, so both meet in one setup temp folder.
        temp = os.path.join(getattr(prep, "temp_owner", prep).folder, "tmp")
        record = os.path.join(prep.folder, "record")
        for folder in (home, temp):
            os.makedirs(folder, exist_ok=True)  # the temp folder may be a tmpfs mounted already
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY") and "proxy" not in k.lower()}
        env.update(TMPDIR=temp, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"), TZ=FOREIGN_TZ,
                   WEBSETUP_STUB_RECORD=record, WEBSETUP_STUB_SLEEP_MS=str(prep.case.sleep_ms),
                   WEBSETUP_STUB_EXIT_CODE=str(per_platform(prep.case.exit_code, self)))
        set_language(env, prep.case.lang)
        # Local mode needs no network: without a proxy the .test hosts cannot be reached at all.
        if prep.case.mode != "local-no" or prep.case.listed:
            env.update(prep.proxy_env(web))
        stderr_path = os.path.join(prep.folder, "stderr.txt")
        start = datetime.datetime.now(datetime.timezone.utc)
        stdout_path = os.path.join(prep.folder, "stdout.txt")
        window_problems = []
        cpu = 0.0
        cmd = [prep.setup_path] + setup_arguments(prep, env, prep.log_path)
        if prep.case.display:
            status, cpu, window_problems = self._run_on_display(prep, cmd, env, stderr_path, stdout_path)
        elif prep.case.unusable_display:
            status, cpu, window_problems = self._run_on_unusable_display(prep, env, stderr_path, stdout_path)
        else:
            status, cpu = run_bounded(cmd, env, prep.program_folder, stderr_path, stdout_path)
        end = datetime.datetime.now(datetime.timezone.utc)
        caption = os.path.basename(prep.setup_path)
        lines = read(stderr_path).decode("utf-8", "replace").splitlines()
        messages = [line.split(": ", 1)[1] for line in lines
                    if line.startswith(caption + ": ") or line.startswith("Ini Parser: ")]
        folder = os.path.join(temp, PROJECTS_FOLDER, prep.case.name + "Setup")
        return RunResult(-1 if status is None else status, messages, folder, folder, record, start, end,
                         read(stdout_path), window_problems, cpu, read(stderr_path) + read(stdout_path))

    @staticmethod
    def small_disk_at(prep):
        """Where a tmpfs makes the disk of the case's setup temp folder small: its own temp folder."""
        return os.path.join(prep.folder, "tmp")

    def _run_on_display(self, prep, cmd, env, stderr_path, stdout_path):
        """Runs Setup on a display of its own, pressing OK in its boxes. Each box must come
        while the splash window is on the screen (the box's owner), and no splash may be left.
        A quiet run may show no window at all, and an unattended one no box."""
        caption = os.path.basename(prep.setup_path)
        with xdisplay.XDisplay() as x:
            boxes, splash_under_box, stop, windows = set(), [], threading.Event(), set()

            def watch():
                while not stop.wait(self.WATCH_POLL_S):
                    windows.update(x.find_windows("."))
                    for wid in x.find_windows(f"^{caption}$"):
                        if wid not in boxes:
                            boxes.add(wid)
                            splash_under_box.append(bool(x.find_windows(f"^{SPLASH_TITLE}$")))
                        x.press_return(wid)
            watcher = threading.Thread(target=watch, daemon=True)
            watcher.start()
            status, cpu = run_bounded(cmd, x.env(env), prep.program_folder, stderr_path, stdout_path)
            stop.set()
            watcher.join(timeout=10)
            problems = []
            if prep.case.quiet() and windows:
                problems.append(f"a quiet run showed {len(windows)} windows")
            if len(boxes) != (1 if prep.case.message and not prep.case.switches else 0):
                problems.append(f"{len(boxes)} message boxes captioned {caption} on the display")
            if not all(splash_under_box):
                problems.append("a message box came without the splash window on the screen")
            if x.find_windows(f"^{SPLASH_TITLE}$"):
                problems.append("the splash window is still on the screen")
        return status, cpu, problems


    def _run_on_unusable_display(self, prep, env, stderr_path, stdout_path):
        """Runs Setup with a display set that cannot be opened: a screen our private X server
        does not have, or a Wayland display nobody serves. Setup must say why in one line, then
        carry on on the terminal."""
        kind = prep.case.unusable_display
        if kind == "x-screen":
            with xdisplay.XDisplay() as x:
                name = x.name + ".7"
                status, cpu = run_bounded([prep.setup_path], {**x.env(env), "DISPLAY": name}, prep.program_folder,
                                          stderr_path, stdout_path)
            want = f"cannot open display {name}: the X server has no such screen"
        else:
            runtime = os.path.join(prep.folder, "runtime")  # an empty XDG_RUNTIME_DIR of its own
            os.makedirs(runtime, mode=0o700)
            status, cpu = run_bounded([prep.setup_path],
                                      {**env, "WAYLAND_DISPLAY": "websetup-none", "XDG_RUNTIME_DIR": runtime},
                                      prep.program_folder, stderr_path, stdout_path)
            want = "cannot open Wayland display websetup-none: No such file or directory"
        said = [line for line in read(stderr_path).decode("utf-8", "replace").splitlines() if "display" in line]
        return status, cpu, ([] if said == [want] else [f"stderr says {said} about the display, expected [{want!r}]"])


class WinePlatform:
    name = "wine"
    exit_failed, exit_busy = 1603, 1618  # of an unattended run; wine's status keeps the low byte
    final_setup_name = "FinalSetup.exe"
    narrow_encoding = "cp1252"  # the ANSI code page of wine's default locale
    DISMISS_POLL_S = 0.3
    OK_BUTTON_UP_PX = 20  # the middle of a wine message box's OK button, above its lower edge

    def __init__(self, args):
        self.hosts = loopback_hosts(args)
        self.wine_run = args.wine_run
        self.roots = None  # https: the trusted roots folder each run mounts
        self.x = None
        self.dismisser = None
        self.stop_event = threading.Event()
        self.dismissed = set()  # captions of the boxes pressed

    @staticmethod
    def setup_file_name(name):
        return f"Setup_{name}_.exe"

    def _wine(self, *cmd):
        env = {**os.environ, "WEBSETUP_WINEDEBUG": "-all"}
        done = subprocess.run([self.wine_run, *cmd], env=env, capture_output=True, text=True, timeout=120)
        if done.returncode != 0:
            raise SystemExit(f"wine {' '.join(cmd)} failed with {done.returncode}:\n{done.stdout}{done.stderr}")
        return done.stdout.strip()

    def start(self, scratch):
        try:
            self.x = xdisplay.XDisplay()
        except xdisplay.XDisplayError as e:
            raise SystemExit(str(e))
        self.display = self.x.name
        # GetTempPathW under wine follows the prefix's registry, not the Unix environment.
        self.native_temp = self._wine("cmd", "/c", "echo %TEMP%").splitlines()[-1].strip().rstrip("\\")
        # Drive C: is a link in the prefix; mapping it here needs no second wine start.
        drive = re.match(r"^([A-Za-z]):(\\.*)$", self.native_temp)
        if drive is None:
            raise SystemExit(f"wine names its temp folder {self.native_temp!r}, not a drive path")
        prefix = self._wine("--prefix")
        self.temp = os.path.realpath(os.path.join(prefix, "dosdevices", drive[1].lower() + ":")) + \
            drive[2].replace("\\", "/")
        if not os.path.isdir(self.temp):
            raise SystemExit(f"wine's temp folder {self.native_temp} is not at {self.temp}")
        self.dismisser = threading.Thread(target=self._dismiss_boxes, daemon=True)
        self.dismisser.start()

    def stop(self):
        self.stop_event.set()
        if self.dismisser is not None:
            self.dismisser.join(timeout=10)
        if self.x is not None:
            self.x.stop()

    def _dismiss_boxes(self):
        """Presses OK in every message box of the runs: captions Setup_<case>_ and Ini Parser."""
        # A box may need more than one press; X may reuse a closed box's window id for the next.
        while not self.stop_event.wait(self.DISMISS_POLL_S):
            for wid in self.x.find_windows("^(Setup_.*_|Ini Parser)$"):
                self.dismissed.update(self.x.xdotool("getwindowname", wid)[:1])
                # Its OK button: a key press reaches a box only once wine has given it the
                # focus, which it does not always do while the topmost splash is there.
                self.x.click_bottom_centre(wid, self.OK_BUTTON_UP_PX)

    @staticmethod
    def native(path):
        if re.match(r"^[A-Za-z]:\\", path):
            return path
        return "Z:" + path.replace("/", "\\")

    def exists(self, path):
        return os.path.lexists(path)

    @staticmethod
    def same_path(a, b):
        return a.lower() == b.lower()

    @staticmethod
    def is_folder_text(text):
        return re.match(r"^[A-Za-z]:\\", text) is not None

    @staticmethod
    def user_folders(prep):
        return {}  # the prefix's own; only their form is checked

    def preflight(self, tool, prep, web):
        """eiftool.exe check --online for the case, under wine like Setup.exe."""
        env = {**os.environ, "DISPLAY": self.display, "WEBSETUP_WINEDEBUG": "-all"}
        out = os.path.join(prep.folder, "preflight.json")
        status, _ = run_bounded([self.wine_run, tool, *preflight_arguments(prep, self.hosts)], env, prep.folder,
                             os.path.join(prep.folder, "preflight-stderr.txt"), out)
        return parse_preflight(status, out)

    def run(self, prep, web):
        record = os.path.join(prep.folder, "record")
        env = {**os.environ, "DISPLAY": self.display, "WEBSETUP_WINEDEBUG": "+win", "TZ": FOREIGN_TZ,
               "WEBSETUP_STUB_RECORD": self.native(record), "WEBSETUP_STUB_SLEEP_MS": str(prep.case.sleep_ms),
               "WEBSETUP_STUB_EXIT_CODE": str(per_platform(prep.case.exit_code, self))}
        set_language(env, prep.case.lang)
        stderr_path = os.path.join(prep.folder, "trace.txt")
        leaf = prep.case.name + "Setup"
        if not hasattr(prep, "temp_owner"):
            # An earlier test's unattended log in the prefix's shared temp folder, which this run's
            # would be appended to.
            with contextlib.suppress(FileNotFoundError):
                os.remove(os.path.join(self.temp, PROJECTS_FOLDER, leaf + ".log"))
        start = datetime.datetime.now(datetime.timezone.utc)
        cmd = [self.wine_run, prep.setup_path] + setup_arguments(prep, env, self.native(prep.log_path))
        if self.roots:
            cmd = e2e_tls.in_namespace_with_roots(self.roots, cmd)
        status, cpu = run_bounded(cmd, env, prep.program_folder, stderr_path)
        end = datetime.datetime.now(datetime.timezone.utc)
        caption = os.path.splitext(os.path.basename(prep.setup_path))[0]
        trace = read(stderr_path).decode("utf-8", "replace")
        messages = self._box_texts(trace, caption)
        if messages and caption not in self.dismissed:
            messages.append(f"(no message box captioned {caption})")
        splash = f'set_window_text L"{SPLASH_TITLE}"' in trace
        if splash == prep.case.quiet():
            messages.append("(a splash window in a quiet run)" if splash else "(no splash window)")
        return RunResult(-1 if status is None else status, messages,
                         os.path.join(self.temp, PROJECTS_FOLDER, leaf),
                         "\\".join((self.native_temp, PROJECTS_FOLDER, leaf)), record, start, end, cpu_s=cpu,
                         output=trace.encode())

    def small_disk_at(self, prep):
        """Where a tmpfs makes the disk of the case's setup temp folder small: wine's temp folder,
        the prefix's (the fault cases run one at a time under wine). Not the setup temp folder or
        its parent: Windows reports a mount point as a reparse point, which Setup refuses in that
        chain as it would a planted junction."""
        return self.temp

    # Texts wine gives its own helper windows and buttons right after a window's caption.
    NOT_A_MESSAGE = ("", "OK", "Default IME")

    @classmethod
    def _box_texts(cls, trace, caption):
        # A message box sets its caption, then its text, then its button's; the texts that
        # follow a caption of the run (or "Ini Parser") up to the button are its message.
        # The trace doubles a backslash and writes a character beyond ASCII as a backslash and
        # four hex digits.
        texts = [re.sub(r"\\(\\|[0-9a-fA-F]{4})", lambda m: "\\" if m[1] == "\\" else chr(int(m[1], 16)), t)
                 for t in re.findall(r'set_window_text L"((?:[^"\\]|\\.)*)"', trace)]
        found = []
        for i, text in enumerate(texts):
            if text in (caption, "Ini Parser") and i + 1 < len(texts) and texts[i + 1] not in cls.NOT_A_MESSAGE:
                found.append(texts[i + 1])
        return found
