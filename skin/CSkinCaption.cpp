#include "skin/CSkinCaption.h"

#include <cstring>

#include "fw/TextConversion.h"
#include "skin/CaptionLayout.h"

CMapPtrToPtr g_mapSkinnedWindows(10);

namespace {

// Windows that were let go of while another procedure sat in front of ours: that procedure
// still calls ours, which passes the messages on to the procedure it replaced. Window
// handle -> WNDPROC. Entries go when the window ends.
CMapPtrToPtr g_mapPassThrough(10);

const wchar_t WINDOW_METRICS_KEY[] = L"Control Panel\\Desktop\\WindowMetrics";
const wchar_t CAPTION_FONT_VALUE[] = L"CaptionFont";

bool RepaintsCaption(UINT message)
{
    switch (message) {
    case WM_ACTIVATE:
    case WM_PAINT:
    case WM_NOTIFY:
    case WM_NCPAINT:
    case WM_NCACTIVATE:
        return true;
    default:
        return false;
    }
}

WNDPROC CurrentProc(HWND hWnd)
{
    return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
}

} // namespace

CSkinCaption::CSkinCaption() : m_pfnOldWndProc(nullptr), m_hWnd(nullptr) {}

CSkinCaption::~CSkinCaption()
{
    Unsubclass();
    // Whatever happened, no entry may lead to a painter that is gone.
    if (m_hWnd)
        Detach();
}

void CSkinCaption::SetCaption(const CString &strCaption)
{
    m_strCaption = strCaption;
}

void CSkinCaption::Subclass(HWND hWnd)
{
    void *pExisting = nullptr;
    if (!hWnd || m_hWnd || g_mapSkinnedWindows.Lookup(hWnd, pExisting) ||
        g_mapPassThrough.Lookup(hWnd, pExisting))
        return;   // our procedure twice in one chain would call itself for ever
    // The registry has no lock: only windows of this thread are served.
    if (::GetWindowThreadProcessId(hWnd, nullptr) != ::GetCurrentThreadId())
        return;
    // The entry first: once the procedure is replaced, every message must find it.
    if (!g_mapSkinnedWindows.SetAt(hWnd, this))
        return;
    const LONG_PTR old = ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinWndProc));
    if (!old) {
        g_mapSkinnedWindows.RemoveKey(hWnd);
        return;
    }
    m_hWnd = hWnd;
    m_pfnOldWndProc = reinterpret_cast<WNDPROC>(old);
}

void CSkinCaption::Unsubclass()
{
    if (!m_hWnd)
        return;
    if (::IsWindow(m_hWnd)) {
        if (CurrentProc(m_hWnd) == &SkinWndProc) {
            ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnOldWndProc));
        } else if (!g_mapPassThrough.SetAt(m_hWnd, reinterpret_cast<void *>(m_pfnOldWndProc))) {
            // Another procedure sits in front of ours and the pass-through cannot be
            // recorded: stay in service rather than cut the window's chain.
            return;
        }
    }
    // A window that is gone has no procedure to give back; its entry goes all the same,
    // so nothing can reach this painter through it once the painter is gone.
    Detach();
}

void CSkinCaption::Detach()
{
    g_mapSkinnedWindows.RemoveKey(m_hWnd);
    m_hWnd = nullptr;
    m_pfnOldWndProc = nullptr;
}

