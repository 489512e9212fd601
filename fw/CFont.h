// A font handle.
#pragma once

#include "fw/CGdiObject.h"

class CFont : public CGdiObject {
public:
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    BOOL CreateFontIndirect(const LOGFONTA *lpLogFont) { return Attach(::CreateFontIndirectA(lpLogFont)); }
    int GetLogFont(LOGFONTA *pLogFont) const { return GetObject(sizeof(LOGFONTA), pLogFont); }
};
