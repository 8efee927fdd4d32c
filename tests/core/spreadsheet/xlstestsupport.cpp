#include "xlstestsupport.h"

#include "core/spreadsheet/compoundfile.h"
#include "core/spreadsheet/spreadsheeterror.h"

#include <QSet>
#include <QtEndian>

#include <map>

namespace foresyn::testing {

namespace {

std::uint16_t U16(const QByteArray& s, qsizetype at) {
    return qFromLittleEndian<std::uint16_t>(s.constData() + at);
}

std::uint32_t U32(const QByteArray& s, qsizetype at) {
    return qFromLittleEndian<std::uint32_t>(s.constData() + at);
}

struct TSheetCheck {
    qsizetype Start = 0;
    bool SawDimensions = false;
    std::uint32_t FirstRow = 0, RowEnd = 0;
    std::uint16_t FirstCol = 0, ColEnd = 0;
};

} // namespace

QByteArray WorkbookStream(const QByteArray& xls) {
    try {
        return cfb::ReadStream(xls, u"Workbook").value_or(QByteArray());
    } catch (const TSpreadsheetError&) {
        return QByteArray();
    }
}

QStringList StructureProblems(const QByteArray& xls) {
    QStringList problems;
    const QByteArray s = WorkbookStream(xls);
    if (s.size() < 4096)
        problems << QStringLiteral("Workbook stream shorter than 4096 bytes");
    std::vector<qsizetype> sheetOffsets;
    qsizetype fonts = 0, xfs = 0, selected = 0;
    std::vector<int> xfFonts, cellXfs;
    std::uint32_t declaredUnique = 0;
    bool sawSst = false;
    std::map<qsizetype, TSheetCheck> sheets; // by BOF offset
    TSheetCheck* sheet = nullptr;
    bool globals = true;

    auto checkCell = [&](qsizetype at, int row, int col, int xf) {
        cellXfs.push_back(xf);
        if (!sheet || !sheet->SawDimensions) {
            problems << QStringLiteral("cell at %1 before DIMENSIONS").arg(at);
            return;
        }
        if (std::uint32_t(row) < sheet->FirstRow || std::uint32_t(row) >= sheet->RowEnd ||
            col < sheet->FirstCol || col >= sheet->ColEnd)
            problems << QStringLiteral("cell at %1 outside DIMENSIONS").arg(at);
    };

    for (qsizetype pos = 0; pos + 4 <= s.size();) {
        const std::uint16_t id = U16(s, pos), len = U16(s, pos + 2);
        if (id == 0 && len == 0)
            break; // the zero padding after the last EOF
        if (len > 8224)
            problems << QStringLiteral("record %1 at %2 longer than 8224").arg(id).arg(pos);
        if (pos + 4 + len > s.size()) {
            problems << QStringLiteral("record at %1 runs past the stream").arg(pos);
            break;
        }
        const qsizetype d = pos + 4;
        switch (id) {
        case 0x0809:
            if (U16(s, d + 2) == 0x0010) {
                sheet = &sheets[pos];
                sheet->Start = pos;
                globals = false;
            }
            break;
        case 0x0031:
            ++fonts;
            break;
        case 0x00E0:
            ++xfs;
            xfFonts.push_back(U16(s, d));
            break;
        case 0x0085:
            sheetOffsets.push_back(U32(s, d));
            break;
        case 0x00FC: {
            sawSst = true;
            declaredUnique = U32(s, d + 4);
            // Walk the strings in the first record only far enough to see empty ones.
            qsizetype p = d + 8, seen = 0;
            while (p + 3 <= d + len && seen < declaredUnique) {
                const std::uint16_t cch = U16(s, p);
                if (cch == 0)
                    problems << QStringLiteral("empty shared string");
                const bool wide = s[p + 2] & 1;
                p += 3 + qsizetype(cch) * (wide ? 2 : 1);
                ++seen;
            }
            break;
        }
        case 0x0200:
            if (sheet) {
                sheet->SawDimensions = true;
                sheet->FirstRow = U32(s, d);
                sheet->RowEnd = U32(s, d + 4);
                sheet->FirstCol = U16(s, d + 8);
                sheet->ColEnd = U16(s, d + 10);
            }
            break;
        case 0x00FD:
        case 0x0203:
        case 0x027E:
        case 0x0201:
        case 0x0205:
        case 0x0204:
            checkCell(pos, U16(s, d), U16(s, d + 2), U16(s, d + 4));
            break;
        case 0x00BD: {
            const int n = (len - 6) / 6;
            const int first = U16(s, d + 2);
            if (U16(s, d + len - 2) != first + n - 1)
                problems << QStringLiteral("MULRK at %1 with a wrong last column").arg(pos);
            for (int i = 0; i < n; ++i)
                checkCell(pos, U16(s, d), first + i, U16(s, d + 4 + 6 * i));
            break;
        }
        case 0x00BE: {
            const int n = (len - 6) / 2;
            const int first = U16(s, d + 2);
            if (n < 2 || U16(s, d + len - 2) != first + n - 1)
                problems << QStringLiteral("MULBLANK at %1 malformed").arg(pos);
            for (int i = 0; i < n; ++i)
                checkCell(pos, U16(s, d), first + i, U16(s, d + 4 + 2 * i));
            break;
        }
        case 0x023E:
            if (U16(s, d) & 0x0200)
                ++selected;
            break;
        default:
            break;
        }
        (void)globals;
        pos += 4 + len;
    }
    for (qsizetype offset : sheetOffsets) {
        if (!sheets.contains(offset))
            problems << QStringLiteral("BOUNDSHEET offset %1 is not a worksheet BOF").arg(offset);
    }
    if (sheets.size() != sheetOffsets.size())
        problems << QStringLiteral("sheet count differs from BOUNDSHEET count");
    if (xfs < 16)
        problems << QStringLiteral("fewer than 16 XFs");
    for (int f : xfFonts) {
        if (f == 4 || f > fonts) // indexes skip 4: the n-th record from 5 on is n
            problems << QStringLiteral("XF refers to font %1 of %2").arg(f).arg(fonts);
    }
    for (int xf : cellXfs) {
        if (xf >= xfs) {
            problems << QStringLiteral("cell refers to XF %1 of %2").arg(xf).arg(xfs);
            break;
        }
    }
    if (!sawSst)
        problems << QStringLiteral("no SST");
    if (selected != 1)
        problems << QStringLiteral("%1 selected sheets").arg(selected);
    return problems;
}

void BuildSampleWorkbook(TWorkbook& book) {
    book.SetDefaultFontName(QStringLiteral("Trebuchet MS"));
    TWorksheet& first = book.Sheet(0);
    first.SetName(QStringLiteral("Alpha (North)"));

    TCellFormat title;
    title.FontName = QStringLiteral("Trebuchet MS");
    title.FontSize = 18;
    title.Bold = true;
    title.Border(TBorderSide::Bottom) = {TBorderStyle::Thick, palette::kBlack};
    first.WriteText(0, 0, QStringLiteral("Alpha (North)"));
    first.SetFormat(0, 0, title);
    first.WriteText(15, 0, QStringLiteral("Round 2"));
    first.CopyFormat(0, 0, {1, 0, 15, 0});
    TCellFormat right = first.Format(15, 0);
    right.Alignment = THorizontalAlignment::Right;
    first.SetFormat(15, 0, right);

    const QStringList labels = {"Effort",  "Maximum",  "Median",   "Change (R1)",
                                "Minimum", "Expert 1", "Expert 2", "Expert 3"};
    TCellFormat label;
    label.Bold = true;
    label.FontColour = palette::kWhite;
    for (int i = 0; i < labels.size(); ++i) {
        first.WriteText(1, 2 + i, labels[i]);
        first.SetFormat(1, 2 + i, label);
    }
    first.FillRange({1, 2, 1, 9}, palette::kGrey);
    first.OutlineRange({1, 2, 1, 9}, TBorderStyle::Thin, palette::kBlack);
    first.WriteText(0, 2, QStringLiteral("2009"));

    const int fills[8] = {palette::kSilver,      palette::kWhite,      palette::kLightGreen,
                          palette::kWhite,       palette::kWhite,      palette::kLightYellow,
                          palette::kLightYellow, palette::kLightYellow};
    for (int point = 0; point < 5; ++point) {
        const int col = 4 + point;
        TCellFormat money;
        money.NumberFormat = point == 0 ? QStringLiteral("#,##0.00") : QStringLiteral("$#,##0.0");
        money.Alignment = point == 0 ? THorizontalAlignment::Centre : THorizontalAlignment::Right;
        for (int r = 0; r < 8; ++r) {
            if (r == 0)
                first.WriteInteger(col, 2, point * 25);
            else
                first.WriteNumber(col, 2 + r, 1000.0 * (point + 1) + r * 12.34);
            TCellFormat f = money;
            f.Bold = r == 2;
            first.SetFormat(col, 2 + r, f);
            first.FillRange({col, 2 + r, col, 2 + r}, fills[r]);
        }
        first.OutlineRange({col, 2, col, 9}, TBorderStyle::Hair, palette::kBlack);
    }
    first.OutlineRange({4, 2, 8, 9}, TBorderStyle::Thin, palette::kBlack);
    first.OutlineRange({6, 2, 6, 9}, TBorderStyle::Medium, palette::kRed);
    first.SetFontColour({7, 7, 8, 8}, palette::kRed);
    // Formatted cells without values, as blocks written without figures are.
    for (int r = 2; r < 10; ++r) {
        first.WriteBlank(10, r);
        first.FillRange({10, r, 10, r}, fills[r - 2]);
    }
    first.OutlineRange({10, 2, 10, 9}, TBorderStyle::Thin, palette::kBlack);
    TCellFormat percent;
    percent.NumberFormat = QStringLiteral("#,##0.0%");
    first.WriteText(12, 7, QStringLiteral("Growth"));
    first.WriteNumber(13, 7, 0.0525);
    first.SetFormat(13, 7, percent);
    first.WriteText(13, 8, QStringLiteral("-"));
    first.SetFormat(13, 8, percent);
    first.FitColumnWidth(1);
    first.SetColumnWidth(0, 3000);
    for (int col : {3, 9, 11})
        first.SetColumnWidth(col, first.ColumnWidth(0) / 10);
    first.SetCentredOnPage(true, true);

    TWorksheet& second = book.AddSheet();
    second.SetName(QStringLiteral("Ünïcødé Δ €"));
    second.WriteText(0, 0, QStringLiteral("Product Name"));
    second.WriteText(1, 0, QString::fromUtf8("Grüße, Ελλάδα, 中文, \U0001F600"));
    second.WriteInteger(0, 1, 2008);
    second.WriteInteger(1, 1, -536870912); // the smallest RK integer
    second.WriteInteger(2, 1, 536870912);  // one past the largest: NUMBER
    second.WriteNumber(3, 1, 0.1);
    second.WriteNumber(4, 1, -3.25);
    second.WriteNumber(5, 1, 1.0 / 3.0);
    second.WriteNumber(6, 1, 1e300);
    second.WriteText(7, 1, QString()); // empty text: a blank cell
    second.WriteInteger(200, 300, 7);  // far from the rest
    second.FitColumnWidth(0);
    second.SetCentredOnPage(true, false);

    TWorksheet& third = book.AddSheet(); // keeps its default name
    // More than 8224 bytes of strings: the table needs CONTINUE records,
    // with Latin-1 and UTF-16 strings crossing record boundaries.
    third.WriteText(0, 0, QString(9000, QChar(u'x')));
    third.WriteText(0, 1, QString(5000, QChar(u'\u0394')) + QStringLiteral("end"));
    for (int r = 2; r < 600; ++r)
        third.WriteText(r % 7, r, QStringLiteral("String number %1 é").arg(r));
}

} // namespace foresyn::testing
