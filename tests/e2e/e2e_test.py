#!/usr/bin/env python3
"""Whole runs of the real Setup program against a private nginx, with a real final setup.

Each case is one run of a copy of Setup named Setup_<case>_, so its setup name, its URLs, its
setup temp folder and its message-box caption are its own, and the cases can run at once
against one server. The final setup is the test stub, itself one of the downloaded files (a
download that is not made startable fails the case); through the environment it records its
working directory and copies of the files it finds into a folder outside the setup temp
folder, sleeps, writes "finished" and exits with the code the case chooses.

  linux: Setup with name-based hosts, reached through http_proxy; no display, so each
         message box is one line "caption: text" on stderr. The Splash cases run on a private
         Xvfb instead: the splash window and GTK message boxes, pressed with xdotool.
  wine:  Setup.exe with 127.0.0.1:PORT hosts (WinINet under wine ignores http_proxy), run
         under wine64 on a private Xvfb; message boxes are dismissed with xdotool and their
         texts read from the window trace.

With --faults the cases are FAULT_CASES: a full disk, servers that stall or drop a file, on a
new connection or one kept from an earlier request (the fault host, tests/support/faulthost.py,
which keeps connections as HTTP/1.1 servers do), a redirect loop, a 407, and on Linux squid asking for
a password (tests/support/proxyhost.py); each line gives the run's time and Setup's CPU time.

With --resume the cases are RESUME_CASES: a signed description lists Product.dat's SHA-256 and
the fault host cuts its first download in the middle; the retry resumes where the cut left it,
or, where the server offers no ranges or no strong validator, starts again as before.

With --https the Setup is an https build and the cases are HTTPS_CASES, on both platforms
against 127.0.0.1:PORT hosts (nginx cannot tunnel https through http_proxy). Each run makes a
throwaway CA with openssl and certificates for the hosts; a host that must be refused has one
from another CA, or one for another name. The Linux Setup trusts the test CA from the file it
was built to read; wine 8 builds its trusted roots from the host's CA files alone, so each wine
run gets them in a mount namespace of its own, with the test CA added.
"""
import argparse
import concurrent.futures
import contextlib
import copy
import dataclasses
import datetime
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import e2e_tls  # noqa: E402
import faulthost  # noqa: E402
import proxyhost  # noqa: E402
from e2e_platforms import LinuxPlatform, WinePlatform, per_platform, read  # noqa: E402
import webhost  # noqa: E402

USER_INFO_NAME = "UserInfo.txt"
# Most runs only sleep; a few at a time keep a shared two-core machine usable.
PARALLEL_RUNS = 6
STUB_SLEEP_MS = 300  # long enough that a Setup that does not wait is gone before "finished"
LONG_RUN_SLEEP_MS = 6000  # longer than one 5 s wait slice
# The first run of the Twice case waits this long in its final setup: time enough for a second
# run to start (a wine start takes seconds) and end while the first still holds the folder.
TWICE_SLEEP_MS = 15000
TWICE_WAIT_S = 120  # at most this long for the first run's final setup to start
ALREADY_RUNNING = "Setup is already running."
PRODUCT_BYTES = 70_000  # several 1024-byte chunks, and a declared length well over 1000
BOUNDARY_BYTES = 1000  # a first listed file of exactly this size does not qualify a site
TIME_FORMAT = "%d-%m-%Y %H:%M:%S"
MIN_SERIAL = 5  # the signed test Setups' WEBSETUP_MIN_DESCRIPTION_SERIAL
NOT_LOADED = "Error opening the initial setup eif."


def utc_text(days_from_now):
    when = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(days=days_from_now)
    return when.strftime("%Y-%m-%dT%H:%M:%SZ")


@dataclasses.dataclass
class Case:
    name: str
    # Where the description comes from: "download" (from the hosts), "local-no" (beside Setup,
    # "Download Initial Setup" = "No") or "local-path" (beside Setup, another value, so its
    # "Download Path" names where the fresh one is fetched).
    mode: str = "download"
    initial_on: tuple = ("p",)  # hosts that serve SetupInitial.eif
    sites: tuple = ("m1",)  # the description's "Download Sites"
    small_first_on: tuple = ()  # sites whose first listed file declares exactly 1000 bytes
    redirect_first: bool = False  # m1 answers the first file with a 302 to m2's copy
    notes_to_http: bool = False  # m1 answers Notes.txt with a 302 to its copy on plain http (h)
    listed: bool = True  # False: an empty "Files to download"
    notes_fail: bool = False  # the listed Notes.txt answers 404
    older_notes: bool = False  # an older Notes.txt lies beside Setup (local mode copies it)
    exit_code: object = 0  # the final setup's exit code; or a code per platform, {"linux": 42, ...}
    sleep_ms: int = STUB_SLEEP_MS
    message: str = None  # the one message box the run shows, if any
    display: bool = False  # Linux: the run has an X display of its own (splash window, GTK boxes)
    # Linux: a display is set that cannot be opened ("x-screen", "wayland"); the run says why on
    # stderr and goes on on the terminal.
    unusable_display: str = None
    requests: set = None  # (host role, URI) pairs the hosts must see, exactly; None: unchecked
    # The run uses the Setup built with the test signing key; its genuine description is signed
    # and lists "File Hashes".
    signed: bool = False
    # What an attacker who holds a copy of that Setup (so the description key), but not the
    # signing key, does to the run: see Prepared._attack.
    attack: str = None
    # The support log asked for by "argument" (/log FILE) or "variable" (WEBSETUP_LOG), and what
    # it must say, in this order ({program} and {m1} filled in).
    log: str = None
    log_lines: tuple = ()
    # eiftool check --online runs against the same hosts first; its prediction (site, byte
    # total, message) must be what the run then does, as its support log tells.
    preflight: bool = False
    # The name as it reaches the server, as nginx logs it (see NAME_ROWS); None: the name itself.
    wire: str = None
    query: bool = False  # the listed Notes.txt is asked for with the name as its query
    download_path: str = "/elsewhere/LocalPath"  # local-path mode: the "Download Path" beside Setup
    # Some connection carries two or more of the run's requests: a probe and the transfer after
    # it, or one listed file after another, go over one connection.
    reuse: bool = False

    def on_wire(self):
        return self.wire if self.wire is not None else self.name
    # What goes wrong with Product.dat (see FAULT_CASES): "stall", "drop", "407", "stall-kept",
    # "stall-head-kept" (the fault host f), "loop" (m1 redirects it to itself) or "disk-full" (a
    # small tmpfs for the temp folder).
    fault: str = None
    # Linux: the run reaches the name-based hosts through a squid that asks for a password in
    # this scheme ("basic" or "digest"), giving it the right one, a wrong one or none.
    proxy: str = None
    credentials: str = "right"
    # A second run of the same product is started while the first's final setup runs: it must
    # say "Setup is already running." and leave the first's folder alone.
    twice: bool = False
    # Resume cases: what the fault host answered to each request for Product.dat, in order.
    fault_answers: tuple = None
    # A signed case's "Serial", "Setup Name" and "Expires" (see signed_tags) where they differ from
    # the genuine current ones; None leaves a tag out. no_hashes: no "File Hashes" either.
    signed_tags: dict = None
    no_hashes: bool = False
    # Unsigned: a "File Hashes" without Notes.txt's line; the local name Notes.txt is listed as.
    partial_hashes: bool = False
    notes_local: str = "Notes.txt"
    # Why the wine run cannot show this case (wine's WinINet differs from Windows' there).
    not_on_wine: str = None
    # The run must take at least this long: Setup waits out what the download rules say.
    min_seconds: float = 0
    # Setup's own switches ("/quiet", "/passive"), and what follows "--" on its command line.
    switches: tuple = ()
    after_dash: tuple = None
    # The description's "Unattended Arguments" line, and the arguments the final setup must find.
    unattended_arguments: str = None
    final_arguments: tuple = ()
    # The user's locale (LANG) for the run; None: C.UTF-8, a locale that names no language (English).
    lang: str = None

    def unattended(self):
        return bool(self.switches)

    def quiet(self):
        return any(s.lower() in ("/quiet", "/q", "/silent", "--quiet") for s in self.switches)


