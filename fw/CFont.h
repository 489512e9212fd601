// A font handle. Descriptions are LOGFONTA with the face name in the tool's GBK; the system
// gets and gives them as LOGFONTW.
#pragma once

#include "fw/CGdiObject.h"

class CFont : public CGdiObject {
public:
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    BOOL CreateFontIndirect(const LOGFONTA *lpLogFont);
    int GetLogFont(LOGFONTA *pLogFont) const;
    // The description of any font handle; sizeof(LOGFONTA) on success, else 0.
    static int GetLogFont(HGDIOBJ hFont, LOGFONTA *pLogFont);
};

// The stock GUI font's description for the tool's texts: its character set is the tool's
// (GB2312), whatever the system's code page, so that the same font is picked everywhere.
BOOL AfxGetGuiLogFont(LOGFONTA *pLogFont);
