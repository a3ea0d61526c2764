#!/usr/bin/env python3
"""Turns Setup's message catalogue (po/websetup.pot and one po/<language>.po per language) into
what the build compiles in, and stops the build on a catalogue Setup cannot use.

  texts_ids.h             the text names (IDS_...) in the template's order
  texts_english.cpp       the English texts: the keys, as the template has them
  texts_catalogue_posix.cpp  the chosen languages' tags and texts (UTF-8), for the Linux program
  texts_catalogue_win.cpp    the chosen languages' tags and the LANGID of each string table
  texts.rc                one STRINGTABLE per chosen language, for Setup.exe

A catalogue is refused, naming its file and line, when it misses a text, holds one Setup does not
have, leaves one untranslated or fuzzy, or uses other values (%s) than the English text.
Standard library only; the same input always gives the same bytes.
"""

import argparse
import os
import re
import sys

# LANGIDs of the string tables: MAKELANGID(primary, sub). The runtime finds a language by its tag,
# so the number only has to be the one Windows tools show for that language. A vendor adding a
# language not listed here adds its line.
LANGIDS = {
    "ar": (0x01, 0x01), "bg": (0x02, 0x01), "ca": (0x03, 0x01), "zh_CN": (0x04, 0x02),
    "zh_TW": (0x04, 0x01), "cs": (0x05, 0x01), "da": (0x06, 0x01), "de": (0x07, 0x01),
    "el": (0x08, 0x01), "es": (0x0A, 0x03), "fi": (0x0B, 0x01), "fr": (0x0C, 0x01),
    "he": (0x0D, 0x01), "hu": (0x0E, 0x01), "it": (0x10, 0x01), "ja": (0x11, 0x01),
    "ko": (0x12, 0x01), "nl": (0x13, 0x01), "nb": (0x14, 0x01), "pl": (0x15, 0x01),
    "pt_BR": (0x16, 0x01), "pt": (0x16, 0x02), "pt_PT": (0x16, 0x02), "ro": (0x18, 0x01),
    "ru": (0x19, 0x01), "hr": (0x1A, 0x01), "sk": (0x1B, 0x01), "sv": (0x1D, 0x01),
    "th": (0x1E, 0x01), "tr": (0x1F, 0x01), "id": (0x21, 0x01), "uk": (0x22, 0x01),
    "sl": (0x24, 0x01), "et": (0x25, 0x01), "lv": (0x26, 0x01), "lt": (0x27, 0x01),
    "vi": (0x2A, 0x01), "hi": (0x39, 0x01),
}
TAG = re.compile(r"^[a-z]{2,3}(_[A-Z]{2})?$")
PLACEHOLDER = re.compile(r"%(?:([1-9])\$)?(.)")


class CatalogueError(Exception):
    pass


def unquote(text, where):
    """The value of one C-style quoted string as a .po file writes it."""
    if len(text) < 2 or text[0] != '"' or text[-1] != '"':
        raise CatalogueError(f"{where}: expected a quoted string")
    out, i, body = [], 0, text[1:-1]
    escapes = {"n": "\n", "t": "\t", '"': '"', "\\": "\\"}
    while i < len(body):
        c = body[i]
        if c == '"':
            raise CatalogueError(f"{where}: a quote inside a string must be written \\\"")
        if c == "\\":
            if i + 1 >= len(body) or body[i + 1] not in escapes:
                raise CatalogueError(f"{where}: unknown escape \\{body[i + 1:i + 2]}")
            out.append(escapes[body[i + 1]])
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def parse_po(path):
    """The entries of a .po file: dicts with msgid, msgstr, line, comments (#.) and flags (#,).
    Obsolete entries (#~) are skipped, as gettext does."""
    try:
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except UnicodeDecodeError as e:
        raise CatalogueError(f"{path}: not UTF-8 ({e})")
    entries, entry, field = [], None, None

    def finish():
        if entry is not None and "msgid" in entry:
            if "msgstr" not in entry:
                raise CatalogueError(f"{path}:{entry['line']}: msgid without msgstr")
            entries.append(entry)

    for number, raw in enumerate(lines, 1):
        line = raw.strip()
        where = f"{path}:{number}"
        if not line or line.startswith("#~"):
            continue
        if line.startswith("#"):
            if entry is not None and "msgid" in entry:
                finish()
                entry = None
            entry = entry or {"comments": [], "flags": set(), "line": number}
            if line.startswith("#."):
                entry["comments"].append(line[2:].strip())
            elif line.startswith("#,"):
                entry["flags"].update(f.strip() for f in line[2:].split(","))
            continue
        keyword = re.match(r"^(msgctxt|msgid_plural|msgid|msgstr(?:\[\d+\])?)\s+(.*)$", line)
        if keyword:
            name, rest = keyword.groups()
            if name in ("msgctxt", "msgid_plural") or name.startswith("msgstr["):
                raise CatalogueError(f"{where}: {name} is not used by Setup's catalogue")
            if name == "msgid":
                if entry is not None and "msgid" in entry:
                    finish()
                    entry = None
                entry = entry or {"comments": [], "flags": set(), "line": number}
                entry["line"] = entry.get("line", number)
            elif entry is None or "msgid" not in entry:
                raise CatalogueError(f"{where}: msgstr without msgid")
            field = name
            entry[field] = unquote(rest, where)
            entry[field + "_line"] = number
            continue
        if line.startswith('"'):
            if entry is None or field is None:
                raise CatalogueError(f"{where}: a string outside an entry")
            entry[field] += unquote(line, where)
            continue
        raise CatalogueError(f"{where}: cannot read this line")
    finish()
    return entries


