#!/usr/bin/env python3
"""The real splash window on a private X display, checked from the screen.

The splash driver creates the window as a run does and then obeys commands on stdin; no
message loop runs between them. Linux runs it natively (GTK 3), wine runs the Windows build
(Win32). Checked: the layout against the template in dialog units, centred, borderless and
topmost, the picture against our own averaging scale of the bitmap (exact on Linux, within a
halftone's tolerance on wine), the one-pixel line below the picture, on wine the bar without a
theme of its own (so it does not animate), the bar as messages arrive (fraction, overshoot,
lParam ignored, a 3 GB total), a message box shown and dismissed, and the window gone once
destroyed. Screenshots are kept in the output folder for a person.
"""
import argparse
import os
import re
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import xdisplay  # noqa: E402

# Position and size in dialog units, as a dialog template holds them.
TEMPLATE = {"client": (0, 0, 310, 166), "picture": (0, 0, 311, 152), "progress": (2, 154, 306, 10)}
TITLE = "Orvel's Projects"
BOX_CAPTION = "Splash Driver"
ANSWER_TIMEOUT_S = 60
BOX_PAINT_S = 1.0  # a box paints itself from its own loop, a little after it is mapped  # the first start of a fresh wine prefix takes a while


def mul_div(value, numerator, denominator):
    return (value * numerator + denominator // 2) // denominator


def base_units_for(rects):
    """The (cx, cy) that turn the template into the rectangles the window reports, or None."""
    client = rects["client"]
    width, height = client[2] - client[0], client[3] - client[1]
    for cx in range(2, 40):
        for cy in range(4, 80):
            def px(r):
                left, top = mul_div(r[0], cx, 4), mul_div(r[1], cy, 8)
                return left, top, left + mul_div(r[2], cx, 4), top + mul_div(r[3], cy, 8)
            if px(TEMPLATE["client"])[2:] == (width, height) and all(
                    px(TEMPLATE[k]) == rects[k] for k in ("picture", "progress")):
                return cx, cy
    return None


class Driver:
    def __init__(self, command, env, log):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log,
                                        env=env, text=True, bufsize=1)
        self.lines = []
        self.facts = {}
        while True:
            line = self.read_line()
            if line == "ready":
                break
            key, _, value = line.partition(" ")
            self.facts[key] = value

    def read_line(self):
        result = []
        reader = threading.Thread(target=lambda: result.append(self.process.stdout.readline()), daemon=True)
        reader.start()
        reader.join(ANSWER_TIMEOUT_S)
        if not result or not result[0]:
            raise AssertionError(f"the splash driver did not answer (exit {self.process.poll()})")
        return result[0].rstrip("\n")

    def send(self, command, answers=1):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        return [self.read_line() for _ in range(answers)]

    def close(self):
        try:
            self.process.stdin.write("quit\n")
            self.process.stdin.close()
            self.process.wait(timeout=30)
        except (BrokenPipeError, subprocess.TimeoutExpired, OSError):
            self.process.kill()
            self.process.wait()


def rect(text):
    return tuple(int(v) for v in text.split())


def bar_state(line):
    """(lower, upper, pos, control lower, control upper, control pos) of a "bar" answer."""
    m = re.fullmatch(r"bar (-?\d+) (-?\d+) (-?\d+) control (-?\d+) (-?\d+) (-?\d+)", line)
    if m is None:
        raise AssertionError(f"not a bar answer: {line!r}")
    return tuple(int(v) for v in m.groups())


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    m = re.match(rb"P6\n(\d+) (\d+)\n255\n", data)
    width, height = int(m[1]), int(m[2])
    return width, height, data[m.end():]


def filled_fraction(shot, client, bar, empty_row):
    """The share of the bar's inner width whose middle row differs from the empty bar."""
    y = client[1] + (bar[1] + bar[3]) // 2
    xs = range(client[0] + bar[0] + 1, client[0] + bar[2] - 1)
    changed = sum(1 for x, before in zip(xs, empty_row) if shot.pixel(x, y) != before)
    return changed / len(xs)


def empty_row(shot, client, bar):
    """The bar's middle row as it looks with nothing filled: its unfilled end's colour throughout.
    Taken from the end rather than from a bar at a small position, which may already fill a pixel."""
    y = client[1] + (bar[1] + bar[3]) // 2
    return [shot.pixel(client[0] + bar[2] - 3, y)] * (bar[2] - bar[0] - 2)


