#!/usr/bin/env python3
"""The splash window on scaled screens, measured on the screen against the unscaled one.

Linux runs the splash driver under GDK_SCALE=1 and 2; wine runs the Windows build at 96, 144
and 192 dpi (LogPixels), in a wine prefix of this test's own, so that the shared prefix's
resolution never changes under the tests running beside it. Each shot is measured from its
pixels: the window, where the picture's pixels are, and the bar. At scale s, against the
unscaled shot: the window is s times as large, the picture and the bar sit at the same places
in it (within TOLERANCE_PX per edge), the picture scaled back shows the same content, and the
picture is our averaging scale of the bitmap to the screen's own pixels (exact on Linux, within
a halftone's tolerance on wine), which at 2x shows in pixels that do not repeat in pairs as a
picture drawn at the unscaled size and enlarged would. Screenshots are kept for a person.
"""
import argparse
import fcntl
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
sys.path.insert(0, HERE)
import xdisplay  # noqa: E402
from splash_screenshot_test import Driver, read_ppm  # noqa: E402

# Large enough for the window at 2x (1088 x 542 on wine at 192 dpi) and for GDK's unscaled
# layout at GDK_SCALE=2 (the screen is 640 x 400 to it).
SCREEN = (1280, 800)
# An edge may be off by the rounding of the scaled layout and by the one-pixel window border,
# which Windows does not scale.
TOLERANCE_PX = 2
# The picture scaled back to the unscaled size: mean and worst channel difference, sampled.
SCALED_BACK_MEAN = 4.0
# Against our own scale of the bitmap: mean and worst channel difference. On Linux our scale is
# what is drawn; wine's halftone filter enlarges a little differently, by up to half the
# contrast at the letters' edges, so there only the mean is bounded.
FILTER_TOLERANCE = {"linux": (0.5, 2), "wine": (3.0, 255)}
# At 2x a picture enlarged from the unscaled size repeats every pixel in 2 x 2 blocks (all of
# them, seen: 1.00); one scaled to the screen's pixels repeats one only where the bitmap is
# flat or one of its pixels covers the block (seen: 0.48).
MOST_REPEATED_BLOCKS = 0.9
SAMPLE_STEP = 3
LOCK_TIMEOUT_S = 240
WINE_SERVER_TIMEOUT_S = 30
# The first call in a fresh prefix makes it: 10 to 20 s.
REG_TIMEOUT_S = 120


def measure(shot):
    """Window, picture and bar as (left, top, right, bottom) on the screen. The window is what
    differs from the screen's background along the screen's middle lines (it is centred); its
    border is the colour of its outermost pixels; the dialog's background is the colour of its
    last row inside the border; the picture is what differs from that background inside the
    border along the window's middle column and along the picture's middle row; the bar is the
    box of what differs from the background below the picture."""
    root = shot.pixel(0, 0)
    cx, cy = shot.width // 2, shot.height // 2
    xs = [x for x in range(shot.width) if shot.pixel(x, cy) != root]
    ys = [y for y in range(shot.height) if shot.pixel(cx, y) != root]
    if not xs or not ys:
        raise AssertionError("no window on the screen")
    window = (xs[0], ys[0], xs[-1] + 1, ys[-1] + 1)
    border_colour = shot.pixel(window[0], cy)
    border = next(i for i in range(window[2] - window[0]) if shot.pixel(window[0] + i, cy) != border_colour)
    left, top, right, bottom = window[0] + border, window[1] + border, window[2] - border, window[3] - border
    background = shot.pixel(cx, bottom - 1)
    picture_top = next(y for y in range(top, bottom) if shot.pixel(cx, y) != background)
    picture_bottom = next(y for y in range(picture_top, bottom) if shot.pixel(cx, y) == background)
    middle = (picture_top + picture_bottom) // 2
    picture_left = next(x for x in range(left, right) if shot.pixel(x, middle) != background)
    picture_right = next((x for x in range(picture_left, right) if shot.pixel(x, middle) == background), right)
    marked_x, marked_y = [], []
    for y in range(picture_bottom, bottom):
        row = [x for x in range(left, right) if shot.pixel(x, y) != background]
        if row:
            marked_x += (row[0], row[-1])
            marked_y.append(y)
    if not marked_y:
        raise AssertionError("no bar below the picture")
    bar = (min(marked_x), marked_y[0], max(marked_x) + 1, marked_y[-1] + 1)
    return {"window": window, "picture": (picture_left, picture_top, picture_right, picture_bottom), "bar": bar}


def relative(rects):
    """Each rectangle with the window's top-left corner as origin."""
    wl, wt = rects["window"][:2]
    return {k: (r[0] - wl, r[1] - wt, r[2] - wl, r[3] - wt) for k, r in rects.items()}


