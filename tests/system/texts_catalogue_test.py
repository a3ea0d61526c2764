#!/usr/bin/env python3
"""The build's check of the text catalogues: cmake/texts_catalogue.py takes the shipped
catalogues, and refuses a vendor's broken de.po, naming the file and line and what is wrong.

Usage: texts_catalogue_test.py PYTHON SCRIPT PO_DIR
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

GOOD = 'msgid "Error: Failed to download %s"\nmsgstr "Fehler: %s konnte nicht heruntergeladen werden"\n'
# (what replaces GOOD in de.po, what the build must say: None when it takes it). {msgid} and
# {msgstr} stand for the lines of the edited entry.
CASES = [
    ('msgid "Error: Failed to download %s"\nmsgstr "Fehler: %1$s fehlt"\n', None),
    ("", "de.po: IDS_FILE_DOWNLOAD_FAILED ('Error: Failed to download %s') is not translated"),
    ('msgid "Error: Failed to download %s"\nmsgstr ""\n', "de.po:{msgstr}: IDS_FILE_DOWNLOAD_FAILED is not translated"),
    ('#, fuzzy\n' + GOOD, "de.po:{flagged}: IDS_FILE_DOWNLOAD_FAILED is marked fuzzy"),
    ('msgid "Error: Failed to download %s"\nmsgstr "Fehler: nicht heruntergeladen"\n',
     "de.po:{msgstr}: IDS_FILE_DOWNLOAD_FAILED must use the values"),
    ('msgid "Error: Failed to download %s"\nmsgstr "Fehler: %s und %s"\n', "de.po:{msgstr}: IDS_FILE_DOWNLOAD_FAILED must"),
    ('msgid "Error: Failed to download %s"\nmsgstr "Fehler: %d"\n', "de.po:{msgstr}: %d is not a value Setup fills"),
    ('msgid "Error: Failed to download %s"\nmsgstr "Fehler: %2$s"\n', "de.po:{msgstr}: IDS_FILE_DOWNLOAD_FAILED must"),
    ('msgid "Error: Failed to download %s"\nmsgstr "%1$s %s"\n', "de.po:{msgstr}: numbered (%1$s) and plain (%s)"),
    (GOOD + '\nmsgid "Gone"\nmsgstr "Weg"\n', "de.po:{gone}: 'Gone' is not a text of Setup"),
    (GOOD + '\n#~ msgid "Gone"\n#~ msgstr "Weg"\n', None),
    ('msgid "Error: Failed to download %s"\nmsgstr "Fehler \\q"\n', "de.po:{msgstr}: unknown escape \\q"),
    ('msgid "Error: Failed to download %s"\nmsgstr "Fehler\n', "de.po:{msgstr}: expected a quoted string"),
]


def main(python, script, po_dir):
    failures = []
    original = (pathlib.Path(po_dir) / "de.po").read_text(encoding="utf-8")
    if GOOD not in original:
        sys.exit("de.po no longer holds the entry this test edits")
    msgstr = original[:original.index(GOOD)].count("\n") + 2
    lines = {"msgid": msgstr - 1, "msgstr": msgstr, "gone": msgstr + 2, "flagged": msgstr + 1}
    with tempfile.TemporaryDirectory() as work:
        shutil.copy(pathlib.Path(po_dir) / "websetup.pot", work)
        shipped = subprocess.run([python, script, "--po-dir", po_dir, "--languages", "all"], capture_output=True,
                                 text=True)
        if shipped.returncode != 0:
            failures.append(f"the shipped catalogues are refused: {shipped.stderr.strip()}")
        for replacement, expected in CASES:
            (pathlib.Path(work) / "de.po").write_text(original.replace(GOOD, replacement), encoding="utf-8")
            done = subprocess.run([python, script, "--po-dir", work, "--languages", "de"], capture_output=True,
                                  text=True)
            said = done.stderr.strip()
            if expected is None:
                if done.returncode != 0:
                    failures.append(f"{replacement!r}: refused: {said}")
            elif done.returncode == 0 or expected.format(**lines) not in said:
                failures.append(f"{replacement!r}: status {done.returncode}, said {said!r}, "
                                f"not {expected.format(**lines)!r}")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(CASES) - len(failures)} of {len(CASES)} catalogues handled as they must be")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