CASES = [
    Case("Primary", reuse=True, requests={("p", "/downloads/Setups/Primary/SetupInitial.eif"),
                              ("m1", "/Primary/FinalSetup.bin"), ("m1", "/Primary/Product.dat"),
                              ("m1", "/Primary/Notes.txt")}),
    Case("Secondary", initial_on=("s",),
         requests={("p", "/downloads/Setups/Secondary/SetupInitial.eif"),
                   ("s", "/downloads/Setups/Secondary/SetupInitial.eif"),
                   ("m1", "/Secondary/FinalSetup.bin"), ("m1", "/Secondary/Product.dat"),
                   ("m1", "/Secondary/Notes.txt")}),
    Case("NoHost", initial_on=(), message="Error: Download site not found."),
    # Messages in the user's language; a language Setup has no catalogue for gets the English text.
    Case("German", initial_on=(), lang="de_DE.UTF-8", message="Fehler: Die Download-Website wurde nicht gefunden."),
    Case("Japanese", notes_fail=True, lang="ja_JP.UTF-8", log="argument", log_lines=("texts in: ja",),
         message="\u30a8\u30e9\u30fc: Notes.txt \u3092\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3067\u304d"
                 "\u307e\u305b\u3093\u3067\u3057\u305f"),
    Case("Dutch", initial_on=(), lang="nl_NL.UTF-8", message="Error: Download site not found."),
    Case("LocalNo", mode="local-no", listed=False, requests=set()),
    Case("LocalPath", mode="local-path",
         requests={("p", "/elsewhere/LocalPath/SetupInitial.eif"), ("m1", "/LocalPath/FinalSetup.bin"),
                   ("m1", "/LocalPath/Product.dat"), ("m1", "/LocalPath/Notes.txt")}),
    # A "Download Path" with marks a URL carries as they are, and a space ('[' and '$' cannot be in
    # a description's value).
    Case("PathMarks", mode="local-path", download_path="/PathMarks/else where R&D+;=,{2}!'()~@^`",
         requests={("p", "/PathMarks/else%20where%20R&D+;=,{2}!'()~@^`/SetupInitial.eif"),
                   ("m1", "/PathMarks/FinalSetup.bin"),
                   ("m1", "/PathMarks/Product.dat"), ("m1", "/PathMarks/Notes.txt")}),
    Case("SmallMirror", sites=("m1", "m2"), small_first_on=("m1",), log="argument", preflight=True,
         requests={("p", "/downloads/Setups/SmallMirror/SetupInitial.eif"), ("m1", "/SmallMirror/FinalSetup.bin"),
                   ("m2", "/SmallMirror/FinalSetup.bin"), ("m2", "/SmallMirror/Product.dat"),
                   ("m2", "/SmallMirror/Notes.txt")}),
    Case("Redirect", redirect_first=True),
    Case("OlderCopy", mode="local-no", notes_fail=True, older_notes=True),
    Case("FileFails", notes_fail=True, message="Error: Failed to download Notes.txt", log="argument", preflight=True,
         log_lines=("Setup started: ", "site {m1}: declares ", ", chosen", "listed file {program}: in place",
                    "download http://{m1}/FileFails/Notes.txt attempt 4 of 4 failed: status 404",
                    "failed: Notes.txt: every attempt at http://{m1}/FileFails/Notes.txt failed",
                    "message box: Error: Failed to download Notes.txt", "setup temp folder removed")),
    # What the run refuses before fetching a file, the preflight must predict.
    Case("HashLineMissing", partial_hashes=True, message="Error: Failed to download Notes.txt", log="argument",
         preflight=True),
    Case("LocalNotPlain", notes_local="../Notes.txt", message="Error: Failed to download ../Notes.txt",
         log="argument", preflight=True),
    Case("ExitCode", exit_code=3, log="variable",
         log_lines=("Setup started: ", "final setup started: ", "final setup ended with exit code 3",
                    "setup temp folder removed")),
    Case("LongRun", sleep_ms=LONG_RUN_SLEEP_MS),
    Case("Twice", sleep_ms=TWICE_SLEEP_MS, twice=True),
    # Unattended runs: no box (on Linux the message goes to stderr; a quiet run shows no window
    # at all), an exit code a deployment tool reads, and a support log kept beside the setup temp
    # folder. An interactive run ignores the description's unattended line, but not "--".
    Case("Quiet", switches=("/quiet",), display=True, unattended_arguments='/S /v"/qn REBOOT=R"',
         after_dash=("a b", 'say "hi"'), final_arguments=("/S", "/v/qn REBOOT=R", "a b", 'say "hi"')),
    Case("QuietNoHost", switches=("/Q",), initial_on=(), message="Error: Download site not found."),
    Case("QuietFileFails", switches=("--quiet",), notes_fail=True, message="Error: Failed to download Notes.txt"),
    Case("QuietTwice", switches=("/quiet",), sleep_ms=TWICE_SLEEP_MS, twice=True),
    Case("PassiveRestart", switches=("/passive",), exit_code={"linux": 42, "wine": 3010}, after_dash=(),
         unattended_arguments="/norestart", final_arguments=("/norestart",)),
    Case("PassiveFails", switches=("/passive",), display=True, notes_fail=True,
         message="Error: Failed to download Notes.txt"),
    Case("DashOnly", unattended_arguments="/S", after_dash=("x y",), final_arguments=("x y",)),
    # A wine run always has a display; these are the Linux runs with one (or one set that cannot be used).
    Case("Splash", display=True),
    Case("SplashNoHost", initial_on=(), display=True, message="Error: Download site not found."),
    Case("NoScreen", initial_on=(), unusable_display="x-screen", message="Error: Download site not found."),
    Case("NoWayland", initial_on=(), unusable_display="wayland", message="Error: Download site not found."),
    # The signed Setup: the genuine run, then attacks that must each end with their step's message.
    Case("Signed", signed=True, requests={("p", "/downloads/Setups/Signed/SetupInitial.eif"),
                                          ("p", "/downloads/Setups/Signed/SetupInitial.eif.sig"),
                                          ("m1", "/Signed/FinalSetup.bin"), ("m1", "/Signed/Product.dat"),
                                          ("m1", "/Signed/Notes.txt")}),
    Case("ForgedUnsigned", signed=True, attack="forge", message="Error opening the initial setup eif."),
    Case("ForgedGenuineSig", signed=True, attack="forge-keep-signature",
         message="Error opening the initial setup eif."),
    Case("SwappedProgram", signed=True, attack="swap-program", message="Error: Failed to download {program}"),
    Case("Truncated", signed=True, attack="truncate", message="Error: Failed to download Product.dat"),
    Case("ForgedLocal", signed=True, mode="local-no", listed=False, attack="forge",
         message="Error opening the local initial setup eif."),
    # Genuinely signed descriptions that are not the current one for this setup: an older
    # release's (its serial below the Setup's lowest), an expired one, the expired one given a
    # later "Expires" (its signature no longer fits), another product's, and one that vouches for
    # no file. Each is refused as a description that does not load.
    Case("OldSerial", signed=True, signed_tags={"Serial": str(MIN_SERIAL - 1)}, message=NOT_LOADED, log="argument",
         log_lines=(f"the downloaded description is refused: its serial {MIN_SERIAL - 1} is below {MIN_SERIAL}",)),
    Case("NoSerial", signed=True, signed_tags={"Serial": None}, message=NOT_LOADED),
    Case("Expired", signed=True, signed_tags={"Expires": utc_text(-2)}, message=NOT_LOADED, log="argument",
         log_lines=("the downloaded description is refused: it expired at ", "this computer's clock says ")),
    Case("ExpiryEdited", signed=True, signed_tags={"Expires": utc_text(-2)}, attack="edit-expires",
         message=NOT_LOADED),
    Case("OtherProduct", signed=True, signed_tags={"Setup Name": "Another"}, message=NOT_LOADED, log="argument",
         log_lines=("the downloaded description is refused: it is for the setup \"Another\", not for \"OtherProduct\"",)),
    Case("SignedNoHashes", signed=True, no_hashes=True, message=NOT_LOADED),
    Case("ExpiredLocal", signed=True, mode="local-no", listed=False, signed_tags={"Expires": utc_text(-2)},
         message="Error opening the local initial setup eif."),
    Case("SignedLocal", signed=True, mode="local-no", listed=False, requests=set()),
]

