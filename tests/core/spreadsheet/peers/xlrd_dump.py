# Dumps what xlrd sees of an .xls file, formats included, as JSON. Page
# centring is not in xlrd's model, so its own compound-document reader hands
# over the stream and the script walks the records itself.
import json, struct, sys, xlrd, xlrd.compdoc
path = sys.argv[1]
book = xlrd.open_workbook(path, formatting_info=True)
out = {"sheets": []}
data = open(path, "rb").read()
stream = xlrd.compdoc.CompDoc(data, logfile=open("/dev/null", "w")).get_named_stream("Workbook")
centring, pos, current = [], 0, None
while pos + 4 <= len(stream):
    rid, size = struct.unpack_from("<HH", stream, pos)
    body = stream[pos + 4:pos + 4 + size]
    if rid == 0x0809 and struct.unpack_from("<H", body, 2)[0] == 0x10:
        current = {"h": 0, "v": 0}
        centring.append(current)
    elif rid in (0x83, 0x84) and current is not None:
        current["h" if rid == 0x83 else "v"] = struct.unpack_from("<H", body)[0]
    pos += 4 + size
for index, sheet in enumerate(book.sheets()):
    cells = []
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype == 0:
                continue
            xf = book.xf_list[sheet.cell_xf_index(r, c)]
            font = book.font_list[xf.font_index]
            b = xf.border
            cells.append({"row": r, "col": c, "ctype": cell.ctype, "value": cell.value,
                "font": font.name, "height": font.height, "bold": int(font.bold),
                "colour": font.colour_index, "format": book.format_map[xf.format_key].format_str,
                "halign": xf.alignment.hor_align, "pattern": xf.background.fill_pattern,
                "fill": xf.background.pattern_colour_index,
                "borders": [[b.left_line_style, b.left_colour_index], [b.right_line_style, b.right_colour_index],
                            [b.top_line_style, b.top_colour_index], [b.bottom_line_style, b.bottom_colour_index]]})
    widths = [sheet.colinfo_map[c].width if c in sheet.colinfo_map else -1 for c in range(256)]
    out["sheets"].append({"name": sheet.name, "cells": cells, "widths": widths,
                          "hcenter": centring[index]["h"], "vcenter": centring[index]["v"]})
out["grey"] = list(book.colour_map[23])
out["silver"] = list(book.colour_map[22])
print(json.dumps(out))
