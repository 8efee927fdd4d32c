#include "core/spreadsheet/compoundfile.h"

#include "core/spreadsheet/spreadsheeterror.h"

#include <QString>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace foresyn::cfb {

namespace {

constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr qsizetype kSector = 512;
constexpr qsizetype kMiniCutoff = 4096;
constexpr qsizetype kHeaderDifat = 109;
constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

void Set16(char* p, unsigned v) {
    qToLittleEndian(static_cast<std::uint16_t>(v), p);
}

void Set32(char* p, std::uint32_t v) {
    qToLittleEndian(v, p);
}

void SetEntry(char* e, QStringView name, int type, std::uint32_t child, std::uint32_t start,
              std::uint32_t size) {
    for (qsizetype i = 0; i < name.size() && i < 31; ++i)
        Set16(e + 2 * i, name[i].unicode());
    Set16(e + 0x40, static_cast<unsigned>(name.isEmpty() ? 0 : 2 * (name.size() + 1)));
    e[0x42] = static_cast<char>(type);
    e[0x43] = 1; // black: a valid red-black tree of one child
    Set32(e + 0x44, kNoStream);
    Set32(e + 0x48, kNoStream);
    Set32(e + 0x4C, child);
    Set32(e + 0x74, start);
    Set32(e + 0x78, size);
}

} // namespace

QByteArray WriteSingleStream(QStringView name, QByteArrayView stream) {
    qsizetype padded = std::max(stream.size(), kMiniCutoff);
    padded = (padded + kSector - 1) / kSector * kSector;
    const qsizetype w = padded / kSector;
    constexpr qsizetype kPerSector = kSector / 4;

    // Smallest FAT that maps every sector, its own and the DIFAT's included.
    qsizetype fat = 1, difat = 0;
    for (;;) {
        difat = fat > kHeaderDifat ? (fat - kHeaderDifat + kPerSector - 2) / (kPerSector - 1) : 0;
        if (w + fat + difat + 1 <= kPerSector * fat)
            break;
        ++fat;
    }
    const qsizetype firstFat = w, firstDifat = w + fat, directory = w + fat + difat;
    const qsizetype total = directory + 1;

    QByteArray out(kSector * (1 + total), '\0');
    char* h = out.data();
    std::memcpy(h, kSignature, 8);
    Set16(h + 0x18, 0x003E);
    Set16(h + 0x1A, 0x0003);
    Set16(h + 0x1C, 0xFFFE);
    Set16(h + 0x1E, 9);
    Set16(h + 0x20, 6);
    Set32(h + 0x2C, static_cast<std::uint32_t>(fat));
    Set32(h + 0x30, static_cast<std::uint32_t>(directory));
    Set32(h + 0x38, kMiniCutoff);
    Set32(h + 0x3C, kEndOfChain);
    Set32(h + 0x40, 0);
    Set32(h + 0x44, difat ? static_cast<std::uint32_t>(firstDifat) : kEndOfChain);
    Set32(h + 0x48, static_cast<std::uint32_t>(difat));
    for (qsizetype i = 0; i < kHeaderDifat; ++i) {
        Set32(h + 0x4C + 4 * i, i < fat ? static_cast<std::uint32_t>(firstFat + i) : kFreeSect);
    }

    auto sector = [&](qsizetype n) { return out.data() + kSector * (1 + n); };
    std::memcpy(sector(0), stream.data(), stream.size());

    for (qsizetype d = 0; d < difat; ++d) {
        char* s = sector(firstDifat + d);
        for (qsizetype i = 0; i < kPerSector - 1; ++i) {
            const qsizetype f = kHeaderDifat + d * (kPerSector - 1) + i;
            Set32(s + 4 * i, f < fat ? static_cast<std::uint32_t>(firstFat + f) : kFreeSect);
        }
        Set32(s + kSector - 4,
              d + 1 < difat ? static_cast<std::uint32_t>(firstDifat + d + 1) : kEndOfChain);
    }

    auto setFat = [&](qsizetype n, std::uint32_t value) {
        Set32(sector(firstFat + n / kPerSector) + 4 * (n % kPerSector), value);
    };
    for (qsizetype n = 0; n < kPerSector * fat; ++n) {
        std::uint32_t value = kFreeSect;
        if (n < w - 1)
            value = static_cast<std::uint32_t>(n + 1);
        else if (n == w - 1 || n == directory)
            value = kEndOfChain;
        else if (n >= firstFat && n < firstDifat)
            value = kFatSect;
        else if (n >= firstDifat && n < directory)
            value = kDifSect;
        setFat(n, value);
    }

    char* dir = sector(directory);
    SetEntry(dir, u"Root Entry", 5, 1, kEndOfChain, 0);
    SetEntry(dir + 128, name, 2, kNoStream, 0, static_cast<std::uint32_t>(padded));
    for (int unused = 2; unused < 4; ++unused) {
        Set32(dir + 128 * unused + 0x44, kNoStream);
        Set32(dir + 128 * unused + 0x48, kNoStream);
        Set32(dir + 128 * unused + 0x4C, kNoStream);
    }
    return out;
}

