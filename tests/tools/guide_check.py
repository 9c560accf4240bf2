#!/usr/bin/env python3
"""Checks a generated author's guide on disk, and that it still matches the code it was made from.

usage: guide_check.py GUIDE_DIR SOURCE_ROOT [--editors N]

The page: every id is unique; every <img src> is a file beside the page that is a readable GIF or
PNG of the size the page gives it; every href is an anchor of the page or a file beside it (the
guide is self-contained: nothing outside it). The code: a section with a Play line and at least
three pictures for every preset of src/config/presets.cpp; the option keys in exactly the order
ApplyOptions reads them; pictures for the keys authors understand best by looking; every fixed
part of every LastError text found verbatim in the sources, and every text the sources write
found in the guide; the action names as the plug-in registers them. --editors N: exactly N editor screenshots are shown. Prints each problem; exit 1
if there is any.
"""
import html
import html.parser
import os
import re
import struct
import sys

# The keys whose reference must show pictures, and how many at least.
PICTURED_KEYS = {"shape": 10, "emitArea": 10, "direction": 2, "taper": 1, "feather": 1,
                 "twinkle": 1, "opacity": 1, "prewarm": 2, "fadeOut": 2, "trail": 2, "deathBurst": 2,
                 "emitShape": 2, "spriteFrames": 1, "cursor": 3, "click": 1}
# Where the options text's keys are read, in the order they are applied: (file, function).
KEY_READERS = [("src/config/options.cpp", "ApplyConfigOptions"), ("src/runtime/effect.cpp", "ApplyOptions")]
MIN_PRESET_PICTURES = 3  # the preset as designed and two variations


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.ids = []
        self.imgs = []        # (src, width, height, section id)
        self.hrefs = []
        self.sections = []    # section ids in document order
        self.section = None   # id of the innermost open section
        self.stack = []       # open section ids
        self.code_class = None
        self.code_parts = []  # of the open <code>: [kind, text], kind "fixed" or "var"
        self.lasterrors = []  # each a list of fixed text parts
        self.codes = {}       # section id -> text of its <code> elements

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if "id" in a:
            self.ids.append(a["id"])
        if tag == "section":
            self.stack.append(a.get("id"))
            self.sections.append(a.get("id"))
        elif tag == "img":
            self.imgs.append((a.get("src", ""), a.get("width"), a.get("height"),
                              self.stack[-1] if self.stack else None))
        elif tag == "a" and "href" in a:
            self.hrefs.append(a["href"])
        elif tag == "code":
            self.code_class = a.get("class", "")
            self.code_parts = [["fixed", ""]]
        elif tag == "var" and self.code_class is not None:
            self.code_parts.append(["var", ""])

    def handle_endtag(self, tag):
        if tag == "section" and self.stack:
            self.stack.pop()
        elif tag == "code" and self.code_class is not None:
            text = "".join(t for _, t in self.code_parts)
            if self.stack:
                self.codes.setdefault(self.stack[-1], []).append(text)
            if "lasterror" in self.code_class.split():
                fixed = [""]
                for kind, t in self.code_parts:
                    if kind == "var":
                        fixed.append("")
                    else:
                        fixed[-1] += t
                self.lasterrors.append((text, fixed))
            self.code_class = None
        elif tag == "var" and self.code_class is not None:
            self.code_parts.append(["fixed", ""])

    def handle_data(self, data):
        if self.code_class is not None:
            self.code_parts[-1][1] += data