def placeholders(text, where):
    """The values a text uses, as sorted argument numbers; refuses mixed or unknown forms."""
    numbers, positional, sequential = [], False, 0
    for m in PLACEHOLDER.finditer(text):
        number, conversion = m.groups()
        if conversion == "%" and number is None:
            continue
        if conversion != "s":
            raise CatalogueError(f"{where}: %{(number + '$') if number else ''}{conversion} is not a value Setup fills"
                                 " (only %s, %1$s, %2$s, ... and %%)")
        if number is not None:
            positional = True
            numbers.append(int(number))
        else:
            sequential += 1
            numbers.append(sequential)
    if positional and sequential:
        raise CatalogueError(f"{where}: numbered (%1$s) and plain (%s) values mixed in one text")
    return sorted(numbers)


def read_template(path):
    texts, names = [], set()
    for e in parse_po(path):
        if e["msgid"] == "":
            continue
        where = f"{path}:{e['line']}"
        name = next((c for c in e["comments"] if re.match(r"^IDS_[A-Z0-9_]+$", c)), None)
        if name is None:
            raise CatalogueError(f"{where}: the entry has no \"#. IDS_...\" name line")
        if name in names:
            raise CatalogueError(f"{where}: {name} is used twice")
        names.add(name)
        values = placeholders(e["msgid"], where)
        if values != list(range(1, len(values) + 1)):
            raise CatalogueError(f"{where}: the English text must use its values in order")
        texts.append((name, e["msgid"], values))
    if not texts:
        raise CatalogueError(f"{path}: no texts")
    return texts


def read_language(path, template):
    header = None
    translations = {}
    for e in parse_po(path):
        where = f"{path}:{e['line']}"
        if e["msgid"] == "":
            header = e["msgstr"]
            continue
        if e["msgid"] in translations:
            raise CatalogueError(f"{where}: the text is translated twice")
        translations[e["msgid"]] = (e, f"{path}:{e['msgstr_line']}")
    if header is None or not re.search(r"charset=UTF-8", header, re.IGNORECASE):
        raise CatalogueError(f"{path}:1: the header must declare \"Content-Type: text/plain; charset=UTF-8\"")
    known = {english for _, english, _ in template}
    for english, (e, _) in translations.items():
        where = f"{path}:{e['msgid_line']}"
        if english not in known:
            raise CatalogueError(f"{where}: {english!r} is not a text of Setup (remove it, or mark it obsolete with #~)")
    out = []
    for name, english, values in template:
        if english not in translations:
            raise CatalogueError(f"{path}: {name} ({english!r}) is not translated")
        e, where = translations[english]
        if "fuzzy" in e["flags"]:
            raise CatalogueError(f"{where}: {name} is marked fuzzy: review it and remove the mark")
        if e["msgstr"] == "":
            raise CatalogueError(f"{where}: {name} is not translated")
        if placeholders(e["msgstr"], where) != values:
            raise CatalogueError(f"{where}: {name} must use the values of the English text ({len(values)} %s),"
                                 " each once")
        out.append(e["msgstr"])
    return out


def chosen_languages(setting, po_dir):
    available = sorted(f[:-3] for f in os.listdir(po_dir) if f.endswith(".po"))
    for tag in available:
        if not TAG.match(tag):
            raise CatalogueError(f"{os.path.join(po_dir, tag + '.po')}: name it by its language, as de.po or pt_BR.po")
    if setting == "all":
        return available
    wanted = [t for t in re.split(r"[;,\s]+", setting) if t and t != "en"]
    for tag in wanted:
        if tag not in available:
            raise CatalogueError(f"WEBSETUP_LANGUAGES: no catalogue {tag}.po in {po_dir}"
                                 f" (there are: en {' '.join(available)})")
    return sorted(set(wanted))


def quoted(units, prefix, quote, escape):
    """A string literal of code units: printable ASCII as it is, the quote and the backslash
    as `quote` and \\, every other unit as escape(unit)."""
    out = []
    for unit in units:
        c = chr(unit)
        if c == '"':
            out.append(quote)
        elif c == "\\":
            out.append("\\\\")
        elif 0x20 <= unit < 0x7F:
            out.append(c)
        else:
            out.append(escape(unit))
    return prefix + '"' + "".join(out) + '"'