namespace {

[[noreturn]] void Damaged(const QString& what) {
    throw TSpreadsheetError(QStringLiteral("the file's container is damaged: ") + what);
}

class TReader {
public:
    explicit TReader(QByteArrayView file) : file_(file) {}

    std::optional<QByteArray> Read(QStringView name) {
        ReadHeader();
        ReadFat();
        const QByteArray directory = ChainBytes(U32(0x30), fat_, file_.size(), "directory");
        const qsizetype entries = directory.size() / 128;
        if (entries == 0 || directory[0x42] != 5)
            Damaged(QStringLiteral("no root storage"));
        const char* root = directory.constData();

        // Children of the root form a tree through the sibling links.
        std::vector<bool> seen(static_cast<std::size_t>(entries), false);
        std::vector<std::uint32_t> pending{Get32(root + 0x4C)};
        while (!pending.empty()) {
            const std::uint32_t id = pending.back();
            pending.pop_back();
            if (id == kNoStream)
                continue;
            if (id >= static_cast<std::uint32_t>(entries) || seen[id])
                Damaged(QStringLiteral("the directory's links are broken"));
            seen[id] = true;
            const char* e = directory.constData() + 128 * qsizetype{id};
            pending.push_back(Get32(e + 0x44));
            pending.push_back(Get32(e + 0x48));
            if (e[0x42] == 2 && EntryName(e).compare(name, Qt::CaseInsensitive) == 0)
                return StreamBytes(root, e);
        }
        return std::nullopt;
    }

private:
    static std::uint32_t Get32(const char* p) { return qFromLittleEndian<std::uint32_t>(p); }
    std::uint32_t U32(qsizetype at) const { return Get32(file_.data() + at); }
    std::uint16_t U16(qsizetype at) const {
        return qFromLittleEndian<std::uint16_t>(file_.data() + at);
    }

    static QString EntryName(const char* e) {
        const unsigned bytes = qFromLittleEndian<std::uint16_t>(e + 0x40);
        QString name;
        for (unsigned i = 0; i + 1 < bytes && i < 62; i += 2) {
            const char16_t c = qFromLittleEndian<char16_t>(e + i);
            if (c == 0)
                break;
            name += QChar(c);
        }
        return name;
    }

    void ReadHeader() {
        if (file_.size() < kSector || std::memcmp(file_.data(), kSignature, 8) != 0) {
            if (file_.startsWith("PK"))
                throw TSpreadsheetError(QStringLiteral(
                    "it is a newer .xlsx workbook; save it as Excel 97-2003 (.xls)"));
            throw TSpreadsheetError(QStringLiteral("it is not an Excel 97-2003 workbook"));
        }
        if (U16(0x1C) != 0xFFFE)
            Damaged(QStringLiteral("unknown byte order"));
        const unsigned shift = U16(0x1E);
        if ((shift != 9 && shift != 12) || U16(0x20) != 6)
            Damaged(QStringLiteral("unknown sector size"));
        sector_ = qsizetype{1} << shift;
        if (file_.size() < sector_)
            Damaged(QStringLiteral("the file is shorter than its header"));
        // A last sector cut short is tolerated; what a stream needs is checked.
        sectors_ = (file_.size() - sector_ + sector_ - 1) / sector_;
        cutoff_ = U32(0x38);
        version4_ = shift == 12;
    }

    QByteArrayView Sector(std::uint32_t n) const {
        const qsizetype at = sector_ * (1 + qsizetype{n});
        return file_.sliced(at, std::min(sector_, file_.size() - at));
    }