def check_picture(check, shot, client, picture, expected_path, tolerance):
    width, height, expected = read_ppm(expected_path)
    check((width, height) == (picture[2] - picture[0] - 1, picture[3] - picture[1] - 1),
          f"the picture is scaled to the placeholder minus one pixel ({width}x{height})")
    visible_width = min(width, client[2] - client[0])
    worst, total, samples = 0, 0, 0
    # Away from the picture's own edges, where a halftone stretch may blend differently.
    for y in range(4, height - 4, 7):
        for x in range(4, visible_width - 4, 7):
            got = shot.pixel(client[0] + x, client[1] + y)
            i = (y * width + x) * 3
            diff = max(abs(got[c] - expected[i + c]) for c in range(3))
            worst, total, samples = max(worst, diff), total + diff, samples + 1
    mean = total / samples
    check(mean <= tolerance[0] and worst <= tolerance[1],
          f"the picture matches the scaled bitmap at {samples} points (mean {mean:.2f}, worst {worst})")
    # The row under the picture shows the dialog's background, not the picture's last row.
    line_y = client[1] + picture[3] - 1
    background = shot.pixel(client[0] + 1, client[1] + picture[3])
    line = [shot.pixel(client[0] + x, line_y) for x in range(2, visible_width - 2)]
    check(all(p == background for p in line), "the line below the picture shows the dialog background")


def dismiss_box_when_shown(display, found):
    deadline = time.monotonic() + ANSWER_TIMEOUT_S
    while time.monotonic() < deadline:
        ids = display.find_windows(f"^{BOX_CAPTION}$")
        if ids:
            time.sleep(BOX_PAINT_S)
            found.append(display.screenshot(ids[0]))
            display.press_return(ids[0])
            return
        time.sleep(0.2)


def run(args):
    check = xdisplay.Check()
    os.makedirs(args.output, exist_ok=True)
    with xdisplay.XDisplay() as display, open(os.path.join(args.output, "driver-stderr.txt"), "w") as log:
        command = [args.driver] if args.platform == "linux" else [args.wine_run, args.driver]
        env = display.env()
        if args.platform == "wine":
            env["WEBSETUP_WINEDEBUG"] = "-all"
        driver = Driver(command, env, log)
        try:
            exercise(check, display, driver, args)
        finally:
            driver.close()
        # A sanitizer build reports a leak or a fault in the window code through this.
        check(driver.process.returncode == 0, f"the driver ended cleanly (exit {driver.process.returncode})")
    return check.status()