# Setup names a user may give Setup (a Windows file name may hold all of them): the name, then
# how it reaches the server from Linux and from Windows as nginx logs it (bytes beyond ASCII as
# \xHH), then the message of a run that cannot fetch its description under that name (None:
# the run completes). Each name is also in the listed files' remote parts and in a query.
NOT_FOUND = "Error: Download site not found."
NAME_ROWS = [
    ("My App", "My%20App", "My%20App", None),
    ("R&D+;=,{1}!'()~@^`", "R&D+;=,{1}!'()~@^`", "R&D+;=,{1}!'()~@^`", None),
    # '[' and '$' have a meaning in a description, so no host serves this name: its probes only.
    ("App[2]$", "App[2]$", "App[2]$", "unserved"),
    # Sent as it is: "100%/" is no escape, and the server refuses the request.
    ("100%", "100%", "100%", NOT_FOUND),
    # Windows (wine's WinINet) sends the ANSI code page's bytes unescaped; Linux the UTF-8 ones,
    # escaped. A server stores the name in one of the two forms, so it serves one platform.
    ("Caf\u00e9 Cr\u00e8me", "Caf%C3%A9%20Cr%C3%A8me", "Caf\\xE9%20Cr\\xE8me", None),
    # Letters outside the ANSI code page reach the server from wine's WinINet as '?'.
    ("\u65e5\u672c\u8a9e", "%E6%97%A5%E6%9C%AC%E8%AA%9E", "???", {"wine": NOT_FOUND}),
    # WinINet sends '#' unescaped, so the server takes the name as ending before it.
    ("C#", "C%23", "C#", {"wine": NOT_FOUND}),
]


def name_cases(platform):
    cases = []
    for name, linux, wine, message in NAME_ROWS:
        wire = linux if platform == "linux" else wine
        if isinstance(message, dict):
            message = message.get(platform)
        served = message != "unserved"
        message = NOT_FOUND if not served else message
        initial = f"/downloads/Setups/{wire}/SetupInitial.eif"
        requests = {("p", initial), ("s", initial)} if message else \
            {("p", initial), ("m1", f"/{wire}/FinalSetup.bin"), ("m1", f"/{wire}/Product.dat"),
             ("m1", f"/{wire}/Notes.txt?{wire}")}
        cases.append(Case(name, initial_on=("p",) if served else (), wire=wire, query=True, message=message,
                          requests=requests))
    return cases


# An https build's runs: sites with a certificate from the test CA, from another CA (u), for
# another name (n), and a mirror whose file goes down to plain http.
# The https Setup is built with the signing key too: the genuine signed description with hashes
# over https, and what a certificate or a redirect does to it.
HTTPS_CASES = [
    Case("Https", redirect_first=True, signed=True,
         requests={("p", "/downloads/Setups/Https/SetupInitial.eif"), ("p", "/downloads/Setups/Https/SetupInitial.eif.sig"),
                   ("m1", "/Https/FinalSetup.bin"), ("m2", "/Https/FinalSetup.bin"), ("m1", "/Https/Product.dat"),
                   ("m1", "/Https/Notes.txt")}),
    Case("OtherCa", sites=("u",), signed=True, message="Error: Download site not found."),
    Case("OtherName", sites=("n",), signed=True, message="Error: Download site not found."),
    Case("DownToHttp", notes_to_http=True, signed=True, message="Error: Failed to download Notes.txt"),
]

