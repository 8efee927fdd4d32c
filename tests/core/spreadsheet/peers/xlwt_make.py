# Writes the table given as JSON with xlwt: argv[1] the file, argv[2] the table.
import json, sys, xlwt
table = json.loads(sys.argv[2])
book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Names")
style = xlwt.easyxf("font: bold on; pattern: pattern solid, fore_colour gray25", num_format_str="#,##0.00")
for r, row in enumerate(table):
    for c, value in enumerate(row):
        if value == "":
            sheet.write(r, c, "", style)
        else:
            sheet.write(r, c, value, style if c == 3 else xlwt.Style.default_style)
book.add_sheet("Second").write(0, 0, "x")
book.save(sys.argv[1])
