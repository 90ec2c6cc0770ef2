#!/usr/bin/env python3
"""Writes the installation's Korean map files and the HLaTeX symbol table.

Reads Debian's TeX Live (texlive-lang-korean, latex-cjk-korean): the metric
files of each Korean font family name the subfonts to map, and the CJK
package's KS-HLaTeX.sfd gives the layout of the HLaTeX symbol subfonts.
Run from the source tree's root; the outputs are kept in git:

    share/ttfcfg/korean-nanum.map  ko.TeX's Nanum subfonts and T1/TS1 Latin fonts, their own Type1 faces
    share/ttfcfg/korean-uwmj.map   CJK's Unicode subfonts uwmj*, Un Batang
    share/ttfcfg/korean-wmj.map    CJK's HLaTeX subfonts wmj*, Un Batang
    share/ttfcfg/korean-umj.map    the umj faces under the wmj virtual fonts
    share/codetab/hlatexa.tab      symbol subfonts 04-07 (dvilib/CharCodes.h)
"""
import os
import re
import struct
import subprocess
import sys

texmf = subprocess.run(["kpsewhich", "-var-value", "TEXMFDIST"], capture_output=True, text=True,
                       check=True).stdout.strip()
tfm = os.path.join(texmf, "fonts/tfm")
sfd = os.path.join(texmf, "fonts/sfd/ttf2pk/KS-HLaTeX.sfd")


def subfonts(folder, family, suffix):
    """The suffixes of family's metric files in folder, sorted."""
    out = []
    for name in os.listdir(os.path.join(tfm, folder)):
        m = re.fullmatch(re.escape(family) + "(" + suffix + r")\.tfm", name)
        if m:
            out.append(m.group(1))
    return sorted(out, key=lambda s: (len(s), s) if s.isdigit() else (0, s))


def entry(name, **keys):
    pairs = ", ".join("%s = '%s'" % (k, v) for k, v in keys.items())
    return "%s { %s }\n" % (name, pairs)


def write(path, lines):
    with open(path, "w", encoding="ascii") as f:
        f.writelines(lines)
    print(path, len(lines), "entries")


def average_width(face_file):
    """The face's average character width (OS/2) as a share of its em."""
    data = open(face_file, "rb").read()
    tables = {}
    for i in range(struct.unpack(">H", data[4:6])[0]):
        tag, _, offset, _ = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tables[tag] = offset
    avg = struct.unpack(">h", data[tables[b"OS/2"] + 2:tables[b"OS/2"] + 4])[0]
    upem = struct.unpack(">H", data[tables[b"head"] + 18:tables[b"head"] + 20])[0]
    return avg / upem


HEX = "[0-9a-f][0-9a-f]"
# CJK's shapes condensed (c), extended (x) and ultra extended (u) by the
# factors of TeX Live's umj map; the map's averagewidth is the face's average
# width at that extension, as a share of the font size.
UNBATANG_WIDTH = average_width("/usr/share/fonts/truetype/unfonts-core/UnBatang.ttf")
EXTEND = {"c": 0.75, "x": 1.25, "u": 1.999}


def un_batang(shape, encoding):
    keys = {"fontname": "UnBatang", "encoding": encoding}
    if shape[:1] in EXTEND:
        keys["averagewidth"] = "%.4f" % (EXTEND[shape[:1]] * UNBATANG_WIDTH)
    if shape.endswith("o"):
        keys["slant"] = "true"
    return keys

# ko.TeX: myeongjo (mj) and gothic (gt), medium (m) and bold (b); the
# oblique "o" shapes are the upright face slanted, as TeX Live's map does.
lines = []
for family in ("nanummjm", "nanummjb", "nanumgtm", "nanumgtb"):
    for shape in ("", "o"):
        for h in subfonts("public/nanumtype1", family + shape, HEX):
            keys = {"fontname": family + h, "encoding": "unicode-subfont"}
            if shape:
                keys["slant"] = "true"
            lines.append(entry(family + shape + h, **keys))
# Its Latin fonts through the T1 face's Unicode character map; TS1 has no
# face of its own and takes the T1 face's symbols.
for family in ("nanummjm", "nanummjb", "nanumgtm", "nanumgtb"):
    for enc, encoding in (("t1", "t1-unicode"), ("ts1", "ts1-unicode")):
        for shape in ("", "o"):
            keys = {"fontname": "t1" + family, "encoding": encoding}
            if shape:
                keys["slant"] = "true"
            lines.append(entry(enc + family + shape, **keys))
write("share/ttfcfg/korean-nanum.map", lines)

# CJK's myeongjo families: normal, condensed (c), extended (x), ultra
# extended (u), each upright and oblique (o).
shapes = ("", "o", "c", "co", "x", "xo", "u", "uo")
lines = []
for shape in shapes:
    for h in subfonts("uhc/uwmj", "uwmj" + shape, HEX):
        lines.append(entry("uwmj" + shape + h, **un_batang(shape, "unicode-subfont")))
write("share/ttfcfg/korean-uwmj.map", lines)

lines = []
for shape in shapes:
    for n in subfonts("uhc/wmj", "wmj" + shape, "[0-9]+"):
        lines.append(entry("wmj" + shape + n, **un_batang(shape, "hlatex")))
write("share/ttfcfg/korean-wmj.map", lines)

lines = []
for shape in shapes:
    for n in subfonts("uhc/umj", "umj" + shape, "[0-9][0-9]"):
        keys = {"fontname": "Umj" + n, "encoding": "raw"}
        if shape.endswith("o"):
            keys["slant"] = "true"
        lines.append(entry("umj" + shape + n, **keys))
write("share/ttfcfg/korean-umj.map", lines)

# The symbol subfonts: each code range of the layout, in order from code 0,
# becomes a row {subfont, first code, lead, trail}.
text = open(sfd, encoding="ascii").read().replace("\\\n", " ")
rows = ["# HLaTeX symbol subfonts 04-07: subfont, first code, EUC-KR lead and trail.\n",
        "# Made by tools/make-korean-maps.py from TeX Live's KS-HLaTeX.sfd.\n"]
for line in text.splitlines():
    line = line.split("#")[0].split()
    if not line or not re.fullmatch("0[1-9]", line[0]):
        continue
    code = 0
    for item in line[1:]:
        lo, _, hi = item.partition("_")
        lo = int(lo, 16)
        hi = int(hi, 16) if hi else lo
        if lo >> 8 != hi >> 8:
            sys.exit("a range crosses a row: " + item)
        rows.append("%d 0x%02X 0x%02X 0x%02X\n" % (int(line[0]), code, lo >> 8, lo & 0xFF))
        code += hi - lo + 1
write("share/codetab/hlatexa.tab", rows)