def area_mean(shot, box, x0, y0, x1, y1):
    """The mean colour of the part [x0, x1) x [y0, y1) of box (fractional edges weighted)."""
    total, weight = [0.0, 0.0, 0.0], 0.0
    for y in range(int(y0), min(int(y1) + 1, box[3] - box[1])):
        wy = min(y + 1, y1) - max(y, y0)
        if wy <= 0:
            continue
        for x in range(int(x0), min(int(x1) + 1, box[2] - box[0])):
            wx = min(x + 1, x1) - max(x, x0)
            if wx <= 0:
                continue
            p = shot.pixel(box[0] + x, box[1] + y)
            for c in range(3):
                total[c] += p[c] * wx * wy
            weight += wx * wy
    return [t / weight for t in total]


def scaled_back_difference(base_shot, base_box, shot, box):
    """Mean channel difference between the unscaled picture and the scaled one averaged back
    onto its pixels, sampled away from the picture's edges."""
    bw, bh = base_box[2] - base_box[0], base_box[3] - base_box[1]
    fx, fy = (box[2] - box[0]) / bw, (box[3] - box[1]) / bh
    total, samples = 0.0, 0
    for y in range(2, bh - 2, SAMPLE_STEP):
        for x in range(2, bw - 2, SAMPLE_STEP):
            back = area_mean(shot, box, x * fx, y * fy, (x + 1) * fx, (y + 1) * fy)
            base = base_shot.pixel(base_box[0] + x, base_box[1] + y)
            total += sum(abs(back[c] - base[c]) for c in range(3)) / 3
            samples += 1
    return total / samples


def repeated_blocks(shot, box):
    """The largest share, over the two alignments of a 2 x 2 grid, of blocks whose four pixels
    are equal."""
    shares = []
    for offset in (0, 1):
        equal = total = 0
        for y in range(box[1] + offset, box[3] - 1, 2):
            for x in range(box[0] + offset, box[2] - 1, 2):
                p = shot.pixel(x, y)
                equal += p == shot.pixel(x + 1, y) == shot.pixel(x, y + 1) == shot.pixel(x + 1, y + 1)
                total += 1
        shares.append(equal / total)
    return max(shares)


def filter_difference(shot, box, expected_path):
    """Mean and worst channel difference between the picture on the screen and the expected file."""
    width, height, expected = read_ppm(expected_path)
    worst, total, samples = 0, 0, 0
    for y in range(2, min(height, box[3] - box[1]) - 2, SAMPLE_STEP):
        for x in range(2, min(width, box[2] - box[0]) - 2, SAMPLE_STEP):
            got = shot.pixel(box[0] + x, box[1] + y)
            i = (y * width + x) * 3
            diff = max(abs(got[c] - expected[i + c]) for c in range(3))
            worst, total, samples = max(worst, diff), total + diff, samples + 1
    return total / samples, worst


def show_and_measure(display, command, env, args, name, log):
    """Starts the driver, shoots the screen, writes the expected picture for the size found
    there, and ends the driver. Returns (facts, shot, rects, expected picture's path)."""
    driver = Driver(command, env, log)
    try:
        shot = display.screenshot()
        shot.save_png(os.path.join(args.output, f"{name}.png"))
        rects = measure(shot)
        picture = rects["picture"]
        expected = os.path.join(args.output, f"{name}-expected.ppm")
        answer = driver.send(f"expected {expected} {picture[2] - picture[0]} {picture[3] - picture[1]}")
        if answer != ["written"]:
            raise AssertionError(f"the driver did not write the expected picture ({answer})")
    finally:
        driver.close()
    # A sanitizer build reports a leak or a fault in the window code through this.
    if driver.process.returncode != 0:
        raise AssertionError(f"{name}: the driver ended with exit {driver.process.returncode}")
    return driver.facts, shot, rects, expected