def image_size(path):
    """(kind, width, height) of a whole GIF or PNG file (its end is there too), or None."""
    with open(path, "rb") as f:
        data = f.read()
    head = data[:32]
    if head[:6] in (b"GIF87a", b"GIF89a") and len(head) >= 10 and data.endswith(b"\x3b"):
        w, h = struct.unpack("<HH", head[6:10])
        return ("gif", w, h)
    if head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR" and b"IEND" in data[-12:]:
        w, h = struct.unpack(">II", head[16:24])
        return ("png", w, h)
    return None


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def source_files(root):
    for d, _, files in os.walk(os.path.join(root, "src")):
        for name in files:
            if name.endswith((".cpp", ".h")):
                yield os.path.join(d, name)


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    guide, root = argv[1], argv[2]
    expect_editors = int(argv[argv.index("--editors") + 1]) if "--editors" in argv else None
    problems = []
    page = Page()
    page.feed(read(os.path.join(guide, "index.html")))
    ids = set(page.ids)

    # --- the page itself ---
    for i in sorted(ids):
        if page.ids.count(i) > 1:
            problems.append(f"id '{i}' used {page.ids.count(i)} times")
    if not page.imgs:
        problems.append("no pictures at all")
    for src, w, h, _ in page.imgs:
        if not src or re.match(r"^[a-z]+:", src) or src.startswith("/"):
            problems.append(f"picture '{src}' is not a file beside the guide")
            continue
        path = os.path.join(guide, src)
        if not os.path.isfile(path):
            problems.append(f"picture '{src}' does not exist")
            continue
        size = image_size(path)
        if not size or size[1] == 0 or size[2] == 0:
            problems.append(f"picture '{src}' is not a readable GIF or PNG")
        elif w and h and (int(w), int(h)) != (size[1], size[2]):
            problems.append(f"picture '{src}' is {size[1]}x{size[2]}, the page says {w}x{h}")
    for href in page.hrefs:
        if href.startswith("#"):
            if href[1:] not in ids:
                problems.append(f"link '{href}' points to no anchor")
        elif re.match(r"^[a-z]+:", href) or href.startswith("/"):
            problems.append(f"link '{href}' leaves the guide")
        elif not os.path.exists(os.path.join(guide, href.split("#")[0])):
            problems.append(f"link '{href}' points to no file")

    # --- presets: every one of the code's, with its Play line and pictures ---
    presets = re.findall(r'\{"(\w+)", "(\w+)"\}', read(os.path.join(root, "src/config/presets.cpp")))
    if len(presets) < 19:
        problems.append(f"found only {len(presets)} presets in presets.cpp")
    for display, key in presets:
        sid = "preset-" + key
        pictures = [i for i in page.imgs if i[3] == sid]
        line = f'Lumivex_Play "Rect1" "{display}" "50" ""'
        if sid not in page.sections:
            problems.append(f"no section for the preset {display}")
        elif len(pictures) < MIN_PRESET_PICTURES:
            problems.append(f"preset {display}: {len(pictures)} pictures")
        elif line not in page.codes.get(sid, []):
            problems.append(f"preset {display}: no line {line}")

    # --- option keys: the guide's order is the order ApplyOptions reads them in ---
    code_keys = []
    for path, function in KEY_READERS:
        text = read(os.path.join(root, path))
        start = re.search(r"\n\w[^\n]*\b" + function + r"\(", text)
        if not start:
            problems.append(f"no function {function} in {path}")
            continue
        body = text[start.start():]
        body = body[:body.index("\n}\n")]
        # A key read again later (emitShape's picture once the config is done) keeps its first place.
        code_keys += [k for k in re.findall(r'getOption\(options, "(\w+)"\)', body) if k not in code_keys]
    guide_keys = [s[4:] for s in page.sections if s and s.startswith("opt-")]
    if code_keys != guide_keys:
        problems.append(f"option keys: ApplyOptions reads {code_keys}, the guide lists {guide_keys}")
    for key, least in PICTURED_KEYS.items():
        n = len([i for i in page.imgs if i[3] == "opt-" + key])
        if n < least:
            problems.append(f"option {key}: {n} pictures, at least {least} expected")

    # --- LastError texts: the guide's table against the sources, both ways ---
    table_file = os.path.join(root, "src/common/error_texts.cpp")
    sources = {p: read(p) for p in source_files(root) if os.path.abspath(p) != os.path.abspath(table_file)}
    everything = "\n".join(sources.values())
    if not page.lasterrors:
        problems.append("no LastError texts")
    for text, fixed in page.lasterrors:
        for part in fixed:
            if len(part) >= 2 and part not in everything:
                problems.append(f"LastError text '{text}': '{part}' is nowhere in src/")
    written = re.findall(r'\b\w*(?:Error|Failure|Outcome)\((?:\w+, )?L?"([^"]+)"', everything)
    if not written:
        problems.append("found no LastError texts written in src/")
    for start in written:
        if not any(text.startswith(start) for text, _ in page.lasterrors):
            problems.append(f"the sources write the LastError text '{start}...', the guide does not list it")

    # --- names the guide shares with the plug-in ---
    info = read(os.path.join(root, "src/plugin/plugin_info.cpp"))
    actions = set(re.findall(r"<code>(Lumivex_\w+)</code>", read(os.path.join(guide, "index.html"))))
    for name in sorted(actions):
        if f'L"{name}"' not in info:
            problems.append(f"action {name} is not one the plug-in registers")
    if len(actions) != len(re.findall(r'L"(Lumivex_\w+)"', info)):
        problems.append(f"the guide describes actions {sorted(actions)}")

    if expect_editors is not None:
        shots = [i for i in page.imgs if os.path.basename(i[0]).startswith("editor-")]
        if len(shots) != expect_editors:
            problems.append(f"{len(shots)} editor screenshots, {expect_editors} expected")

    for p in problems:
        print("guide_check: " + p)
    print(f"guide_check: {len(page.imgs)} pictures, {len(page.hrefs)} links, "
          f"{len(presets)} presets, {len(guide_keys)} option keys, {len(page.lasterrors)} LastError texts, "
          f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
