// How a piece of markup text is drawn, and the hexadecimal readings of markup arguments.
// Plain C++: the font is a description laid out byte for byte like the system's LOGFONTA, so
// the painter hands it to the font mapper as it is and the layout can be run without windows.
#pragma once

#include <cstdint>

// Same members, order and widths as LOGFONTA (60 bytes).
struct FontDescription {
    std::int32_t lfHeight;
    std::int32_t lfWidth;
    std::int32_t lfEscapement;
    std::int32_t lfOrientation;
    std::int32_t lfWeight;
    std::uint8_t lfItalic;
    std::uint8_t lfUnderline;
    std::uint8_t lfStrikeOut;
    std::uint8_t lfCharSet;
    std::uint8_t lfOutPrecision;
    std::uint8_t lfClipPrecision;
    std::uint8_t lfQuality;
    std::uint8_t lfPitchAndFamily;
    char lfFaceName[32];
};
static_assert(sizeof(FontDescription) == 60, "a LOGFONTA is 60 bytes");

// Character height the label's text starts with and that the closing code ~s restores.
const std::int32_t TEXT_HEIGHT_DEFAULT = -12;
const std::int32_t TEXT_WEIGHT_NORMAL = 400;
const std::int32_t TEXT_WEIGHT_BOLD = 700;
const char TEXT_FACE_DEFAULT[] = "Tahoma";

// Copied by value; the font description is copied as one block.
struct TextStyle {
    // A style on the built-in description (for systems without a stock GUI font).
    TextStyle();
    // A style on the given font description, with the face and height of the label's text.
    explicit TextStyle(const FontDescription &base);

    std::uint32_t crText;     // 0x00BBGGRR
    std::uint32_t crBack;     // 0x00BBGGRR
    bool bHasTextColor;       // otherwise the label's default text colour
    bool bHasBackColor;       // otherwise transparent text on the label's background
    FontDescription lf;
    bool bLineUnderline;      // a drawn 1-pixel line under each placed piece
    std::uint32_t nLink;      // 0: none; 1: a live link; others are kept but inert
};

// Reads digits and letters from the left, each worth 0-35, as base-16 places with 32-bit
// wrap-around; stops at the first other character. Null and empty give 0.
std::uint32_t HexValue(const char *psz);

// Reads RRGGBB and returns the colour as 0x00BBGGRR.
std::uint32_t HexToColorRef(const char *psz);