def exercise(check, display, driver, args):
    facts = driver.facts
    client = rect(facts["client"])
    rects = {"client": (0, 0, client[2] - client[0], client[3] - client[1]),
             "picture": rect(facts["picture"]), "progress": rect(facts["progress"])}
    base = base_units_for(rects)
    check(base is not None, f"the layout is the template in dialog units (base units {base}, {rects})")
    check(facts.get("title") == TITLE, f"the window text is {TITLE!r}")
    check(facts.get("picture-control") == "bound 1 painted 0 marquee 0",
          f"the hot-spot control is bound to the hidden placeholder and never paints ({facts.get('picture-control')})")
    centre = ((client[0] + client[2]) / 2, (client[1] + client[3]) / 2)
    check(abs(centre[0] - display.width / 2) <= 1 and abs(centre[1] - display.height / 2) <= 1,
          f"the window is centred on the screen (client {client})")
    if args.platform == "wine":
        check(facts.get("style") == "topmost 1 caption 0 border 1 popup 1 visible 1",
              f"topmost, no caption, thin border, popup, visible ({facts.get('style')})")
        frame = rect(facts["frame"])
        check((client[0] - frame[0], frame[2] - client[2]) == (1, 1), f"a one-pixel frame ({frame})")
        # A themed bar animates each move on timers that never run without a message loop; the
        # program stays themed (its message boxes), the bar alone draws the classic smooth fill
        # inside the one-pixel sunken edge the template's border becomes.
        check(facts.get("bar-style") == "app-themed 1 theme 0 smooth 1 border 0 edge 1 frame 1",
              f"the bar alone has no theme: classic, smooth, a one-pixel edge ({facts.get('bar-style')})")
    else:
        xid = facts.get("xid", "")
        props = display.run("xprop", "-id", xid, "_NET_WM_STATE", "_MOTIF_WM_HINTS", "WM_NAME")
        check("_NET_WM_STATE_ABOVE" in props, "the window asks to be kept above the others")
        hints = re.search(r"_MOTIF_WM_HINTS\(_MOTIF_WM_HINTS\) = (\w+), (\w+), (\w+)", props)
        check(hints is not None and int(hints[1], 0) & 2 and int(hints[3], 0) == 0,
              "the window asks for no decorations")
        check(f'"{TITLE}"' in props, "the window manager sees the title")

    expected = os.path.join(args.output, "expected-picture.ppm")
    check(driver.send(f"expected {expected}") == ["written"], "the driver wrote the expected picture")
    shot = display.screenshot()
    shot.save_png(os.path.join(args.output, f"{args.platform}-splash.png"))
    check_picture(check, shot, client, rects["picture"], expected, args.tolerance)

    bar = rects["progress"]
    check(bar_state("bar " + facts["bar"]) == (0, 100, 1, 0, 100, 1), "the bar starts at 1 of 0..100")
    shot = display.screenshot()
    empty = empty_row(shot, client, bar)
    sliver = filled_fraction(shot, client, bar, empty)
    check(0.005 <= sliver <= 0.03, f"the bar is painted with the window, showing its 1 % sliver ({sliver:.3f})")
    check(bar_state(driver.send("total 1000")[0]) == (0, 1000, 1, 0, 1000, 1), "the total keeps the position")
    answers = driver.send("progress 0", answers=2)
    check(bar_state(answers[1])[2] == 1, "an empty message leaves the position")
    answers = driver.send("progress 499 12345", answers=2)
    check(answers[0] == "result 0" and bar_state(answers[1])[2] == 500,
          "a message adds wParam, ignores lParam and answers 0")
    shot = display.screenshot()
    shot.save_png(os.path.join(args.output, f"{args.platform}-half.png"))
    half = filled_fraction(shot, client, bar, empty)
    check(abs(half - 0.5) <= 0.02, f"half the bytes fill half the bar ({half:.3f}), with no message loop")
    answers = driver.send("progress 600", answers=2)
    check(bar_state(answers[1])[2:] == (1000, 0, 1000, 1000), "an overshoot stops at the end")
    full = filled_fraction(display.screenshot(), client, bar, empty)
    check(full >= 0.995, f"an overshoot shows a full bar ({full:.3f})")
    state = bar_state(driver.send("total 3000000000")[0])
    check(state == (0, 3_000_000_000, 1000, 0, 1_500_000_000, 500),
          f"a 3 GB total is halved into the control's range ({state})")
    answers = driver.send("progress 1499999000", answers=2)
    check(bar_state(answers[1])[3:] == (0, 1_500_000_000, 750_000_000), "half of 3 GB fills half the control")
    half = filled_fraction(display.screenshot(), client, bar, empty)
    check(abs(half - 0.5) <= 0.02, f"half of 3 GB fills half the bar ({half:.3f})")

    found = []
    presser = threading.Thread(target=dismiss_box_when_shown, args=(display, found))
    presser.start()
    answer = driver.send("box Error: Download site not found.")
    presser.join()
    check(answer == ["closed"] and found, "a message box appears and closes on Return")
    if found:
        box = found[0]
        box.save_png(os.path.join(args.output, f"{args.platform}-box.png"))
        colours = {box.pixel(x, y) for y in range(0, box.height, 3) for x in range(0, box.width, 3)}
        check(len(colours) > 8, f"the message box is painted ({len(colours)} colours)")

    check(driver.send("untop") == ["untopped"], "the window leaves the topmost band")
    check(driver.send("destroy") == ["destroyed 1 picture-bound 0"], "the window is destroyed, and the picture control with it")
    time.sleep(0.3)
    check(not display.find_windows(f"^{TITLE}$"), "no splash window is left on the screen")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--platform", choices=("linux", "wine"), required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--wine-run")
    parser.add_argument("--output", required=True, help="folder for the screenshots")
    args = parser.parse_args(argv)
    # Our own scale on Linux is the reference itself; wine's halftone filter differs a little.
    args.tolerance = (0.5, 2) if args.platform == "linux" else (6.0, 48)
    return xdisplay.run_screen_test(run, args)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
