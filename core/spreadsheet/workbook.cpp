#include "core/spreadsheet/workbook.h"

#include "core/spreadsheet/spreadsheeterror.h"
#include "core/spreadsheet/xlsreader.h"
#include "core/spreadsheet/xlswriter.h"
#include "core/util/error.h"
#include "core/util/savefile.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <stdexcept>

namespace foresyn {

namespace {

// Far above any workbook this system exchanges; refusing larger files keeps
// a damaged or foreign file from taking the machine's memory.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

} // namespace

TWorkbook::TWorkbook() : defaultFont_(QStringLiteral("Arial")) {
    formats_.emplace_back();
    formatIds_.insert(formats_.front(), 0);
    sheets_.push_back(std::unique_ptr<TWorksheet>(new TWorksheet(*this, QStringLiteral("Sheet1"))));
}

TWorkbook::~TWorkbook() = default;

void TWorkbook::SetDefaultFontName(const QString& name) {
    if (name.isEmpty() || name.size() > 31)
        throw std::out_of_range("default font name must have 1..31 characters");
    defaultFont_ = name;
}

TWorksheet& TWorkbook::Sheet(int index) {
    if (index < 0 || index >= SheetCount()) {
        throw std::out_of_range("sheet " + std::to_string(index) + " out of range 0.." +
                                std::to_string(SheetCount() - 1));
    }
    return *sheets_[static_cast<std::size_t>(index)];
}

const TWorksheet& TWorkbook::Sheet(int index) const {
    return const_cast<TWorkbook*>(this)->Sheet(index);
}

bool TWorkbook::NameUsed(const QString& name, const TWorksheet* except) const {
    for (const auto& sheet : sheets_) {
        if (sheet.get() != except && sheet->Name().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString TWorkbook::NewSheetName() const {
    for (int n = SheetCount() + 1;; ++n) {
        const QString name = QStringLiteral("Sheet%1").arg(n);
        if (!NameUsed(name, nullptr))
            return name;
    }
}

TWorksheet& TWorkbook::AddSheet() {
    sheets_.push_back(std::unique_ptr<TWorksheet>(new TWorksheet(*this, NewSheetName())));
    return *sheets_.back();
}

void TWorkbook::ClearSheets() {
    sheets_.clear();
    formats_.resize(1);
    formatIds_.clear();
    formatIds_.insert(formats_.front(), 0);
    sheets_.push_back(std::unique_ptr<TWorksheet>(new TWorksheet(*this, QStringLiteral("Sheet1"))));
}

std::uint32_t TWorkbook::Intern(const TCellFormat& format) {
    TCellFormat normal = format;
    // Sizes are kept as the file keeps them, in twentieths of a point, so
    // that sizes that look the same compare equal.
    normal.FontSize = std::round(format.FontSize * 20) / 20;
    const auto it = formatIds_.constFind(normal);
    if (it != formatIds_.cend())
        return *it;
    const auto id = static_cast<std::uint32_t>(formats_.size());
    formats_.push_back(normal);
    formatIds_.insert(normal, id);
    return id;
}

void TWorkbook::TakeContents(TWorkbook& other) {
    defaultFont_ = std::move(other.defaultFont_);
    sheets_ = std::move(other.sheets_);
    formats_ = std::move(other.formats_);
    formatIds_ = std::move(other.formatIds_);
    for (auto& sheet : sheets_)
        sheet->book_ = this;
}

void TWorkbook::Read() {
    const QString shown = QDir::toNativeSeparators(fileName_);
    const QFileInfo info(fileName_);
    if (info.exists() && info.size() > kMaxFileBytes) {
        throw TSpreadsheetError(
            QStringLiteral("Cannot read %1: the file is larger than 64 MiB").arg(shown));
    }
    QByteArray bytes;
    try {
        bytes = ReadWholeFile(fileName_);
    } catch (const TError& e) {
        throw TSpreadsheetError(e.Message());
    }
    TWorkbook loaded;
    try {
        DecodeXls(bytes, loaded);
    } catch (const TSpreadsheetError& e) {
        throw TSpreadsheetError(QStringLiteral("Cannot read %1: %2").arg(shown, e.Message()));
    }
    TakeContents(loaded);
}

void TWorkbook::Write() const {
    const QString shown = QDir::toNativeSeparators(fileName_);
    if (fileName_.isEmpty())
        throw TSpreadsheetError(QStringLiteral("Cannot save the workbook: it has no file name"));
    QByteArray bytes;
    try {
        bytes = EncodeXls(*this);
    } catch (const TSpreadsheetError& e) {
        throw TSpreadsheetError(QStringLiteral("Cannot save %1: %2").arg(shown, e.Message()));
    }
    try {
        SaveFileAtomically(fileName_, bytes);
    } catch (const TError& e) {
        throw TSpreadsheetError(e.Message());
    }
}

} // namespace foresyn