# Runs that meet a broken network or a full disk, on both platforms: each ends with the message
# of its step, and no later than the download rules allow (no hang, no spinning core). The fault
# host f serves from 127.0.0.1, which Linux runs reach past http_proxy through no_proxy.
FAILED_PRODUCT = "Error: Failed to download Product.dat"
FAULT_CASES = [
    Case("DiskFull", fault="disk-full", message=FAILED_PRODUCT, log="argument",
         log_lines=("attempt 1 of 4 failed: writing the file failed (is the disk full?); no further attempt",
                    "message box: " + FAILED_PRODUCT)),
    # Four attempts, each given 20 s of silence (a stall) or of missing data (a drop).
    Case("Stall", sites=("f",), fault="stall", message=FAILED_PRODUCT, min_seconds=80, log="argument",
         log_lines=("attempt 4 of 4 failed: ", "message box: " + FAILED_PRODUCT)),
    Case("Drop", sites=("f",), fault="drop", message=FAILED_PRODUCT, min_seconds=80, log="argument",
         log_lines=("attempt 4 of 4 failed: ", " declared bytes, then no more data for 2", "message box: " + FAILED_PRODUCT)),
    # A kept connection that goes silent, after the headers or before them, holds one attempt (or
    # a probe) for the stall limit; the file then comes whole on the next.
    Case("StallKept", sites=("f",), fault="stall-kept", min_seconds=20, log="argument",
         log_lines=("/StallKept/Product.dat attempt 1 of 4 failed: reading failed after ",
                    "/StallKept/Product.dat attempt 2 of 4: 70000 bytes into ")),
    Case("StallHeadKept", sites=("f",), fault="stall-head-kept", min_seconds=20, log="argument",
         log_lines=("/StallHeadKept/Product.dat", "no response")),
    Case("RedirectLoop", fault="loop", message=FAILED_PRODUCT,
         not_on_wine="wine's WinINet follows a redirect loop without limit (about 2,500 requests a second), "
                     "and closing the request from its status callback does not end the loop"),
    Case("Answers407", sites=("f",), fault="407", message=FAILED_PRODUCT),
    # Linux: squid on the way to every name-based host.
    Case("ProxyBasic", proxy="basic"),
    Case("ProxyDigest", proxy="digest"),
    # The proxy's refusal is an error status, so neither host passes the probe.
    Case("ProxyWrongPassword", proxy="digest", credentials="wrong", message="Error: Download site not found.",
         log="variable", log_lines=("proxy: http_proxy=http://127.0.0.1:", "SetupInitial.eif: status 407", ", lost", "SetupInitial.eif: status 407", ", lost",
                                    "failed: neither download host serves ",
                                    "message box: Error: Download site not found.")),
    Case("ProxyNoPassword", proxy="basic", credentials="none", message="Error: Download site not found."),
    Case("ProxyBypassed", proxy="digest", sites=("f",)),
]
# A Product.dat cut after half its bytes on its first download (the fault host's "cut" faults),
# with a signed description that lists its SHA-256, so Setup may resume it. Each waits out the
# 20 s for the missing data once.
HALF = PRODUCT_BYTES // 2
RESUME_CASES = [
    Case("Resume", sites=("f",), signed=True, fault="cut", min_seconds=20, log="argument",
         fault_answers=(200, 200, f"206 from {HALF}"),
         log_lines=(f"/Resume/Product.dat attempt 1 of 4 failed: {HALF} of {PRODUCT_BYTES} declared bytes",
                    f"keeps {HALF} bytes to resume from",
                    f"/Resume/Product.dat attempt 2 of 4 (resumed at byte {HALF}): {PRODUCT_BYTES} bytes into ")),
    # The rest from nginx, which honours Range and If-Range with its own ETag: the fault host cuts
    # the first download, then sends Setup on to nginx's copy (m1).
    Case("ResumeNginx", sites=("f",), signed=True, fault="cut-to-nginx", min_seconds=20, log="argument",
         fault_answers=(200, 200, 302),
         log_lines=(f"keeps {HALF} bytes to resume from",
                    f"/ResumeNginx/Product.dat attempt 2 of 4 (resumed at byte {HALF}): {PRODUCT_BYTES} bytes into ")),
    # The file changed on the server meanwhile: the whole new one comes, and its hash decides.
    Case("ResumeReplaced", sites=("f",), signed=True, fault="cut-replaced", min_seconds=20, log="argument",
         message=FAILED_PRODUCT, fault_answers=(200, 200, 200, 200, 200),
         log_lines=(f"attempt 2 of 4 (asked to resume at byte {HALF}, got the whole file) failed: its SHA-256 is "
                    "not the one the description lists", "message box: " + FAILED_PRODUCT)),
    # No ranges, or a weak ETag: the retry asks for the whole file, as it always did.
    Case("ResumePlain", sites=("f",), signed=True, fault="cut-plain", min_seconds=20, fault_answers=(200, 200, 200)),
    Case("ResumeWeak", sites=("f",), signed=True, fault="cut-weak", min_seconds=20, fault_answers=(200, 200, 200)),
    # The rest came from other bytes: the whole file fails its hash and comes again from zero.
    Case("ResumeBadRest", sites=("f",), signed=True, fault="cut-bad-rest", min_seconds=20, log="argument",
         fault_answers=(200, 200, f"206 from {HALF}", 200),
         log_lines=(f"attempt 2 of 4 (resumed at byte {HALF}) failed: its SHA-256 is not the one",
                    f"/ResumeBadRest/Product.dat attempt 3 of 4: {PRODUCT_BYTES} bytes into ")),
]
PROXY_USER = "setupuser"
# Distinct enough that any trace of it in what Setup writes is found.
PROXY_PASSWORDS = {"right": "Kq7-right-proxy-secret", "wrong": "Kq7-wrong-proxy-secret"}
DISK_FULL_PRODUCT_BYTES = 4 * 1024 * 1024
# The tmpfs holds the description, the final setup and this much of Product.dat.
DISK_FULL_ROOM_BYTES = 256 * 1024


# -- descriptions -------------------------------------------------------------------------------
def signed_tags(case, overrides=None):
    """The trust tags of a signed case's description: the genuine current ones (the serial the
    signed test Setups take at least, this setup's name, a month to expiry), changed as the case
    says; an unsigned case has none."""
    if not case.signed:
        return {}
    tags = {"Serial": str(MIN_SERIAL), "Setup Name": case.name, "Expires": utc_text(30)}
    tags.update(case.signed_tags or {})
    tags.update(overrides or {})
    return {tag: value for tag, value in tags.items() if value is not None}


def description(case, hosts, program, local_tags=(), hashes=None, tags=None):
    """A description padded with comment lines, so its EIF declares well over 1000 bytes;
    hashes (local name -> bytes) become its "File Hashes", tags (name -> value) further tags."""
    lines = [f"// End-to-end description of the {case.name} case."]
    lines += ["// Padding: Setup refuses a host whose description declares under 1000 bytes."] * 16
    lines += list(local_tags)
    for tag, value in (tags or {}).items():
        lines += [f"[{tag}]", value]
    lines += ["[Download Sites]", *(hosts[role] for role in case.sites), "[Files to download]"]
    if case.listed:
        query = f"?{case.name}" if case.query else ""
        lines += [f"/{case.name}/FinalSetup.bin -> {program}", f"/{case.name}/Product.dat -> Product.dat",
                  f"/{case.name}/Notes.txt{query} -> {case.notes_local}"]
    if hashes is not None:
        lines += ["[File Hashes]", *(f"{hashlib.sha256(data).hexdigest()}  {name}" for name, data in hashes.items())]
    if case.unattended_arguments is not None:
        lines += ["[Unattended Arguments]", case.unattended_arguments]
    lines += ["[User Info Filename]", USER_INFO_NAME, "[Program to run]", program, "[End]End", ""]
    text = "\r\n".join(lines)
    # Beyond ASCII, UTF-16 with its byte order mark reads the same on both platforms; 8-bit text
    # would be read in Windows' ANSI code page there and as UTF-8 on Linux.
    return text.encode() if text.isascii() else b"\xff\xfe" + text.encode("utf-16-le")


class Packer:
    """Makes EIF files for the key built into Setup: with the built eiftool, or openssl's OAEP
    blocks where eiftool is a Windows program."""

    def __init__(self, key_file, signature, eiftool, scratch):
        # The public half, from the hex of the DER private key that Setup embeds.
        self.public_key = os.path.join(scratch, "description.public.pem")
        with open(key_file) as f:
            der = bytes.fromhex(f.read().strip())
        subprocess.run(["openssl", "pkey", "-inform", "DER", "-pubout", "-out", self.public_key], input=der,
                       check=True, capture_output=True, timeout=30)
        self.signature, self.eiftool = signature, eiftool
        text = subprocess.run(["openssl", "pkey", "-pubin", "-in", self.public_key, "-noout", "-text_pub"],
                              check=True, capture_output=True, text=True, timeout=30).stdout
        self.key_bytes = int(re.search(r"\((\d+) bit\)", text).group(1)) // 8

    def pack(self, text, out_path, scratch):
        os.makedirs(os.path.dirname(out_path), exist_ok=True)
        os.makedirs(scratch, exist_ok=True)
        if self.eiftool:
            plain = os.path.join(scratch, os.path.basename(out_path) + ".txt")
            with open(plain, "wb") as f:
                f.write(text)
            subprocess.run([self.eiftool, "pack", "--public-key", self.public_key, "--signature", self.signature,
                            plain, out_path], check=True, capture_output=True, timeout=60)
            os.remove(plain)
            return
        piece = self.key_bytes - 42  # what one OAEP SHA-1 block carries
        blocks = [subprocess.run(["openssl", "pkeyutl", "-encrypt", "-pubin", "-inkey", self.public_key,
                                  "-pkeyopt", "rsa_padding_mode:oaep", "-pkeyopt", "rsa_oaep_md:sha1",
                                  "-pkeyopt", "rsa_mgf1_md:sha1"], input=text[i:i + piece], check=True,
                                 capture_output=True, timeout=30).stdout for i in range(0, len(text), piece)]
        with open(out_path, "wb") as f:
            f.write(self.signature.encode() + b"\0" + b"".join(blocks))

    def sign(self, path, signing_key, sig_path=None):
        """The vendor's detached signature of the file's exact bytes, made by OpenSSL."""
        subprocess.run(["openssl", "pkeyutl", "-sign", "-rawin", "-inkey", signing_key, "-in", path,
                        "-out", sig_path or path + ".sig"], check=True, capture_output=True, timeout=30)