def c_narrow(text):
    """A C string literal of the UTF-8 bytes, octal escapes beyond ASCII (never glued to a digit)."""
    return quoted(text.encode("utf-8"), "", '\\"', lambda b: f"\\{b:03o}")


def c_wide(text):
    """A C++ wide literal; a hex escape ends its piece, so no following letter is read into it."""
    return quoted(map(ord, text), "L", '\\"', lambda c: f'\\x{c:04x}" L"')


def rc_wide(text):
    """A resource-script wide string: "" for a quote, \\xNNNN for every UTF-16 unit beyond ASCII."""
    data = text.encode("utf-16-le")
    units = (int.from_bytes(data[i:i + 2], "little") for i in range(0, len(data), 2))
    return quoted(units, "L", '""', lambda u: f"\\x{u:04x}")


def write(path, text):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def generate(template, languages, catalogues, out_dir):
    banner = "// Made by cmake/texts_catalogue.py from po/; edit the catalogue, not this file.\n"
    ids = [banner, "#pragma once\n\n// The texts Setup shows, named as in po/websetup.pot.\nenum TextId : unsigned {\n"]
    ids += [f"  {name} = {i},\n" for i, (name, _, _) in enumerate(template)]
    ids.append(f"}};\ninline constexpr unsigned kTextCount = {len(template)};\n"
               f"// Setup.exe's string tables hold text i at this id + i.\n"
               f"inline constexpr unsigned kTextResourceBase = {kTextBase};\n")
    write(os.path.join(out_dir, "texts_ids.h"), "".join(ids))

    english = [banner, '#include "system/texts_catalogue.h"\n\nconst wchar_t* const kEnglishTexts[kTextCount] = {\n']
    english += [f"    {c_wide(text)},\n" for _, text, _ in template]
    english.append("};\n")
    write(os.path.join(out_dir, "texts_english.cpp"), "".join(english))

    posix = [banner, '#include "system/texts_catalogue.h"\n\n']
    for index, tag in enumerate(languages):
        posix.append(f"static const char* const kTexts{index}[kTextCount] = {{\n")
        posix += [f"    {c_narrow(text)},\n" for text in catalogues[tag]]
        posix.append("};\n")
    rows = "".join(f'    {{"{tag}", 0, kTexts{i}}},\n' for i, tag in enumerate(languages))
    posix.append(f"const CCatalogue kCatalogues[] = {{\n{rows}    {{nullptr, 0, nullptr}},\n}};\n")
    write(os.path.join(out_dir, "texts_catalogue_posix.cpp"), "".join(posix))

    win = [banner, '#include "system/texts_catalogue.h"\n\n']
    rows = "".join(f'    {{"{tag}", 0x{(LANGIDS[tag][1] << 10) | LANGIDS[tag][0]:04x}, nullptr}},\n' for tag in languages)
    win.append(f"const CCatalogue kCatalogues[] = {{\n{rows}    {{nullptr, 0, nullptr}},\n}};\n")
    write(os.path.join(out_dir, "texts_catalogue_win.cpp"), "".join(win))

    rc = ["// Made by cmake/texts_catalogue.py from po/; edit the catalogue, not this file.\n"]
    for tag in languages:
        primary, sub = LANGIDS[tag]
        rc.append(f"\n// {tag}\nLANGUAGE 0x{primary:02x}, 0x{sub:02x}\nSTRINGTABLE\nBEGIN\n")
        rc += [f"  {kTextBase + i}, {rc_wide(text)}\n" for i, text in enumerate(catalogues[tag])]
        rc.append("END\n")
    write(os.path.join(out_dir, "texts.rc"), "".join(rc))


# String ids in the resource: the text's index plus this (ids 0..15 would share a block with 0).
kTextBase = 16


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--po-dir", required=True)
    parser.add_argument("--languages", default="en", help="en, all, or a list such as de;fr;ja")
    parser.add_argument("--out-dir", help="where the generated files go; without it only the check runs")
    args = parser.parse_args(argv)
    try:
        template = read_template(os.path.join(args.po_dir, "websetup.pot"))
        languages = chosen_languages(args.languages, args.po_dir)
        for tag in languages:
            if tag not in LANGIDS:
                raise CatalogueError(f"{os.path.join(args.po_dir, tag + '.po')}: no Windows LANGID known for {tag};"
                                     " add it to LANGIDS in cmake/texts_catalogue.py")
        catalogues = {tag: read_language(os.path.join(args.po_dir, tag + ".po"), template) for tag in languages}
    except (CatalogueError, OSError) as e:
        print(f"error: {e}", file=sys.stderr)
        return 1
    if args.out_dir:
        os.makedirs(args.out_dir, exist_ok=True)
        generate(template, languages, catalogues, args.out_dir)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
