#include "fw/CCmdTarget.h"

const AFX_MSGMAP *CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP *CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

BOOL CCmdTarget::DispatchFromMap(UINT nMatchMessage, UINT nCode, UINT nID, UINT nMessage,
                                 WPARAM wParam, LPARAM lParam, LRESULT *pResult)
{
    for (const AFX_MSGMAP *map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY *e = map->lpEntries; e->pfn; ++e) {
            if (e->nMessage != nMatchMessage || e->nCode != nCode || nID < e->nID ||
                nID > e->nLastID)
                continue;
            // A handler may decline (a reflected colour request answered with no brush);
            // the search then goes on towards the base class.
            if (e->pfn(this, nMessage, wParam, lParam, pResult))
                return TRUE;
        }
    }
    return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, LRESULT *pResult)
{
    return DispatchFromMap(WM_COMMAND, static_cast<UINT>(nCode), nID, WM_COMMAND,
                           MAKEWPARAM(nID, nCode), 0, pResult);
}