# -- what one case serves and places ------------------------------------------------------------
def case_folder(name):
    """A folder name of plain letters for the case's own files (its record path reaches the final
    setup through the environment), unique among the cases."""
    plain = re.sub(r"[^A-Za-z0-9]", "_", name)
    return plain if plain == name else f"{plain}-{hashlib.sha256(name.encode()).hexdigest()[:8]}"


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


class Prepared:
    """The files of one case: served from the hosts' folders and placed beside Setup."""

    def __init__(self, case, ctx):
        self.case, self.ctx = case, ctx
        rnd = random.Random(case.name)
        self.program = ctx.platform.final_setup_name
        product_bytes = DISK_FULL_PRODUCT_BYTES if case.fault == "disk-full" else PRODUCT_BYTES
        self.files = {self.program: ctx.stub_bytes, "Product.dat": rnd.randbytes(product_bytes),
                      "Notes.txt": f"Notes of {case.name}, as served.\n".encode()}
        self.older_notes = f"Notes of {case.name}, as left beside Setup.\n".encode()
        # Still a program that runs (and would record its start), but not the vendor's bytes.
        self.attacker_program = ctx.stub_bytes + b"\0appended by an attacker"
        self.folder = os.path.join(ctx.scratch, "cases", case_folder(case.name))
        self.program_folder = os.path.join(self.folder, "program")
        self.setup_path = os.path.join(self.program_folder, ctx.platform.setup_file_name(case.name))
        self.log_path = os.path.join(self.folder, "support.log")
        self.preflight, self.preflight_status = None, None
        self.expected_site = next((ctx.hosts[r] for r in case.sites if r not in case.small_first_on), None) \
            if case.listed else ""
        self._serve()
        self._place()

    def _serve(self):
        c, ctx = self.case, self.ctx
        text = description(c, ctx.hosts, self.program, hashes=self.hashes(), tags=signed_tags(c))
        self.initial = self.initial_sig = None
        for role in c.initial_on:
            eif = os.path.join(ctx.www[role] + self._initial_path(), "SetupInitial.eif")
            ctx.packer.pack(text, eif, self.folder)
            self.initial = read(eif)
            if c.signed:
                ctx.packer.sign(eif, ctx.signing_key)
                self.initial_sig = read(eif + ".sig")
        for role in ("m1", "m2", "u", "n", "h", "f"):
            if role not in ctx.www:
                continue
            for local, data in self.files.items():
                if role in c.small_first_on and local == self.program:
                    data = data[:BOUNDARY_BYTES]
                write(os.path.join(ctx.www[role], self.served_name(), self.REMOTE[local]), data)
        if c.redirect_first:
            target = f"{ctx.scheme}://{ctx.hosts['m2']}/{c.name}/FinalSetup.bin"
            ctx.sites["m1"].redirects[f"/{c.name}/FinalSetup.bin"] = target
        if c.notes_to_http:
            ctx.sites["m1"].redirects[f"/{c.name}/Notes.txt"] = f"http://{ctx.hosts['h']}/{c.name}/Notes.txt"
        product = f"/{c.name}/Product.dat"
        if c.fault in ("stall", "drop", "stall-kept", "stall-head-kept") + faulthost.CUT_FAULTS:
            ctx.fault_host.faults[product] = c.fault
        elif c.fault == "cut-to-nginx":
            ctx.fault_host.faults[product] = (c.fault, f"{ctx.scheme}://{ctx.hosts['m1']}{product}",
                                              os.path.join(ctx.www["m1"], self.served_name(), "Product.dat"))
        elif c.fault == "407":
            ctx.fault_host.faults[product] = 407
        elif c.fault == "loop":
            ctx.sites["m1"].redirects[product] = f"{ctx.scheme}://{ctx.hosts['m1']}{product}"
        if c.notes_fail:
            for role in ("m1", "m2"):
                ctx.sites[role].statuses[f"/{c.name}/Notes.txt"] = 404
        if c.attack and c.mode == "download":
            self._attack()

    def hashes(self):
        """What the case's "File Hashes" lists: every served file in a signed case, else no tag."""
        c = self.case
        if c.partial_hashes:
            return {name: data for name, data in self.files.items() if name != "Notes.txt"}
        if not c.signed or c.no_hashes:
            return None
        return self.files if c.listed else {}

    REMOTE = {"FinalSetup": "FinalSetup.bin", "FinalSetup.exe": "FinalSetup.bin", "Product.dat": "Product.dat",
              "Notes.txt": "Notes.txt"}

    def _initial_path(self):
        if self.case.mode == "local-path":
            return self.case.download_path
        return "/downloads/Setups/" + self.served_name()

    def served_name(self):
        """The folder the server finds under the name as it arrives (nginx undoes %XX escapes and
        keeps other bytes as they came), as a path of this machine."""
        wire = re.sub(r"\\x([0-9A-F]{2})", lambda m: "%" + m[1], self.case.on_wire())
        return os.fsdecode(urllib.parse.unquote_to_bytes(wire.split("?")[0].split("#")[0]))

    def _attack(self):
        """What the attacker puts on the hosts and mirrors. Each would make today's unsigned
        Setup start the attacker's program (or a damaged product)."""
        c, ctx = self.case, self.ctx
        mirrored = {}
        if c.attack in ("forge", "forge-keep-signature", "edit-expires"):
            # A description of the attacker's, packed with the key every copy of Setup holds; or
            # the genuine one, expired, given a later "Expires".
            forged = description(c, ctx.hosts, self.program, hashes=self.hashes(),
                                 tags=signed_tags(c, {"Expires": utc_text(365)})) if c.attack == "edit-expires" \
                else description(c, ctx.hosts, self.program)
            for role in c.initial_on:
                eif = os.path.join(ctx.www[role] + self._initial_path(), "SetupInitial.eif")
                ctx.packer.pack(forged, eif, self.folder)
                if c.attack == "forge":
                    os.remove(eif + ".sig")
            mirrored[self.program] = self.attacker_program
        elif c.attack == "swap-program":
            mirrored[self.program] = self.attacker_program
        elif c.attack == "truncate":
            mirrored["Product.dat"] = self.files["Product.dat"][:PRODUCT_BYTES // 2]
        for role in ("m1", "m2"):
            for local, data in mirrored.items():
                write(os.path.join(ctx.www[role], self.served_name(), self.REMOTE[local]), data)

    def _place(self):
        c, ctx = self.case, self.ctx
        os.makedirs(self.program_folder)
        shutil.copyfile(ctx.signed_setup if c.signed else ctx.setup_binary, self.setup_path)
        os.chmod(self.setup_path, 0o755)
        self.beside = {os.path.basename(self.setup_path): read(self.setup_path)}
        if c.mode == "local-no":
            text = description(c, ctx.hosts, self.program, ["[Download Initial Setup]", "No"], hashes=self.hashes(),
                               tags=signed_tags(c))
            if not c.listed:
                self.beside[self.program] = self.attacker_program if c.attack else ctx.stub_bytes
                self.beside["Extra.dat"] = b"A file beside Setup, copied in local mode.\n"
            if c.older_notes:
                self.beside["Notes.txt"] = self.older_notes
        elif c.mode == "local-path":
            # "no" in lower case is not "No": the run still downloads, from "Download Path".
            text = description(c, ctx.hosts, self.program,
                               ["[Download Initial Setup]", "no", "[Download Path]", c.download_path])
        else:
            text = None
        if text is not None:
            local = os.path.join(self.program_folder, "SetupInitial.eif")
            ctx.packer.pack(text, local, self.folder)
            self.beside["SetupInitial.eif"] = read(local)
            if c.signed and c.attack in (None, "edit-expires"):
                ctx.packer.sign(local, ctx.signing_key)
                self.beside["SetupInitial.eif.sig"] = read(local + ".sig")
        for name, data in self.beside.items():
            if name != os.path.basename(self.setup_path):
                write(os.path.join(self.program_folder, name), data)
        if c.mode == "local-no" and not c.listed:
            os.chmod(os.path.join(self.program_folder, self.program), 0o755)

    def second_run(self):
        """A copy of the case's Setup under the same file name (so the same product) in a folder of
        its own, which runs with the first run's temp folder."""
        second = copy.copy(self)
        second.folder = os.path.join(self.folder, "second")
        second.program_folder = os.path.join(second.folder, "program")
        second.setup_path = os.path.join(second.program_folder, os.path.basename(self.setup_path))
        second.log_path = os.path.join(second.folder, "support.log")
        second.temp_owner = self
        os.makedirs(second.program_folder)
        shutil.copyfile(self.setup_path, second.setup_path)
        os.chmod(second.setup_path, 0o755)
        return second

    def proxy_env(self, web):
        """Linux: how the run reaches the hosts, through nginx or the case's squid; the fault
        host on 127.0.0.1 past it."""
        c = self.case
        env = web.proxy_env()
        if c.proxy:
            password = PROXY_PASSWORDS.get(c.credentials)
            proxy = self.ctx.proxies[c.proxy]
            env["http_proxy"] = proxy.url(PROXY_USER, password) if password else proxy.url()
        if "f" in c.sites:
            env["no_proxy"] = env["NO_PROXY"] = "127.0.0.1"
        return env

    def expected_files(self):
        """Name -> bytes of every file the final setup should find, User Info File aside."""
        c = self.case
        files = dict(self.beside) if c.mode == "local-no" else {"SetupInitial.eif": self.initial}
        if c.signed and c.mode != "local-no":
            files["SetupInitial.eif.sig"] = self.initial_sig
        if c.listed:
            files.update(self.files)
            if c.notes_fail:
                files["Notes.txt"] = self.older_notes
        return files


# -- checks --------------------------------------------------------------------------------------
def user_info_problems(text, expect):
    lines = text.split("\n")
    if text.endswith("\n"):
        lines.pop()
    else:
        return ["the User Info File does not end in a line feed"]
    if "\r" in text or len(lines) != 28:
        return [f"the User Info File is not 28 LF-only lines: {text!r}"]
    problems = []
    fixed = {0: "// User specific info.", 2: "[Initial Setup Pathname]", 5: "[Setup Temp Folder]",
             8: "[Download Site]", 11: "[Start Menu Folder]", 14: "[Desktop Folder]",
             17: "[My Documents Folder]", 20: "[Application Name]", 23: "[Installed on GM Time]",
             26: "[End]", 27: "End"}
    for i in range(28):
        want = fixed.get(i, "" if i % 3 == 1 else None)
        if want is not None and lines[i] != want:
            problems.append(f"User Info line {i + 1}: {lines[i]!r}, expected {want!r}")
    for i, want in expect["values"].items():
        if not expect["same"](lines[i], want):
            problems.append(f"User Info line {i + 1}: {lines[i]!r}, expected {want!r}")
    for i in (12, 15, 18):
        if not expect["folder"](lines[i]):
            problems.append(f"User Info line {i + 1}: {lines[i]!r} is not a folder")
    if not re.fullmatch(r"\d\d-\d\d-\d{4} \d\d:\d\d:\d\d", lines[24]):
        problems.append(f"install time {lines[24]!r} is not DD-MM-YYYY HH:MM:SS")
    else:
        when = datetime.datetime.strptime(lines[24], TIME_FORMAT).replace(tzinfo=datetime.timezone.utc)
        if not expect["start"] <= when <= expect["end"]:
            problems.append(f"install time {lines[24]} is not the UTC time of the run")
    return problems


def expected_status(c, plat, busy=False):
    """The exit status of the case's run: 0 unless it is unattended; under wine only the low byte
    of a Windows code reaches the status."""
    if not c.unattended():
        return 0
    return plat.exit_busy if busy else plat.exit_failed if c.message else per_platform(c.exit_code, plat)


def unattended_problems(c, result, plat, busy=False):
    """An unattended run keeps its support log beside the setup temp folder (unless it asked for
    another), and says there how it ended and what no box showed."""
    code = expected_status(c, plat, busy)
    problems = [] if result.status == code & 0xFF else [f"exit status {result.status}, expected {code & 0xFF}"]
    log = result.setup_temp_folder + ".log"
    text = read(log).decode("utf-8", "replace") if os.path.exists(log) else ""
    message = ALREADY_RUNNING if busy else c.message
    for line in [f"Setup ends with exit status {code}\n"] + \
            ([f"message (no box in an unattended run): {message}\n"] if message else []):
        if line not in text:
            problems.append(f"the unattended log {log} lacks {line!r}")
    return problems


def check(prep, result, ctx):
    c, plat = prep.case, ctx.platform
    problems = []
    if c.unattended():
        problems += unattended_problems(c, result, plat)
    elif result.status != 0:
        problems.append(f"exit status {result.status}, expected 0")
    if (result.end - result.start).total_seconds() < c.min_seconds:
        problems.append(f"the run gave up before {c.min_seconds} s")
    problems += result.window_problems
    # On a Linux display a message is a GTK box, whose text the test cannot read; the window
    # check counts the boxes instead.
    message = c.message.format(program=plat.final_setup_name) if c.message else None
    # Unattended, no box: on Linux the line on stderr, under wine nothing.
    shown = not (c.display and plat.name == "linux") if not c.unattended() else plat.name == "linux"
    want_messages = [message] if message and shown else []
    if result.messages != want_messages:
        problems.append(f"messages {result.messages}, expected {want_messages}")
    if result.stdout:
        problems.append(f"Setup wrote to stdout: {result.stdout[:200]!r}")
    for name, data in prep.beside.items():
        path = os.path.join(prep.program_folder, name)
        if not os.path.exists(path) or read(path) != data:
            problems.append(f"{name} beside Setup was changed or removed")
    if plat.exists(result.setup_temp_folder):
        problems.append(f"the setup temp folder {result.setup_temp_folder} is still there")
    record = result.record
    ran = os.path.exists(os.path.join(record, "working-directory.txt"))
    if ran != (c.message is None):
        problems.append("the final setup ran" if ran else "the final setup did not run")
    if ran:
        if not os.path.exists(os.path.join(record, "finished")):
            problems.append("Setup ended before the final setup had finished")
        cwd = read(os.path.join(record, "working-directory.txt")).decode()
        if not plat.same_path(cwd, result.native_temp_folder):
            problems.append(f"final setup started in {cwd}, not in the setup temp folder")
        arguments = read(os.path.join(record, "arguments.txt")).decode("utf-8", "replace").splitlines()
        if tuple(arguments) != c.final_arguments:
            problems.append(f"the final setup's arguments were {arguments}, expected {list(c.final_arguments)}")
        found = {n: read(os.path.join(record, "files", n)) for n in os.listdir(os.path.join(record, "files"))}
        info = found.pop(USER_INFO_NAME, None)
        want = prep.expected_files()
        if found.keys() != want.keys():
            problems.append(f"final setup found {sorted(found)}, expected {sorted(want)}")
        problems += [f"{n} differs from what was served" for n in want if n in found and found[n] != want[n]]
        if info is None:
            problems.append("no User Info File")
        elif any(p.encode() in info for p in PROXY_PASSWORDS.values()):
            problems.append("the User Info File holds the proxy password")
        else:
            problems += user_info_problems(info.decode(plat.narrow_encoding, "replace"), {
                "values": {3: plat.native(prep.setup_path), 6: result.native_temp_folder,
                           9: prep.expected_site, 21: c.name, **plat.user_folders(prep)},
                "same": plat.same_path, "folder": plat.is_folder_text,
                "start": result.start.replace(microsecond=0), "end": result.end})
    if c.log:
        problems += log_problems(prep, ctx)
    if c.preflight:
        problems += preflight_problems(prep, ctx)
    if any(p.encode() in result.output for p in PROXY_PASSWORDS.values()):
        problems.append("the proxy password is in what Setup wrote")
    if "f" in c.sites and not any(uri.startswith(f"/{c.name}/") for uri, *_ in ctx.fault_host.requests()):
        problems.append("the fault host saw no request of the case")
    if c.fault_answers is not None:
        answers = tuple(what for uri, what, *_ in ctx.fault_host.requests() if uri == f"/{c.name}/Product.dat")
        if answers != c.fault_answers:
            problems.append(f"the fault host answered Product.dat with {answers}, expected {c.fault_answers}")
    if c.fault == "cut-to-nginx" and (("m1", f"/{c.name}/Product.dat", "206") not in ctx.requests_by_status()):
        problems.append("nginx answered no range of Product.dat")
    if c.fault in faulthost.KEPT_FAULTS and not any(
            uri == f"/{c.name}/Product.dat" and what != 200 and on > 1 for uri, what, _, on in ctx.fault_host.requests()):
        problems.append("no request for Product.dat came on a kept connection")
    requests = ctx.requests_by_role()
    mine = [i for i, (_, uri) in enumerate(requests) if f"/{c.on_wire()}/" in uri]
    if c.requests is not None:
        seen = {requests[i] for i in mine}
        if seen != c.requests:
            problems.append(f"hosts saw {sorted(seen)}, expected {sorted(c.requests)}")
    if c.reuse:
        logged = ctx.web.connections()
        connections = [logged[i][0] for i in mine]
        if len(set(connections)) == len(connections):
            problems.append(f"each of the {len(connections)} requests came on a connection of its own")
    return problems


def log_problems(prep, ctx):
    """The support log must hold the case's lines in order, each a whole line's part."""
    c, path = prep.case, prep.log_path
    if not os.path.exists(path):
        return [f"no support log at {path}"]
    text = read(path).decode("utf-8")
    if any(p in text for p in PROXY_PASSWORDS.values()):
        return ["the support log holds the proxy password"]
    at = 0
    for part in c.log_lines:
        part = part.format(program=ctx.platform.final_setup_name, m1=ctx.hosts["m1"])
        found = text.find(part, at)
        if found < 0:
            return [f"the support log lacks {part!r} after offset {at}:\n{text}"]
        at = found + len(part)
    return []


def preflight_problems(prep, ctx):
    """What eiftool check --online predicted must be what the run did."""
    c, p = prep.case, prep.preflight
    if p is None:
        return ["eiftool check --online gave no JSON report"]
    log = read(prep.log_path).decode("utf-8") if os.path.exists(prep.log_path) else ""
    chosen = re.search(r" site (\S+): declares \d+ bytes for \S+, chosen", log)
    total = re.search(r" byte total of the listed files: (\d+)", log)
    did = {"site": chosen.group(1) if chosen else "", "byteTotal": int(total.group(1)) if total else None,
           "message": c.message.format(program=ctx.platform.final_setup_name) if c.message else "",
           "succeeds": c.message is None, "status": 0 if c.message is None else 1}
    said = {key: p.get(key) for key in ("site", "byteTotal", "message", "succeeds")}
    said["status"] = prep.preflight_status
    return [f"preflight predicted {said}, the run did {did}"] if said != did else []


# -- the run of all cases ------------------------------------------------------------------------
class Context:
    def __init__(self, args, platform, scratch):
        self.platform, self.scratch = platform, scratch
        self.hosts = platform.hosts
        self.setup_binary = args.setup
        self.signed_setup, self.signing_key = args.signed_setup, args.signing_key
        self.stub_bytes = read(args.stub)
        self.packer = Packer(args.key_file, args.signature, args.eiftool, scratch)
        self.www = {role: os.path.join(scratch, "www", role) for role in self.hosts}
        self.scheme = "https" if args.https else "http"
        self.certificates = e2e_tls.TestCertificates(os.path.join(scratch, "tls")) if args.https else None
        tls = self.certificates.for_role if args.https else (lambda role: None)
        self.sites = {role: webhost.Site(self.www[role], tls=tls(role)) for role in self.hosts}
        self.web = None
        self.fault_host = None
        self.proxies = {}  # squid by scheme

    def add_fault_host(self, host):
        self.fault_host = host
        self.hosts["f"] = host.host

    def requests_by_role(self):
        return [(role, uri) for role, uri, _ in self.requests_by_status()]

    def requests_by_status(self):
        role_of = {host: role for role, host in self.hosts.items()}
        return [(role_of.get(host, host), uri, status) for host, uri, status in self.web.requests()]


def trust_test_ca(args, platform, certificates):
    """Makes the https Setup trust this run's test CA; False when the machine cannot."""
    if args.platform == "linux":
        write(args.test_ca, read(certificates.ca[0]))
        return True
    platform.roots = certificates.wine_roots()
    probe = subprocess.run(e2e_tls.in_namespace_with_roots(platform.roots, ["true"]), capture_output=True, timeout=60)
    if probe.returncode != 0:
        print(f"e2e: skipped: wine's roots need a private mount namespace: {probe.stderr.decode().strip()}")
        return False
    return True


def run_twice(prep, ctx, web):
    """The case's run, and a second run of the same product started once the first's final setup
    runs; what the second did is added to the first's problems."""
    second, done = prep.second_run(), {}

    def later():
        started = os.path.join(prep.folder, "record", "working-directory.txt")
        deadline = time.monotonic() + TWICE_WAIT_S
        while not os.path.exists(started) and time.monotonic() < deadline:
            time.sleep(0.1)
        done["result"] = ctx.platform.run(second, web)

    thread = threading.Thread(target=later)
    thread.start()
    result = ctx.platform.run(prep, web)
    thread.join()
    other = done.get("result")
    c, plat = prep.case, ctx.platform
    # Unattended, the second run ends with the code deployment tools retry on, and no box.
    want = [ALREADY_RUNNING] if not c.unattended() or plat.name == "linux" else []
    if other is None or other.messages != want:
        result.window_problems.append(f"the second run ended with messages {other and other.messages}, not {want}")
    elif c.unattended():
        result.window_problems += [f"second run: {p}" for p in unattended_problems(c, other, plat, busy=True)]
    elif other.status != 0:
        result.window_problems.append(f"the second run ended with {other.status}, not 0")
    if other is not None and other.end > result.end:
        result.window_problems.append("the second run ended after the first")
    if os.path.exists(os.path.join(second.folder, "record", "working-directory.txt")):
        result.window_problems.append("the second run started a final setup")
    return result


def run_case(prep, ctx, web):
    """One run; a disk-full case on a tmpfs of its own, which must be empty afterwards. None
    when the machine cannot mount one."""
    if prep.case.twice:
        return run_twice(prep, ctx, web)
    if prep.case.fault != "disk-full":
        return ctx.platform.run(prep, web)
    point = ctx.platform.small_disk_at(prep)
    os.makedirs(point, exist_ok=True)
    size = len(ctx.stub_bytes) + DISK_FULL_ROOM_BYTES
    mount = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size},mode=0755", "websetup-e2e", point],
                           capture_output=True, text=True, timeout=30)
    if mount.returncode != 0:
        print(f"skip {prep.case.name}: cannot mount a tmpfs ({mount.stderr.strip()})", flush=True)
        return None
    try:
        result = ctx.platform.run(prep, web)
        left = [os.path.join(d, n) for d, _, names in os.walk(result.setup_temp_folder) for n in names]
        if left:
            result.window_problems.append(f"left in the setup temp folder on the full disk: {left}")
    finally:
        subprocess.run(["umount", point], check=True, timeout=60)
    if point == result.setup_temp_folder:
        os.rmdir(point)  # the mount point the test made, empty again
    return result


