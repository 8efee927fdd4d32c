#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace foresyn {

// Colours are indices of the standard Excel 97 palette (8..63). 64 means
// "automatic" for fonts and borders and "no fill" for fills.
namespace palette {
inline constexpr int kBlack = 8;
inline constexpr int kWhite = 9;
inline constexpr int kRed = 10;
inline constexpr int kSilver = 22;
inline constexpr int kGrey = 23;
inline constexpr int kLightGreen = 42;
inline constexpr int kLightYellow = 43;
inline constexpr int kAutomatic = 64;
inline constexpr int kNoFill = 64;
} // namespace palette

enum class THorizontalAlignment : std::uint8_t { General = 0, Left = 1, Centre = 2, Right = 3 };

// The values are the file's border style codes.
enum class TBorderStyle : std::uint8_t {
    None = 0,
    Thin = 1,
    Medium = 2,
    Dashed = 3,
    Dotted = 4,
    Thick = 5,
    Double = 6,
    Hair = 7,
    MediumDashed = 8,
    DashDot = 9,
    MediumDashDot = 10,
    DashDotDot = 11,
    MediumDashDotDot = 12,
    SlantedDashDot = 13,
};

enum class TBorderSide : std::uint8_t { Left = 0, Right = 1, Top = 2, Bottom = 3 };

struct TBorder {
    TBorderStyle Style = TBorderStyle::None;
    int Colour = palette::kAutomatic;

    bool operator==(const TBorder&) const = default;
};

// The complete look of one cell. A default-constructed format is the
// workbook's default: default font at 10 points, general alignment and
// number format, no fill, no borders.
struct TCellFormat {
    QString FontName;     // empty: the workbook's default font
    double FontSize = 10; // points, kept in twentieths of a point
    bool Bold = false;
    int FontColour = palette::kAutomatic;
    THorizontalAlignment Alignment = THorizontalAlignment::General;
    QString NumberFormat;              // Excel notation such as "#,##0.00"; empty: General
    int FillColour = palette::kNoFill; // solid fill
    std::array<TBorder, 4> Borders{};  // indexed by TBorderSide

    TBorder& Border(TBorderSide side) { return Borders[static_cast<std::size_t>(side)]; }
    const TBorder& Border(TBorderSide side) const {
        return Borders[static_cast<std::size_t>(side)];
    }

    bool operator==(const TCellFormat&) const = default;
};

// Throws std::out_of_range when a field holds a value no file can carry: a
// colour outside 8..64, a size outside 1..409 points, a font name longer
// than 31 characters, a number format longer than 255 characters.
void CheckCellFormat(const TCellFormat& format);

std::size_t qHash(const TCellFormat& format, std::size_t seed = 0) noexcept;

} // namespace foresyn
