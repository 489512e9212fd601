// Owner of one GDI object handle; deletes it when the object goes.
#pragma once

#include <windows.h>

class CGdiObject {
public:
    CGdiObject() : m_hObject(nullptr) {}
    CGdiObject(const CGdiObject &) = delete;
    CGdiObject &operator=(const CGdiObject &) = delete;
    virtual ~CGdiObject() { DeleteObject(); }

    HGDIOBJ m_hObject;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    operator HGDIOBJ() const { return m_hObject; }
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetObject(int nCount, LPVOID lpObject) const
    {
        return m_hObject ? ::GetObjectW(m_hObject, nCount, lpObject) : 0;
    }
};