def start_fault_host(stack, ctx, cases, scratch):
    """The fault host, when a case lists it, stopped when the stack closes."""
    if any("f" in c.sites for c in cases):
        ctx.www["f"] = os.path.join(scratch, "www", "f")
        ctx.add_fault_host(stack.enter_context(faulthost.FaultHost(ctx.www["f"], {})))


def start_proxies(stack, ctx, cases, web):
    """A squid for each scheme the cases ask for, in front of nginx's name-based hosts."""
    for scheme in sorted({c.proxy for c in cases if c.proxy}):
        ctx.proxies[scheme] = stack.enter_context(
            proxyhost.AuthProxy(scheme, PROXY_USER, PROXY_PASSWORDS["right"], parent_port=web.port))


def built_in(lang, languages):
    """Whether Setup has the catalogue of a case's locale (a Dutch run expects English anyway)."""
    tag = (lang or "en").split("_")[0]
    return tag in ("en", "nl") or languages == "all" or tag in languages.split(",")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--platform", choices=("linux", "wine"), required=True)
    parser.add_argument("--setup", required=True, help="the Setup built with the test hosts")
    parser.add_argument("--signed-setup", help="the Setup built with the test signing key (its cases)")
    parser.add_argument("--signing-key", help="the private half of that key (PEM)")
    parser.add_argument("--stub", required=True, help="the final setup stub")
    parser.add_argument("--key-file", required=True, help="the description key built into Setup (hex of DER)")
    parser.add_argument("--signature", required=True)
    parser.add_argument("--eiftool", help="packs the descriptions; without it, openssl does")
    parser.add_argument("--primary", required=True)
    parser.add_argument("--secondary", required=True)
    parser.add_argument("--port-base", type=int, default=0,
                        help="the first loopback port of 127.0.0.1:PORT hosts (wine, https); else name-based hosts")
    parser.add_argument("--wine-run", help="wine: the runner script")
    parser.add_argument("--https", action="store_true", help="Setup is an https build: run HTTPS_CASES")
    parser.add_argument("--faults", action="store_true", help="run FAULT_CASES")
    parser.add_argument("--resume", action="store_true", help="run RESUME_CASES (with --signed-setup)")
    parser.add_argument("--test-ca", help="linux, https: the CA file the test Setup was built to trust")
    parser.add_argument("--case", action="append", help="run only these cases")
    parser.add_argument("--preflight-tool", help="eiftool for the platform, for the preflight cases")
    parser.add_argument("--languages", default="en", help="Setup's WEBSETUP_LANGUAGES: the language cases need theirs")
    args = parser.parse_args(argv)
    platform = (LinuxPlatform if args.platform == "linux" else WinePlatform)(args)
    table = HTTPS_CASES if args.https else FAULT_CASES if args.faults else RESUME_CASES if args.resume \
        else CASES + name_cases(args.platform)
    # Wine's WinINet takes no proxy for Setup's access type, so the squid cases are Linux's.
    # A wine run always has a display: the cases with one are Linux's own, unless they try a switch.
    linux_only = lambda c: (c.display and not c.switches) or c.unusable_display or c.proxy or c.not_on_wine  # noqa: E731
    cases = [c for c in table if (not args.case or c.name in args.case) and (args.platform == "linux" or not linux_only(c))
             and (args.preflight_tool or not c.preflight)
             and (args.signed_setup or not c.signed) and built_in(c.lang, args.languages)]
    for c in table:
        if not built_in(c.lang, args.languages) and (not args.case or c.name in args.case):
            print(f"not built in: {c.name}: Setup has no catalogue for {c.lang}")
        if args.platform == "wine" and c.not_on_wine and (not args.case or c.name in args.case):
            print(f"not on wine: {c.name}: {c.not_on_wine}")
    if any(c.proxy for c in cases) and not proxyhost.available():
        print("e2e: skipped: the proxy cases need squid (scripts/deps.sh installs it)")
        return 77
    # Removed after a clean pass, kept for a look after a failure.
    scratch = os.path.realpath(tempfile.mkdtemp(prefix="websetup-e2e-"))
    began = time.monotonic()
    failures, skipped = {}, []
    try:
        ctx = Context(args, platform, scratch)
        if args.https and not trust_test_ca(args, platform, ctx.certificates):
            return 77
        stack = contextlib.ExitStack()
        with stack:
            start_fault_host(stack, ctx, cases, scratch)
            prepared = [Prepared(c, ctx) for c in cases]
            sites = {ctx.hosts[role]: site for role, site in ctx.sites.items()}
            platform.start(scratch)
            web = stack.enter_context(webhost.WebHost(os.path.join(scratch, "nginx"), sites))
            ctx.web = web
            for prep in prepared:
                if prep.case.preflight:
                    prep.preflight_status, prep.preflight = platform.preflight(
                        os.path.abspath(args.preflight_tool), prep, web)
            start_proxies(stack, ctx, cases, web)
            # A wine message box can lie under another run's topmost splash window, where it
            # cannot be pressed until that run ends: the long fault runs go one at a time there.
            one_at_a_time = args.faults and args.platform == "wine"
            with concurrent.futures.ThreadPoolExecutor(1 if one_at_a_time else PARALLEL_RUNS) as pool:
                results = list(pool.map(lambda p: (p, run_case(p, ctx, web)), prepared))
            skipped = [prep.case.name for prep, result in results if result is None]
            for prep, result in results:
                if result is None:
                    continue
                problems = check(prep, result, ctx)
                seconds = (result.end - result.start).total_seconds()
                print(f"{'FAIL' if problems else 'ok  '} {prep.case.name:18} {seconds:5.1f} s, "
                      f"Setup's CPU {result.cpu_s:5.2f} s", flush=True)
                for p in problems:
                    print(f"       {p}")
                if problems:
                    failures[prep.case.name] = problems
    except (webhost.WebHostError, proxyhost.AuthProxyError) as error:
        hint = " (the wine hosts' ports come from WEBSETUP_E2E_PORT_BASE)" if args.platform == "wine" else ""
        print(f"e2e: {error}{hint}")
        failures["server"] = [str(error)]
    finally:
        platform.stop()
        if not failures:
            shutil.rmtree(scratch, ignore_errors=True)
    passed = 0 if "server" in failures else len(cases) - len(failures) - len(skipped)
    print(f"{passed} of {len(cases)} cases passed in {time.monotonic() - began:.1f} s"
          + (f", {len(skipped)} skipped" if skipped else "") + (f"; files kept in {scratch}" if failures else ""))
    # 77: a case this machine cannot run (no tmpfs) and nothing failed.
    return 1 if failures else 77 if skipped else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
