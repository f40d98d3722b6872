#!/usr/bin/env python3
"""Makes the font of printed pages and PDF files from a face of a stock CJK font.

A PDF's text is read back (copy, search, pdftotext) through a map from each glyph to one character,
which Qt's PDF writer fills with the lowest code point whose cmap entry names the glyph. Stock CJK
fonts give one glyph to several characters: 木 and the Kangxi radical ⽊ (U+2F4A), 　 (U+3000) and
EM SPACE, ・ and HYPHENATION POINT, ～ and 〜 ... so 佐々木 reads back as 佐々⽊. The copy made here
keeps every glyph but gives each shared glyph one character: the lowest printable ASCII or CJK unified
ideograph among them if there is one, else the highest; every lower character sharing the glyph, and
every radical (U+2E80-U+2FDF), is left out of its cmap. Text printed in one of those falls back to
the stock font, where it is itself the lowest of its glyph's characters, so it reads back too. The tab,
which Qt would draw with the space's glyph (so every space read back as a tab), gets a blank glyph
of its own.
The faces are renamed, so the copy never stands in for the stock font.

    make_print_font.py SOURCE.ttc "Noto Sans CJK JP" OUTPUT.otf "Eigyo Techo Print"
"""
import sys
from collections import defaultdict

from fontTools.ttLib import TTFont
from fontTools.ttLib.ttCollection import TTCollection


def common(code):
    # Printable ASCII and the unified ideographs; control characters (the tab shares the space's
    # glyph) are not among them.
    return 0x20 <= code < 0x7F or 0x4E00 <= code <= 0x9FFF


def left_out(cmap):
    """The code points whose entries the copy drops."""
    by_glyph = defaultdict(list)
    for code, glyph in cmap.items():
        if code < 0x10000:
            by_glyph[glyph].append(code)
    drop = {code for code in cmap if 0x2E80 <= code <= 0x2FDF}
    for codes in by_glyph.values():
        if len(codes) < 2:
            continue
        codes.sort()
        kept = next((c for c in codes if common(c)), codes[-1])
        drop.update(c for c in codes if c < kept)
    return drop


def unused_blank_glyph(font, cmap):
    """A glyph that draws nothing and no character names (reached, if at all, by substitutions)."""
    named = set(cmap.values())
    charstrings = font["CFF "].cff.topDictIndex[0].CharStrings
    for name in font.getGlyphOrder()[1:]:
        if name in named:
            continue
        charstring = charstrings[name]
        # A blank glyph's program is a few bytes (a width and endchar): look no further at long ones.
        code = getattr(charstring, "bytecode", None)
        if code is not None and len(code) > 8:
            continue
        if charstring.calcBounds(charstrings) is None:
            return name
    raise SystemExit("make_print_font: the font has no unused blank glyph for the tab")


def face_index(path, family):
    if not path.lower().endswith((".ttc", ".otc")):
        return -1
    collection = TTCollection(path, lazy=True)
    for index, face in enumerate(collection.fonts):
        if face["name"].getDebugName(1) == family:
            return index
    raise SystemExit(f"make_print_font: no face named {family!r} in {path}")


def main(source, source_family, output, family):
    index = face_index(source, source_family)
    # Lazy, and no recalculation: only the changed tables are compiled again (seconds, not minutes).
    font = TTFont(source, fontNumber=max(index, 0), lazy=True, recalcBBoxes=False, recalcTimestamp=False)
    cmap = font.getBestCmap()
    drop = left_out(cmap)
    # Qt draws a tab that the font lacks with the space's glyph, which then reads back as a tab: the
    # tab gets a blank glyph of its own, so a space reads back as a space.
    tab_glyph = unused_blank_glyph(font, cmap) if 0x09 not in cmap else None
    for table in font["cmap"].tables:
        if hasattr(table, "cmap") and table.cmap:
            for code in drop:
                table.cmap.pop(code, None)
            if tab_glyph and table.format in (4, 12):
                table.cmap[0x09] = tab_glyph
    postscript_source = source_family.replace(" ", "")
    postscript = family.replace(" ", "")
    for record in font["name"].names:
        text = record.toUnicode()
        renamed = text.replace(source_family, family)
        # The PostScript names spell the region in lower case (NotoSansCJKjp-Regular).
        renamed = renamed.replace(postscript_source.lower(), postscript).replace(
            postscript_source[:-2] + postscript_source[-2:].lower(), postscript)
        if renamed != text:
            record.string = renamed
    font.save(output)
    print(f"make_print_font: {output}: {len(drop)} shared characters left out of the character map")


if __name__ == "__main__":
    if len(sys.argv) != 5:
        raise SystemExit(__doc__)
    main(*sys.argv[1:])