    void ReadFat() {
        const std::uint32_t fatSectors = U32(0x2C);
        if (fatSectors > static_cast<std::uint64_t>(sectors_))
            Damaged(QStringLiteral("more FAT sectors than the file has"));
        std::vector<std::uint32_t> fatList;
        fatList.reserve(fatSectors);
        for (qsizetype i = 0; i < kHeaderDifat && fatList.size() < fatSectors; ++i)
            fatList.push_back(U32(0x4C + 4 * i));
        std::uint32_t next = U32(0x44);
        std::vector<bool> seen(static_cast<std::size_t>(sectors_), false);
        while (fatList.size() < fatSectors) {
            if (next >= sectors_ || seen[next])
                Damaged(QStringLiteral("the DIFAT chain is broken"));
            seen[next] = true;
            const QByteArrayView s = Sector(next);
            if (s.size() < sector_)
                Damaged(QStringLiteral("a DIFAT sector lies past the end of the file"));
            const qsizetype per = sector_ / 4 - 1;
            for (qsizetype i = 0; i < per && fatList.size() < fatSectors; ++i)
                fatList.push_back(Get32(s.data() + 4 * i));
            next = Get32(s.data() + 4 * per);
        }
        fat_.reserve(fatList.size() * static_cast<std::size_t>(sector_ / 4));
        for (std::uint32_t f : fatList) {
            if (f >= sectors_)
                Damaged(QStringLiteral("a FAT sector lies past the end of the file"));
            const QByteArrayView s = Sector(f);
            for (qsizetype i = 0; i + 4 <= s.size(); i += 4)
                fat_.push_back(Get32(s.data() + i));
        }
    }

    // The bytes of a chain of normal sectors, at most `limit` of them.
    QByteArray ChainBytes(std::uint32_t start, const std::vector<std::uint32_t>& fat,
                          qsizetype limit, const char* what) const {
        QByteArray bytes;
        std::vector<bool> seen(static_cast<std::size_t>(sectors_), false);
        for (std::uint32_t s = start; s != kEndOfChain && bytes.size() < limit;) {
            if (s >= kMaxRegSect || s >= sectors_ || s >= fat.size() || seen[s])
                Damaged(QStringLiteral("the sector chain of the %1 is broken")
                            .arg(QLatin1StringView(what)));
            seen[s] = true;
            const QByteArrayView data = Sector(s);
            bytes.append(data.data(), data.size());
            s = fat[s];
        }
        return bytes;
    }

    QByteArray StreamBytes(const char* root, const char* entry) const {
        std::uint64_t size = Get32(entry + 0x78);
        if (version4_)
            size |= std::uint64_t{Get32(entry + 0x7C)} << 32;
        const std::uint32_t start = Get32(entry + 0x74);
        if (size > static_cast<std::uint64_t>(file_.size()))
            Damaged(QStringLiteral("a stream is larger than the file"));
        const auto length = static_cast<qsizetype>(size);
        QByteArray bytes;
        if (length < static_cast<qsizetype>(cutoff_)) {
            bytes = MiniStreamBytes(root, start, length);
        } else {
            bytes = ChainBytes(start, fat_, length, "Workbook stream");
        }
        if (bytes.size() < length)
            Damaged(QStringLiteral("a stream is cut short"));
        bytes.truncate(length);
        return bytes;
    }

    QByteArray MiniStreamBytes(const char* root, std::uint32_t start, qsizetype length) const {
        if (length == 0)
            return QByteArray();
        const qsizetype rootSize = Get32(root + 0x78);
        const QByteArray mini = ChainBytes(Get32(root + 0x74), fat_, rootSize, "mini stream");
        const QByteArray miniFatBytes = ChainBytes(U32(0x3C), fat_, file_.size(), "mini FAT");
        std::vector<std::uint32_t> miniFat;
        miniFat.reserve(static_cast<std::size_t>(miniFatBytes.size() / 4));
        for (qsizetype i = 0; i + 4 <= miniFatBytes.size(); i += 4)
            miniFat.push_back(Get32(miniFatBytes.constData() + i));
        constexpr qsizetype kMini = 64;
        const qsizetype miniSectors = mini.size() / kMini;
        QByteArray bytes;
        std::vector<bool> seen(static_cast<std::size_t>(miniSectors), false);
        for (std::uint32_t s = start; s != kEndOfChain && bytes.size() < length;) {
            if (s >= miniSectors || s >= miniFat.size() || seen[s])
                Damaged(QStringLiteral("the mini stream's sector chain is broken"));
            seen[s] = true;
            bytes.append(mini.constData() + kMini * qsizetype{s}, kMini);
            s = miniFat[s];
        }
        return bytes;
    }

    QByteArrayView file_;
    qsizetype sector_ = kSector;
    qsizetype sectors_ = 0;
    std::uint32_t cutoff_ = kMiniCutoff;
    bool version4_ = false;
    std::vector<std::uint32_t> fat_;
};

} // namespace

std::optional<QByteArray> ReadStream(QByteArrayView file, QStringView name) {
    return TReader(file).Read(name);
}

} // namespace foresyn::cfb
