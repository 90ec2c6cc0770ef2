#!/usr/bin/env python3
"""Writes share/ttfcfg/psnfss.map from the dvips map of the TeX installation.

    tools/make-psnfss-map.py [psfonts.map] > share/ttfcfg/psnfss.map

The raw fonts under LaTeX's PostScript fonts (ptmr8r, phvb8r, pplri8r ...,
reached through TeX's T1, OT1 and TS1 virtual fonts) are drawn by the Type1
face dvips downloads for them: the 8r fonts through their Unicode character
map (encoding '8r-unicode'), the symbol and math fonts those virtual fonts
set besides (psyr, pzdr, fplmr, rsfs10 ...) in their own encoding ('raw'). An
entry the face is slanted for gets slant = 'true'; entries that stretch a
face, or reencode it otherwise, and those whose Type1 or metric file is not
installed are left out.
"""
import re
import subprocess
import sys

# The symbol and math fonts PSNFSS's virtual fonts set besides the 8r fonts
# (mathptmx, mathpazo, pifont); the Computer Modern ones have maps of their own.
RAW_FONTS = re.compile(r"(psyr|psyro|pzdr|fplm[a-z]*|rsfs[0-9]+)$")


def kpsewhich(*args):
    out = subprocess.run(["kpsewhich", *args], capture_output=True, text=True).stdout
    return out.splitlines()


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else kpsewhich("psfonts.map")[0]
    entries = []
    for line in open(path, encoding="latin-1"):
        if not line.strip() or line[0] in "%*#;":
            continue
        words = line.split()
        tex, face = words[0], words[1] if len(words) > 1 else ""
        quoted = line.split('"')[1] if line.count('"') >= 2 else ""
        files = [w.lstrip("<[") for w in words if w.startswith("<")]
        encs = [f for f in files if f.endswith(".enc")]
        fonts = [f for f in files if f.endswith((".pfb", ".pfa", ".t1"))]
        if not face or face.startswith(("<", '"')) or len(fonts) != 1 or "ExtendFont" in quoted:
            continue
        if encs == ["8r.enc"] and "ReEncodeFont" in quoted:
            encoding = "8r-unicode"
        elif not encs and "ReEncodeFont" not in quoted and RAW_FONTS.match(tex):
            encoding = "raw"
        else:
            continue
        slant = 0.0
        qw = quoted.split()
        if "SlantFont" in qw:
            slant = float(qw[qw.index("SlantFont") - 1])
            if slant <= 0:
                continue
        entries.append((tex, face, encoding, slant > 0, fonts[0]))

    installed = set()
    names = sorted({e[4] for e in entries} | {e[0] + ".tfm" for e in entries})
    for i in range(0, len(names), 200):
        for found in kpsewhich("-must-exist", *names[i:i + 200]):
            installed.add(found.rsplit("/", 1)[-1])

    for tex, face, encoding, slanted, font in sorted(entries):
        if font not in installed or tex + ".tfm" not in installed:
            continue
        extra = ", slant = 'true'" if slanted else ""
        print(f"{tex} {{ fontname = '{face}', encoding = '{encoding}'{extra} }}")


if __name__ == "__main__":
    main()