def compare(check, args, name, scale, base, scaled):
    """The checks of one scaled shot against the unscaled one."""
    _, base_shot, base_rects, _ = base
    _, shot, rects, expected = scaled
    rel, base_rel = relative(rects), relative(base_rects)
    print(f"{name}: " + ", ".join(f"{k} {rel[k]}" for k in ("window", "picture", "bar")))
    for part in ("window", "picture", "bar"):
        want = tuple(v * scale for v in base_rel[part])
        off = max(abs(a - b) for a, b in zip(rel[part], want))
        check(off <= TOLERANCE_PX, f"{name}: the {part} is the unscaled one times {scale:g} ({rel[part]}, "
                                   f"want {tuple(round(v, 1) for v in want)}, off by {off:g})")
    back = scaled_back_difference(base_shot, base_rects["picture"], shot, rects["picture"])
    check(back <= SCALED_BACK_MEAN, f"{name}: the picture scaled back is the unscaled one (mean difference {back:.2f})")
    mean, worst = filter_difference(shot, rects["picture"], expected)
    limit = FILTER_TOLERANCE[args.platform]
    check(mean <= limit[0] and worst <= limit[1],
          f"{name}: the picture is the bitmap scaled to the screen's pixels (mean {mean:.2f}, worst {worst})")
    if scale == 2:
        share = repeated_blocks(shot, rects["picture"])
        check(share <= MOST_REPEATED_BLOCKS,
              f"{name}: the picture is not the unscaled one enlarged ({share:.2f} of 2 x 2 blocks repeat a pixel)")


def run_linux(check, display, args, log):
    shots = {}
    for scale in (1, 2):
        env = display.env()
        env["GDK_SCALE"] = str(scale)
        env.pop("GDK_DPI_SCALE", None)
        shots[scale] = show_and_measure(display, [args.driver], env, args, f"linux-scale{scale}", log)
        seen = shots[scale][0].get("scale")
        check(seen == str(scale), f"GDK_SCALE={scale} reached the window (scale {seen})")
    compare(check, args, "linux-scale2", 2, shots[1], shots[2])


def wine_server():
    return next((p for p in ("/usr/lib/wine/wineserver", shutil.which("wineserver")) if p and os.path.exists(p)), None)


def stop_wine_server(prefix):
    server = wine_server()
    if server:
        env = dict(os.environ, WINEPREFIX=prefix)
        subprocess.run([server, "-k"], env=env, stderr=subprocess.DEVNULL, timeout=WINE_SERVER_TIMEOUT_S)
        subprocess.run([server, "-w"], env=env, stderr=subprocess.DEVNULL, timeout=WINE_SERVER_TIMEOUT_S)


def set_log_pixels(args, env, dpi):
    """The resolution a Windows user sets with the display scale (100 %, 150 %, 200 %); each
    program started afterwards reads it."""
    subprocess.run([args.wine_run, "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t",
                    "REG_DWORD", "/d", str(dpi), "/f"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=REG_TIMEOUT_S, check=True)


def lock(path):
    """An exclusive lock on path, waited for at most LOCK_TIMEOUT_S: two runs of this test share
    its prefix, and each sets the resolution in it."""
    handle = open(path, "w")
    deadline = time.monotonic() + LOCK_TIMEOUT_S
    while True:
        try:
            fcntl.flock(handle, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return handle
        except BlockingIOError:
            if time.monotonic() > deadline:
                raise AssertionError(f"{path} stayed locked for {LOCK_TIMEOUT_S} s")
            time.sleep(0.5)


def run_wine(check, display, args, log):
    shared = subprocess.run([args.wine_run, "--prefix"], capture_output=True, text=True, check=True,
                            env={k: v for k, v in os.environ.items() if k != "WEBSETUP_WINEPREFIX"}).stdout.strip()
    prefix = shared + "-scaled"
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    with lock(prefix + ".test-lock"):
        env = display.env()
        env["WEBSETUP_WINEPREFIX"] = prefix
        env["WEBSETUP_WINEDEBUG"] = "-all"
        # A server left by a run that was killed knows a display that no longer exists.
        stop_wine_server(prefix)
        try:
            shots = {}
            for dpi in (96, 144, 192):
                set_log_pixels(args, env, dpi)
                shots[dpi] = show_and_measure(display, [args.wine_run, args.driver], env, args, f"wine-{dpi}dpi", log)
                seen = shots[dpi][0].get("dpi")
                check(seen == str(dpi), f"LogPixels {dpi} reached the program (dpi {seen})")
            for dpi in (144, 192):
                compare(check, args, f"wine-{dpi}dpi", dpi / 96, shots[96], shots[dpi])
        finally:
            stop_wine_server(prefix)


def run(args):
    check = xdisplay.Check()
    os.makedirs(args.output, exist_ok=True)
    with xdisplay.XDisplay(*SCREEN) as display, open(os.path.join(args.output, "scale-driver-stderr.txt"), "w") as log:
        if args.platform == "linux":
            run_linux(check, display, args, log)
        else:
            run_wine(check, display, args, log)
    return check.status()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--platform", choices=("linux", "wine"), required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--wine-run")
    parser.add_argument("--output", required=True, help="folder for the screenshots")
    args = parser.parse_args(argv)
    if args.platform == "wine" and not wine_server():
        print("skipped: wineserver is not installed (scripts/deps.sh installs wine64)")
        return 77
    return xdisplay.run_screen_test(run, args)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
