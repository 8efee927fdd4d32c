#include "core/spreadsheet/cellformat.h"

#include <QHashFunctions>

#include <cstdint>

#include <cmath>
#include <stdexcept>
#include <string>

namespace foresyn {

namespace {

void CheckColour(int colour, const char* what) {
    if (colour < 8 || colour > palette::kAutomatic) {
        throw std::out_of_range(std::string(what) + " " + std::to_string(colour) +
                                " out of range 8..64");
    }
}

} // namespace

void CheckCellFormat(const TCellFormat& format) {
    if (format.FontName.size() > 31)
        throw std::out_of_range("font name longer than 31 characters");
    if (!(format.FontSize >= 1 && format.FontSize <= 409))
        throw std::out_of_range("font size out of range 1..409 points");
    if (format.NumberFormat.size() > 255)
        throw std::out_of_range("number format longer than 255 characters");
    CheckColour(format.FontColour, "font colour");
    CheckColour(format.FillColour, "fill colour");
    if (static_cast<int>(format.Alignment) > static_cast<int>(THorizontalAlignment::Right))
        throw std::out_of_range("unknown alignment");
    for (const TBorder& border : format.Borders) {
        if (static_cast<int>(border.Style) > static_cast<int>(TBorderStyle::SlantedDashDot))
            throw std::out_of_range("unknown border style");
        CheckColour(border.Colour, "border colour");
    }
}

std::size_t qHash(const TCellFormat& format, std::size_t seed) noexcept {
    // Formats are hashed once per formatted cell: the small fields go in
    // two words, mixed with the two strings' hashes.
    std::uint64_t look = static_cast<std::uint64_t>(std::lround(format.FontSize * 20)) |
                         std::uint64_t{format.Bold} << 16 |
                         static_cast<std::uint64_t>(format.FontColour & 0x7F) << 17 |
                         static_cast<std::uint64_t>(format.Alignment) << 24 |
                         static_cast<std::uint64_t>(format.FillColour & 0x7F) << 26;
    std::uint64_t borders = 0;
    for (const TBorder& border : format.Borders) {
        borders = borders << 11 | static_cast<std::uint64_t>(border.Style) << 7 |
                  static_cast<std::uint64_t>(border.Colour & 0x7F);
    }
    std::uint64_t h = seed ^ 0x9E3779B97F4A7C15ull;
    for (std::uint64_t v : {look, borders, std::uint64_t{qHash(format.FontName)},
                            std::uint64_t{qHash(format.NumberFormat)}}) {
        h ^= v;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    return static_cast<std::size_t>(h);
}

} // namespace foresyn
