"""A private X display for the tests: Xvfb on a display number it picks itself, screenshots
read from the X server (xwd), xdotool for finding and pressing windows, and the checks a
screen test prints."""
import ctypes
import ctypes.util
import hashlib
import os
import select
import shutil
import struct
import subprocess
import zlib


class XDisplayError(RuntimeError):
    pass


class Screenshot:
    """A screen's pixels as rows of (r, g, b)."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def save_png(self, path, box=None):
        """Writes the screen (or the box left, top, right, bottom of it) as a PNG file."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        raw = bytearray()
        for y in range(top, bottom):
            raw.append(0)
            raw += self.rgb[(y * self.width + left) * 3:(y * self.width + right) * 3]

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
        header = struct.pack(">IIBBBBB", right - left, bottom - top, 8, 2, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw)))
                    + chunk(b"IEND", b""))


def parse_xwd(data):
    """The pixels of an xwd dump of a 24-bit TrueColor screen (24 or 32 bits per pixel)."""
    fields = struct.unpack(">25I", data[:100])
    header_size, depth, width, height = fields[0], fields[3], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    masks = fields[14:17]
    if depth != 24 or bits_per_pixel not in (24, 32) or masks != (0xFF0000, 0xFF00, 0xFF):
        raise XDisplayError(f"xwd: depth {depth}, {bits_per_pixel} bits per pixel, masks {masks}: not plain RGB")
    step = bits_per_pixel // 8
    # Least significant byte first: blue, green, red (then an unused byte at 32 bits).
    blue, green, red = (0, 1, 2) if byte_order == 0 else (step - 1, step - 2, step - 3)
    offset = header_size + ncolors * 12
    rgb = bytearray(width * height * 3)
    for y in range(height):
        row = data[offset + y * bytes_per_line:offset + y * bytes_per_line + width * step]
        out = rgb[y * width * 3:(y + 1) * width * 3]
        out[0::3], out[1::3], out[2::3] = row[red::step], row[green::step], row[blue::step]
        rgb[y * width * 3:(y + 1) * width * 3] = out
    return Screenshot(width, height, rgb)


class XDisplay:
    """Xvfb on a free display number; stop() ends it."""

    def __init__(self, width=1024, height=768):
        for tool in ("Xvfb", "xdotool", "xwd"):
            if not shutil.which(tool):
                raise XDisplayError(f"{tool} is not installed (scripts/deps.sh installs it)")
        self.width, self.height = width, height
        read_end, write_end = os.pipe()
        # -noreset: by default an X server resets when its last client leaves, and for that
        # moment refuses or drops new connections; a program opening the display then (just as
        # one xdotool call of a test has ended) found no display and fell back to the terminal.
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp", "-screen", "0",
             f"{width}x{height}x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        # Xvfb writes the number and the newline apart and dies if the pipe is gone in between,
        # so the pipe stays open until the whole line is in.
        text = b""
        while not text.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], 30)
            chunk = os.read(read_end, 64) if ready else b""
            if not chunk:
                break
            text += chunk
        os.close(read_end)
        number = text.decode().strip()
        if not number:
            self.stop()
            raise XDisplayError("Xvfb did not start")
        self.name = ":" + number

    def env(self, base=None):
        """An environment for programs on this display (and no Wayland one)."""
        env = dict(os.environ if base is None else base)
        env.pop("WAYLAND_DISPLAY", None)
        env["DISPLAY"] = self.name
        return env

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def run(self, *cmd, timeout=10):
        try:
            return subprocess.run(list(cmd), env=self.env(), capture_output=True, text=True, timeout=timeout).stdout
        except subprocess.TimeoutExpired:
            return ""

    def xdotool(self, *args):
        return [line for line in self.run("xdotool", *args).split("\n") if line]

    def find_windows(self, name_pattern):
        """Ids of the visible windows whose name matches the regular expression."""
        return self.xdotool("search", "--onlyvisible", "--name", name_pattern)

    def press_return(self, window_id):
        self.xdotool("windowfocus", "--sync", window_id)
        self.xdotool("key", "--window", window_id, "Return")

    def click_bottom_centre(self, window_id, up_from_bottom):
        """Clicks the window at its horizontal centre, up_from_bottom pixels above its lower
        edge: where a message box has its one button. A click needs no keyboard focus. The
        window is raised first: a click lands on whatever is on top there, and another program's
        topmost window (a splash of a run that started later) would take it, again and again
        while runs keep starting."""
        geometry = dict(line.split("=", 1) for line in self.xdotool("getwindowgeometry", "--shell", window_id)
                        if "=" in line)
        if "WIDTH" not in geometry:
            return
        x, y = int(geometry["WIDTH"]) // 2, int(geometry["HEIGHT"]) - up_from_bottom
        self.xdotool("windowraise", window_id, "mousemove", "--window", window_id, str(x), str(y), "click", "1")

    def cursor_image(self):
        """A digest of the pointer's cursor image as the X server shows it (XFixes), or None where
        the X libraries cannot be loaded."""
        x11, xfixes = ctypes.util.find_library("X11"), ctypes.util.find_library("Xfixes")
        if not x11 or not xfixes:
            return None
        x11, xfixes = ctypes.CDLL(x11), ctypes.CDLL(xfixes)

        class Image(ctypes.Structure):
            _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                        ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                        ("serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong))]
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x11.XFree.argtypes = [ctypes.c_void_p]
        xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(Image)
        xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
        display = x11.XOpenDisplay(self.name.encode())
        if not display:
            return None
        try:
            image = xfixes.XFixesGetCursorImage(display)
            if not image:
                return None
            c = image.contents
            pixels = [c.pixels[i] for i in range(c.width * c.height)]
            digest = hashlib.sha1(repr((c.width, c.height, c.xhot, c.yhot, pixels)).encode()).hexdigest()
            x11.XFree(image)
            return digest
        finally:
            x11.XCloseDisplay(display)

    def screenshot(self, window_id=None):
        """The whole screen, or one window's own contents (a window that Xvfb's screen read
        does not show, such as a message box that has just been mapped)."""
        target = ["-root"] if window_id is None else ["-id", window_id]
        dump = subprocess.run(["xwd", *target, "-silent", "-display", self.name], capture_output=True, timeout=30,
                              check=True).stdout
        return parse_xwd(dump)


class Check:
    """Prints each check as it is made and keeps the failures."""

    def __init__(self):
        self.failures = []

    def __call__(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        if not ok:
            self.failures.append(what)

    def status(self):
        """0 when every check passed, else 1, with a last line saying which."""
        if self.failures:
            print(f"{len(self.failures)} check(s) failed")
            return 1
        print("all checks passed")
        return 0


def run_screen_test(run, args):
    """run(args)'s status, or 77 (skipped) where no private display can start."""
    try:
        return run(args)
    except XDisplayError as e:
        print(f"skipped: {e}")
        return 77
