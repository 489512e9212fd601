// Base of everything that has a message table. A table is a static const array of entries,
// one per handled message or command, chained to the base class's table; each entry holds
// a small thunk that unpacks the message and calls the On... handler of the class.
#pragma once

#include <windows.h>

class CCmdTarget;

// Returns TRUE when the message was handled; *pResult then holds the window procedure's answer.
typedef BOOL (*AFX_MSGTHUNK)(CCmdTarget *pTarget, UINT nMessage, WPARAM wParam, LPARAM lParam,
                             LRESULT *pResult);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;   // window message, or WM_COMMAND / WM_NOTIFY (plus WM_REFLECT_BASE when reflected)
    UINT nCode;      // notification code for commands and notifications
    UINT nID;        // first control id
    UINT nLastID;    // last control id
    AFX_MSGTHUNK pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP *(*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY *lpEntries;
};

// Notifications a parent hands back to the child control that sent them arrive at the child
// under this offset (WM_REFLECT_BASE + WM_COMMAND, + WM_NOTIFY, + WM_CTLCOLOR, ...).
#define WM_REFLECT_BASE 0xBC00
// The six WM_CTLCOLOR* messages share one table entry under this number, as in 16-bit Windows.
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

#define afx_msg

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget &) = delete;
    CCmdTarget &operator=(const CCmdTarget &) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the first handler for the command (nCode, nID) found in this class's table chain.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, LRESULT *pResult);

    static const AFX_MSGMAP *GetThisMessageMap();
    virtual const AFX_MSGMAP *GetMessageMap() const;

protected:
    // Looks for an entry matching (nMessage, nCode, nID) and runs it.
    BOOL DispatchFromMap(UINT nMatchMessage, UINT nCode, UINT nID, UINT nMessage, WPARAM wParam,
                         LPARAM lParam, LRESULT *pResult);
};

#define DECLARE_MESSAGE_MAP()                                                                   \
protected:                                                                                     \
    static const AFX_MSGMAP *GetThisMessageMap();                                              \
    const AFX_MSGMAP *GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                  \
    const AFX_MSGMAP *theClass::GetMessageMap() const { return GetThisMessageMap(); }          \
    const AFX_MSGMAP *theClass::GetThisMessageMap()                                            \
    {                                                                                          \
        typedef theClass ThisClass [[maybe_unused]];                                           \
        typedef baseClass TheBaseClass;                                                        \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                       \
            {0, 0, 0, 0, nullptr}                                                              \
        };                                                                                     \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, _messageEntries}; \
        return &messageMap;                                                                    \
    }

// The thunk casts the target back to the class whose table holds the entry.
#define AFX_THIS() static_cast<ThisClass *>(pTarget)
#define AFX_THUNK(body)                                                                         \
    [](CCmdTarget *pTarget, UINT nMessage, WPARAM wParam, LPARAM lParam,                       \
       LRESULT *pResult) -> BOOL {                                                             \
        (void)pTarget; (void)nMessage; (void)wParam; (void)lParam; (void)pResult;              \
        body                                                                                   \
    }

// Commands and control notifications (WM_COMMAND).
#define ON_COMMAND(id, memberFxn)                                                               \
    {WM_COMMAND, 0, (UINT)(id), (UINT)(id),                                                    \
     AFX_THUNK(AFX_THIS()->memberFxn(); *pResult = 0; return TRUE;)},
#define ON_CONTROL(code, id, memberFxn)                                                         \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id),                                         \
     AFX_THUNK(AFX_THIS()->memberFxn(); *pResult = 0; return TRUE;)},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_STN_CLICKED(id, memberFxn) ON_CONTROL(STN_CLICKED, id, memberFxn)
// void memberFxn(NMHDR *pNotifyStruct, LRESULT *pResult)
#define ON_NOTIFY(code, id, memberFxn)                                                          \
    {WM_NOTIFY, (UINT)(code), (UINT)(id), (UINT)(id),                                          \
     AFX_THUNK(*pResult = 0; AFX_THIS()->memberFxn(reinterpret_cast<NMHDR *>(lParam), pResult); \
               return TRUE;)},

// Any message: LRESULT memberFxn(WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn)                                                          \
    {(UINT)(message), 0, 0, 0,                                                                 \
     AFX_THUNK(*pResult = AFX_THIS()->memberFxn(wParam, lParam); return TRUE;)},
