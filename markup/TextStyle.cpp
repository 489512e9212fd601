#include "markup/TextStyle.h"

#include <cstring>

namespace {

FontDescription BuiltInFont()
{
    FontDescription lf;
    std::memset(&lf, 0, sizeof(lf));
    lf.lfWeight = TEXT_WEIGHT_NORMAL;
    lf.lfCharSet = 1;   // DEFAULT_CHARSET: the font mapper chooses by face and code page
    return lf;
}

} // namespace

TextStyle::TextStyle() : TextStyle(BuiltInFont()) {}

TextStyle::TextStyle(const FontDescription &base)
    : crText(0), crBack(0), bHasTextColor(false), bHasBackColor(false), lf(base),
      bLineUnderline(false), nLink(0)
{
    std::memset(lf.lfFaceName, 0, sizeof(lf.lfFaceName));
    std::strncpy(lf.lfFaceName, TEXT_FACE_DEFAULT, sizeof(lf.lfFaceName) - 1);
    lf.lfHeight = TEXT_HEIGHT_DEFAULT;
}

std::uint32_t HexValue(const char *psz)
{
    std::uint32_t value = 0;
    if (!psz)
        return 0;
    for (;; ++psz) {
        const char ch = *psz;
        std::uint32_t digit;
        if (ch >= '0' && ch <= '9')
            digit = static_cast<std::uint32_t>(ch - '0');
        else if (ch >= 'a' && ch <= 'z')
            digit = static_cast<std::uint32_t>(ch - 'a') + 10;
        else if (ch >= 'A' && ch <= 'Z')
            digit = static_cast<std::uint32_t>(ch - 'A') + 10;
        else
            return value;
        value = value * 16u + digit;
    }
}

std::uint32_t HexToColorRef(const char *psz)
{
    const std::uint32_t rgb = HexValue(psz);
    const std::uint32_t red = (rgb >> 16) & 0xFFu;
    const std::uint32_t green = (rgb >> 8) & 0xFFu;
    const std::uint32_t blue = rgb & 0xFFu;
    return red | (green << 8) | (blue << 16);
}