LRESULT CALLBACK CSkinCaption::SkinWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    void *pEntry = nullptr;
    if (!g_mapSkinnedWindows.Lookup(hWnd, pEntry)) {
        void *pfnPassThrough = nullptr;
        if (!g_mapPassThrough.Lookup(hWnd, pfnPassThrough))
            return ::DefWindowProcW(hWnd, message, wParam, lParam);
        const LRESULT result = ::CallWindowProcW(reinterpret_cast<WNDPROC>(pfnPassThrough), hWnd,
                                                 message, wParam, lParam);
        if (message == WM_NCDESTROY)
            g_mapPassThrough.RemoveKey(hWnd);
        return result;
    }

    CSkinCaption *pCaption = static_cast<CSkinCaption *>(pEntry);
    const WNDPROC pfnOld = pCaption->m_pfnOldWndProc;
    if (message == WM_NCDESTROY) {
        // The window's own procedure is back before its last message.
        pCaption->Unsubclass();
        const LRESULT result = ::CallWindowProcW(pfnOld, hWnd, message, wParam, lParam);
        g_mapPassThrough.RemoveKey(hWnd);
        if (g_mapSkinnedWindows.Lookup(hWnd, pEntry) && pEntry == pCaption)
            pCaption->Detach();
        return result;
    }

    const LRESULT result = ::CallWindowProcW(pfnOld, hWnd, message, wParam, lParam);
    // The message may have ended the painter's service (or the painter): paint only for
    // one still serving this window.
    if (RepaintsCaption(message) && g_mapSkinnedWindows.Lookup(hWnd, pEntry) && pEntry == pCaption) {
        try {
            pCaption->PaintCaption();
        } catch (...) {
            // Nothing may unwind through the system's frames.
        }
    }
    return result;
}

void CSkinCaption::PaintCaption()
{
    HDC hDC = ::GetWindowDC(m_hWnd);
    if (!hDC)
        return;
    const int nOldMode = ::SetBkMode(hDC, TRANSPARENT);
    const COLORREF crOldText = ::SetTextColor(hDC, ::GetSysColor(COLOR_CAPTIONTEXT));

    // The stock font when no caption font is configured; the context's own font when one
    // is configured but cannot be made.
    HFONT hFont = nullptr;
    HGDIOBJ hUseFont = nullptr;
    LOGFONTW lf;
    if (ReadCaptionFont(&lf)) {
        hFont = ::CreateFontIndirectW(&lf);
        hUseFont = hFont;
    } else {
        hUseFont = ::GetStockObject(DEFAULT_GUI_FONT);
    }
    HGDIOBJ hOldFont = hUseFont ? ::SelectObject(hDC, hUseFont) : nullptr;

    RECT rc;
    GetCaptionRect(&rc);
    const WideText caption = ToolToWide(m_strCaption, m_strCaption.GetLength());
    ::DrawTextW(hDC, caption.data(), static_cast<int>(caption.size() - 1), &rc, DT_SINGLELINE | DT_VCENTER);

    ::SetBkMode(hDC, nOldMode);
    if (hOldFont)
        ::SelectObject(hDC, hOldFont);
    ::SetTextColor(hDC, crOldText);
    if (hFont)
        ::DeleteObject(hFont);
    ::ReleaseDC(m_hWnd, hDC);
}

BOOL CSkinCaption::ReadCaptionFont(LOGFONTW *pLogFont)
{
    static_assert(sizeof(LOGFONTW) == 92, "the stored caption font is a 92-byte LOGFONTW");
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, WINDOW_METRICS_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return FALSE;
    BYTE data[sizeof(LOGFONTW)];
    DWORD cbData = sizeof(data);
    const LONG rc = ::RegQueryValueExW(hKey, CAPTION_FONT_VALUE, nullptr, nullptr, data, &cbData);
    ::RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS || cbData != sizeof(LOGFONTW))
        return FALSE;
    std::memcpy(pLogFont, data, sizeof(LOGFONTW));
    // The face name is a fixed array: a stored one without its terminator ends in it.
    pLogFont->lfFaceName[LF_FACESIZE - 1] = L'\0';
    return TRUE;
}

void CSkinCaption::GetCaptionRect(RECT *pRect)
{
    RECT rcWindow = {};
    ::GetWindowRect(m_hWnd, &rcWindow);
    const CaptionMetrics metrics = {::GetSystemMetrics(SM_CXFRAME), ::GetSystemMetrics(SM_CYDLGFRAME),
                                    ::GetSystemMetrics(SM_CXSIZE), ::GetSystemMetrics(SM_CYCAPTION),
                                    ::GetSystemMetrics(SM_CXSMICON)};
    const bool bHasSmallIcon = ::SendMessageW(m_hWnd, WM_GETICON, ICON_SMALL, 0) != 0;
    const CaptionRect rc = ComputeCaptionRect(rcWindow.right - rcWindow.left, bHasSmallIcon, metrics);
    ::SetRect(pRect, rc.left, rc.top, rc.right, rc.bottom);
}
