#!/usr/bin/env python3
"""The picture controls as a person sees them: the picture gallery on a private Xvfb (natively
on Linux, under wine64 for Windows), checked from screenshots and from its trace while the
pointer moves over and presses the hot-spot logo.

Exit status 0 when every check passes, 1 when one fails, 77 (skipped) without Xvfb."""
import argparse
import os
import queue
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import xdisplay  # noqa: E402

ANSWER_TIMEOUT_S = 60
CROPPED, FITTED, LOGO, GRID, FRAME, TEXTS, MARQUEE, BLINK = range(1101, 1109)
GREY = (128, 128, 128)  # a fresh buffer
MAGENTA, ORANGE = (255, 0, 255), (240, 140, 20)  # the logo's transparent colour and its centre
RED, BLUE, GREEN = (200, 0, 0), (0, 0, 160), (0, 120, 0)


class Gallery:
    """The gallery program with its trace read line by line on a thread of its own."""

    def __init__(self, command, env, log):
        self.process = subprocess.Popen(command + ["--trace", "--stdin", "--seconds", "120"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=log, env=env, text=True, bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.client, self.controls = None, {}
        while True:
            words = self.expect(lambda line: True).split()
            if words[0] == "ready":
                break
            if words[0] == "client":
                self.client = tuple(int(v) for v in words[1:])
            elif words[0] == "control":
                self.controls[int(words[1])] = tuple(int(v) for v in words[2:])

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def expect(self, wanted, timeout=ANSWER_TIMEOUT_S):
        """The next trace line for which wanted() holds; lines before it are passed over."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(deadline - time.monotonic(), 0.01))
            except queue.Empty:
                raise AssertionError("the gallery did not answer in time")
            if line is None:
                raise AssertionError(f"the gallery ended early (exit {self.process.poll()})")
            if wanted(line):
                return line

    def screen_point(self, control, x, y):
        left, top = self.controls[control][:2]
        return self.client[0] + left + x, self.client[1] + top + y

    def close(self):
        try:
            self.process.stdin.write("quit\n")
            self.process.stdin.close()
        except (BrokenPipeError, OSError):
            pass
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Tile:
    """One control's pixels on a screenshot, in the control's own coordinates."""

    def __init__(self, shot, gallery, control):
        self.shot, self.origin = shot, gallery.screen_point(control, 0, 0)
        left, top, right, bottom = gallery.controls[control]
        self.width, self.height = right - left, bottom - top

    def pixel(self, x, y):
        return self.shot.pixel(self.origin[0] + x, self.origin[1] + y)

    def count(self, colour, tolerance=0):
        return sum(1 for y in range(self.height) for x in range(self.width)
                   if max(abs(a - b) for a, b in zip(self.pixel(x, y), colour)) <= tolerance)


def read_bmp(path):
    """The pixels of a 24-bit bottom-up BMP as a function of (x, y)."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3

    def pixel(x, y):
        i = offset + (height - 1 - y) * stride + x * 3
        return data[i + 2], data[i + 1], data[i]
    return pixel


def grid_positions(start, end, lines):
    """Line positions accumulated in single precision, rounded half up."""
    def f32(v):
        return struct.unpack("f", struct.pack("f", v))[0]
    spacing, position, out = f32((end - start) / (lines + 1)), f32(start), []
    for _ in range(lines):
        position = f32(position + spacing)
        out.append(int(position + 0.5))
    return out


def check_pictures(check, shot, gallery, splash):
    frame = Tile(shot, gallery, FRAME)
    w, h = frame.width, frame.height
    got = [frame.pixel(0, 0), frame.pixel(w - 1, 0), frame.pixel(w - 1, h // 2), frame.pixel(w // 2, h // 2)]
    check(got == [(50, 50, 50), (80, 80, 80), (206, 206, 206), GREY],
          f"the default control: the bevel frame over a grey buffer ({got})")

    cropped = Tile(shot, gallery, CROPPED)
    points = [(x, y) for y in range(8, cropped.height - 8, 5) for x in range(8, cropped.width - 8, 5)]
    wrong = [(x, y) for x, y in points if cropped.pixel(x, y) != splash(x, y)]
    check(not wrong, f"crop mode shows the splash picture's top-left part at 1:1 ({len(points)} points, "
                     f"{len(wrong)} wrong, first {wrong[:1]})")

    fitted = Tile(shot, gallery, FITTED)
    shown = fitted.width * 300 // 550
    top = (fitted.height - shown) // 2
    band = [fitted.pixel(x, y) for y in range(8, top - 1) for x in range(8, fitted.width - 8, 9)]
    picture = [fitted.pixel(x, y) for y in range(top + 2, top + shown - 2, 3) for x in range(8, fitted.width - 8, 9)]
    check(band and all(p == GREY for p in band) and sum(p == GREY for p in picture) < len(picture) // 10,
          f"keep aspect: the whole picture {fitted.width}x{shown} centred, grey above it (from row {top})")

    logo = Tile(shot, gallery, LOGO)
    outside = shot.pixel(logo.origin[0] - 3, logo.origin[1] + 3)
    corner = logo.pixel(2, 2)
    check(logo.count(MAGENTA) == 0 and logo.pixel(logo.width // 2, logo.height // 2) == ORANGE and
          max(abs(a - b) for a, b in zip(corner, outside)) <= 40,
          f"the transparent logo: no magenta, its centre orange, its corner the window's picture "
          f"({corner} beside {outside})")

    grid = Tile(shot, gallery, GRID)
    ys = grid_positions(4, grid.height - 4, 3)
    xs = grid_positions(4, grid.width - 4, 4)
    x_free = (xs[0] + xs[1]) // 2
    y_free = (ys[0] + ys[1]) // 2
    lines = [grid.pixel(x_free, y) for y in ys] + [grid.pixel(x, y_free) for x in xs]
    highlights = [grid.pixel(x_free, y - 1) for y in ys] + [grid.pixel(x - 1, y_free) for x in xs]
    check(all(p == (220, 220, 220) for p in lines) and all(p == (250, 250, 250) for p in highlights),
          f"the grid's lines at rows {ys} and columns {xs}, each with its highlight above or left")

    texts = Tile(shot, gallery, TEXTS)
    counts = [texts.count(c, 40) for c in (RED, BLUE, GREEN, (255, 255, 255))]
    check(all(n >= 10 for n in counts), f"three text lines in their colours and a white shadow (pixels {counts})")


def tile_changes(before, after):
    return sum(1 for y in range(before.height) for x in range(before.width) if before.pixel(x, y) != after.pixel(x, y))


def check_animation(check, display, gallery, first):
    shots = [first]
    for _ in range(8):
        time.sleep(0.25)
        shots.append(display.screenshot())
    marquee = [Tile(s, gallery, MARQUEE) for s in shots]
    moves = sum(1 for a, b in zip(marquee, marquee[1:]) if tile_changes(a, b) > 20)
    check(moves >= 6, f"the marquee line moves between screenshots a quarter second apart ({moves} of 8)")
    reds = [Tile(s, gallery, BLINK).count(RED, 40) for s in shots]
    check(max(reds) >= 10 and min(reds) == 0, f"the blinking line comes and goes (red pixels {reds})")
    return shots[-1]


def check_pointer(check, display, gallery):
    logo = gallery.controls[LOGO]
    centre = gallery.screen_point(LOGO, (logo[2] - logo[0]) // 2, (logo[3] - logo[1]) // 2)
    corner = gallery.screen_point(LOGO, 2, 2)

    def move(point):
        display.xdotool("mousemove", str(point[0]), str(point[1]))

    def decision(prefix):
        return gallery.expect(lambda line: line.startswith(prefix), timeout=10).split()[-1]

    move(centre)
    check(decision("cursor") == "hand", "the hand cursor over the logo's opaque pixels")
    time.sleep(0.3)
    hand = display.cursor_image()
    # The cursor is asked for before the move is reported, so the first decision at the
    # corner still follows the centre; the next move's decision follows the corner.
    move(corner)
    move((corner[0] + 1, corner[1] + 1))
    check(gallery.expect(lambda line: line == f"cursor {LOGO} normal", timeout=10) is not None,
          "the normal cursor over its transparent corner, from the move before")
    time.sleep(0.3)
    normal = display.cursor_image()
    if hand is None:
        print("(the cursor images cannot be read: no X11 and XFixes libraries)")
    else:
        check(hand != normal, "the screen shows another cursor over the opaque pixels than over the corner")
    display.xdotool("click", "1")
    check(decision("press") == "swallowed", "a press on the transparent corner is swallowed")
    move(centre)
    decision("cursor")
    display.xdotool("click", "1")
    check(decision("press") == "default", "a press on the logo itself gets the default processing")
    check(gallery.expect(lambda line: line.startswith("clicked"), timeout=10) == f"clicked {LOGO}",
          "which tells the window of the press, and the gallery closes")
    check(gallery.expect(lambda line: line.startswith("destroyed"), timeout=10) == "destroyed marquee-running 0",
          "the marquee thread has ended when the window is gone")


def run(args):
    check = xdisplay.Check()
    os.makedirs(args.output, exist_ok=True)
    splash = read_bmp(args.splash)
    with xdisplay.XDisplay() as display, open(os.path.join(args.output, "gallery-stderr.txt"), "w") as log:
        command = [args.gallery] if args.platform == "linux" else [args.wine_run, args.gallery]
        env = display.env()
        gallery = Gallery(command, env, log)
        try:
            time.sleep(0.5)
            shot = display.screenshot()
            box = (gallery.client[0] - 1, gallery.client[1] - 1, gallery.client[2] + 1, gallery.client[3] + 1)
            shot.save_png(os.path.join(args.output, f"gallery-{args.platform}.png"), box)
            check_pictures(check, shot, gallery, splash)
            last = check_animation(check, display, gallery, shot)
            last.save_png(os.path.join(args.output, f"gallery-{args.platform}-later.png"), box)
            check_pointer(check, display, gallery)
        except AssertionError as e:
            check(False, str(e))
        finally:
            gallery.close()
        check(gallery.process.returncode == 0, f"the gallery ended cleanly (exit {gallery.process.returncode})")
    return check.status()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--platform", choices=("linux", "wine"), required=True)
    parser.add_argument("--gallery", required=True)
    parser.add_argument("--wine-run")
    parser.add_argument("--splash", required=True, help="the splash picture's BMP file")
    parser.add_argument("--output", required=True, help="folder for the screenshots")
    args = parser.parse_args(argv)
    return xdisplay.run_screen_test(run, args)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
