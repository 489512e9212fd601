#include "fw/CGdiObject.h"

BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    if (!hObject)
        return FALSE;
    DeleteObject();
    m_hObject = hObject;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    HGDIOBJ h = Detach();
    return ::DeleteObject(h);
}
