#include "fw/CFont.h"

#include <cstring>

#include "fw/TextConversion.h"

namespace {

// LOGFONTA and LOGFONTW share every member up to the face name.
static_assert(offsetof(LOGFONTA, lfFaceName) == offsetof(LOGFONTW, lfFaceName), "LOGFONT layouts");

LOGFONTW ToWide(const LOGFONTA &lf)
{
    LOGFONTW wide;
    std::memcpy(&wide, &lf, offsetof(LOGFONTA, lfFaceName));
    std::memset(wide.lfFaceName, 0, sizeof(wide.lfFaceName));
    const int length = static_cast<int>(strnlen(lf.lfFaceName, LF_FACESIZE));
    const WideText face = ToolToWide(lf.lfFaceName, length);
    wcsncpy(wide.lfFaceName, face.data(), LF_FACESIZE - 1);
    return wide;
}

LOGFONTA ToTool(const LOGFONTW &wide)
{
    LOGFONTA lf;
    std::memcpy(&lf, &wide, offsetof(LOGFONTA, lfFaceName));
    std::memset(lf.lfFaceName, 0, sizeof(lf.lfFaceName));
    const std::string face = WideToTool(wide.lfFaceName, static_cast<int>(wcsnlen(wide.lfFaceName, LF_FACESIZE)));
    // Cut at a whole character: a GBK lead byte never ends the name.
    size_t keep = 0;
    for (size_t i = 0; i < face.size();) {
        const size_t step = static_cast<unsigned char>(face[i]) >= 0x81 && i + 1 < face.size() ? 2 : 1;
        if (i + step > LF_FACESIZE - 1)
            break;
        i += step;
        keep = i;
    }
    std::memcpy(lf.lfFaceName, face.data(), keep);
    return lf;
}

} // namespace

BOOL CFont::CreateFontIndirect(const LOGFONTA *lpLogFont)
{
    if (!lpLogFont)
        return FALSE;
    const LOGFONTW wide = ToWide(*lpLogFont);
    return Attach(::CreateFontIndirectW(&wide));
}

int CFont::GetLogFont(LOGFONTA *pLogFont) const
{
    return GetLogFont(m_hObject, pLogFont);
}

int CFont::GetLogFont(HGDIOBJ hFont, LOGFONTA *pLogFont)
{
    LOGFONTW wide;
    if (!hFont || !pLogFont || ::GetObjectW(hFont, sizeof(wide), &wide) != sizeof(wide))
        return 0;
    *pLogFont = ToTool(wide);
    return sizeof(LOGFONTA);
}

BOOL AfxGetGuiLogFont(LOGFONTA *pLogFont)
{
    if (!CFont::GetLogFont(::GetStockObject(DEFAULT_GUI_FONT), pLogFont))
        return FALSE;
    pLogFont->lfCharSet = GB2312_CHARSET;
    return TRUE;
}
