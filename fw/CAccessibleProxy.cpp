#include "fw/CAccessibleProxy.h"

#include <initializer_list>
#include <new>

#include "fw/CWnd.h"
#include "fw/SystemLibrary.h"
#include "fw/TextConversion.h"

namespace {

// Spelled out: the import library's symbol of this name can resolve to a code thunk.
const IID IID_ACCESSIBLE = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The name of a link's default action.
const char LINK_ACTION[] = "跳转";

HRESULT ToolBstr(const char *text, BSTR *pbstr)
{
    if (!pbstr)
        return E_POINTER;
    *pbstr = nullptr;
    if (!text || !*text)
        return S_FALSE;
    *pbstr = ::SysAllocString(ToolToWide(text).data());
    return *pbstr ? S_OK : E_OUTOFMEMORY;
}

void SetI4(VARIANT *pvar, long value)
{
    ::VariantInit(pvar);
    pvar->vt = VT_I4;
    pvar->lVal = value;
}

typedef HRESULT(WINAPI *CreateStdAccessibleObjectFn)(HWND, LONG, REFIID, void **);
typedef LRESULT(WINAPI *LresultFromObjectFn)(REFIID, WPARAM, LPUNKNOWN);

// The accessibility library is no known system library: it is loaded from the system
// directory when first needed, never imported, so a copy planted beside the exe never loads.
FARPROC OleaccProc(const char *name)
{
    static HMODULE s_module = nullptr;
    if (!s_module)
        s_module = LoadSystemLibrary("oleacc.dll");
    return s_module ? ::GetProcAddress(s_module, name) : nullptr;
}

// The window's thread answers clients through COM: it joins an apartment and stays in it
// for its life (joining again only counts up).
bool JoinApartment()
{
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
}

} // namespace

CAccessibleProxy::Owner::Owner(CWnd *pWnd) : m_pWnd(pWnd), m_pProxy(nullptr), m_pFrameProxy(nullptr)
{
    if (m_pWnd)
        m_pWnd->m_pAccessibleOwner = this;
}

CAccessibleProxy::Owner::~Owner()
{
    DisconnectAccessible();
    if (m_pWnd && m_pWnd->m_pAccessibleOwner == this)
        m_pWnd->m_pAccessibleOwner = nullptr;
}

BOOL CAccessibleProxy::Owner::AnswerGetObject(HWND hWnd, WPARAM wParam, LPARAM lParam,
                                              LRESULT *pResult)
{
    const LONG objectId = static_cast<LONG>(lParam);
    const bool frame = objectId == static_cast<LONG>(OBJID_WINDOW) && AccNamesItsFrame();
    if ((objectId != static_cast<LONG>(OBJID_CLIENT) && !frame) || !hWnd)
        return FALSE;
    if ((m_pProxy && m_pProxy->m_hWnd != hWnd) || (m_pFrameProxy && m_pFrameProxy->m_hWnd != hWnd))
        DisconnectAccessible();
    const LresultFromObjectFn pfnLresult =
        reinterpret_cast<LresultFromObjectFn>(reinterpret_cast<void *>(OleaccProc("LresultFromObject")));
    if (!pfnLresult)
        return FALSE;
    CAccessibleProxy *&pProxy = frame ? m_pFrameProxy : m_pProxy;
    if (!pProxy) {
        const CreateStdAccessibleObjectFn pfnCreateStd = reinterpret_cast<CreateStdAccessibleObjectFn>(
            reinterpret_cast<void *>(OleaccProc("CreateStdAccessibleObject")));
        IAccessible *pStd = nullptr;
        if (!pfnCreateStd || !JoinApartment() ||
            FAILED(pfnCreateStd(hWnd, objectId, IID_ACCESSIBLE, reinterpret_cast<void **>(&pStd))) || !pStd)
            return FALSE;
        pProxy = new (std::nothrow) CAccessibleProxy(hWnd, this, pStd);
        if (!pProxy) {
            pStd->Release();
            return FALSE;
        }
    }
    const LRESULT result = pfnLresult(IID_ACCESSIBLE, wParam, pProxy);
    if (FAILED(static_cast<HRESULT>(result)))
        return FALSE;
    *pResult = result;
    return TRUE;
}

void CAccessibleProxy::Owner::DisconnectAccessible()
{
    for (CAccessibleProxy **ppProxy : {&m_pProxy, &m_pFrameProxy}) {
        CAccessibleProxy *pProxy = *ppProxy;
        *ppProxy = nullptr;
        if (pProxy) {
            pProxy->Disconnect();
            pProxy->Release();
        }
    }
}

CAccessibleProxy::CAccessibleProxy(HWND hWnd, Owner *pOwner, IAccessible *pStd)
    : m_cRef(1), m_hWnd(hWnd), m_pOwner(pOwner), m_pStd(pStd)
{
}

CAccessibleProxy::~CAccessibleProxy()
{
    if (m_pStd)
        m_pStd->Release();
}

void CAccessibleProxy::Disconnect()
{
    m_pOwner = nullptr;
    m_hWnd = nullptr;
    IAccessible *pStd = m_pStd;
    m_pStd = nullptr;
    // Clients in other processes lose their stubs; their next call fails.
    AddRef();
    ::CoDisconnectObject(static_cast<IAccessible *>(this), 0);
    if (pStd)
        pStd->Release();
    Release();
}

bool CAccessibleProxy::Alive() const
{
    return m_pOwner && m_pStd && ::IsWindow(m_hWnd);
}

int CAccessibleProxy::LinkOf(const VARIANT &varChild) const
{
    if (varChild.vt != VT_I4)
        return -2;
    if (varChild.lVal == CHILDID_SELF)
        return 0;
    const int count = m_pOwner->AccLinkCount();
    if (count > 0)
        return varChild.lVal >= 1 && varChild.lVal <= count ? static_cast<int>(varChild.lVal) : -2;
    return -1;
}

#define ALIVE_OR_FAIL()                                                                         \
    if (!Alive())                                                                               \
        return E_FAIL;
#define CHILD_OR_INVALID(link)                                                                  \
    const int link = LinkOf(varChild);                                                         \
    if (link == -2)                                                                             \
        return E_INVALIDARG;

STDMETHODIMP CAccessibleProxy::QueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_ACCESSIBLE)) {
        *ppv = static_cast<IAccessible *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CAccessibleProxy::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CAccessibleProxy::Release()
{
    const LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP CAccessibleProxy::GetTypeInfoCount(UINT *pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;   // clients use the IAccessible methods themselves
    return S_OK;
}

STDMETHODIMP CAccessibleProxy::GetTypeInfo(UINT, LCID, ITypeInfo **ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CAccessibleProxy::GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CAccessibleProxy::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *,
                                      EXCEPINFO *, UINT *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CAccessibleProxy::get_accParent(IDispatch **ppdispParent)
{
    ALIVE_OR_FAIL();
    return m_pStd->get_accParent(ppdispParent);
}

STDMETHODIMP CAccessibleProxy::get_accChildCount(long *pcountChildren)
{
    ALIVE_OR_FAIL();
    if (!pcountChildren)
        return E_POINTER;
    if (const int count = m_pOwner->AccLinkCount()) {
        *pcountChildren = count;
        return S_OK;
    }
    return m_pStd->get_accChildCount(pcountChildren);
}

STDMETHODIMP CAccessibleProxy::get_accChild(VARIANT varChild, IDispatch **ppdispChild)
{
    ALIVE_OR_FAIL();
    CHILD_OR_INVALID(link);
    if (link > 0) {
        if (!ppdispChild)
            return E_POINTER;
        *ppdispChild = nullptr;   // a simple element: asked through this object
        return S_FALSE;
    }
    return m_pStd->get_accChild(varChild, ppdispChild);
}

STDMETHODIMP CAccessibleProxy::get_accName(VARIANT varChild, BSTR *pszName)
{
    ALIVE_OR_FAIL();
    CHILD_OR_INVALID(link);
    if (link < 0)
        return m_pStd->get_accName(varChild, pszName);
    return ToolBstr(link ? m_pOwner->AccLinkName(link) : m_pOwner->AccName(), pszName);
}

STDMETHODIMP CAccessibleProxy::get_accValue(VARIANT varChild, BSTR *pszValue)
{
    ALIVE_OR_FAIL();
    return m_pStd->get_accValue(varChild, pszValue);
}

STDMETHODIMP CAccessibleProxy::get_accDescription(VARIANT varChild, BSTR *pszDescription)
{
    ALIVE_OR_FAIL();
    return m_pStd->get_accDescription(varChild, pszDescription);
}

STDMETHODIMP CAccessibleProxy::get_accRole(VARIANT varChild, VARIANT *pvarRole)
{
    ALIVE_OR_FAIL();
    CHILD_OR_INVALID(link);
    if (link < 0)
        return m_pStd->get_accRole(varChild, pvarRole);
    if (!pvarRole)
        return E_POINTER;
    SetI4(pvarRole, link ? ROLE_SYSTEM_LINK : m_pOwner->AccRole());
    return S_OK;
}

STDMETHODIMP CAccessibleProxy::get_accState(VARIANT varChild, VARIANT *pvarState)
{
    ALIVE_OR_FAIL();
    CHILD_OR_INVALID(link);
    if (link < 0)
        return m_pStd->get_accState(varChild, pvarState);
    if (!pvarState)
        return E_POINTER;
    long state = 0;
    if (!::IsWindowVisible(m_hWnd))
        state |= STATE_SYSTEM_INVISIBLE;
    const bool enabled = ::IsWindowEnabled(m_hWnd) != FALSE;
    const bool focused = ::GetFocus() == m_hWnd;
    const long role = link ? ROLE_SYSTEM_LINK : m_pOwner->AccRole();
    if (link) {
        // The keyboard reaches the first link.
        state |= STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE;
        if (focused && link == 1)
            state |= STATE_SYSTEM_FOCUSED;
    } else {
        if (!enabled)
            state |= STATE_SYSTEM_UNAVAILABLE;
        else if (::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_TABSTOP)
            state |= STATE_SYSTEM_FOCUSABLE;
        if (focused)
            state |= STATE_SYSTEM_FOCUSED;
        if (role == ROLE_SYSTEM_ANIMATION)
            state |= STATE_SYSTEM_ANIMATED | STATE_SYSTEM_READONLY;
        else if (role == ROLE_SYSTEM_STATICTEXT)
            state |= STATE_SYSTEM_READONLY;
    }
    SetI4(pvarState, state);
    return S_OK;
}

STDMETHODIMP CAccessibleProxy::get_accHelp(VARIANT varChild, BSTR *pszHelp)
{
    ALIVE_OR_FAIL();
    return m_pStd->get_accHelp(varChild, pszHelp);
}

STDMETHODIMP CAccessibleProxy::get_accHelpTopic(BSTR *pszHelpFile, VARIANT varChild, long *pidTopic)
{
    ALIVE_OR_FAIL();
    return m_pStd->get_accHelpTopic(pszHelpFile, varChild, pidTopic);
}

STDMETHODIMP CAccessibleProxy::get_accKeyboardShortcut(VARIANT varChild, BSTR *pszKeyboardShortcut)
{
    ALIVE_OR_FAIL();
    return m_pStd->get_accKeyboardShortcut(varChild, pszKeyboardShortcut);
}

STDMETHODIMP CAccessibleProxy::get_accFocus(VARIANT *pvarChild)
{
    ALIVE_OR_FAIL();
    return m_pStd->get_accFocus(pvarChild);
}

STDMETHODIMP CAccessibleProxy::get_accSelection(VARIANT *pvarChildren)
{
    ALIVE_OR_FAIL();
    return m_pStd->get_accSelection(pvarChildren);
}

STDMETHODIMP CAccessibleProxy::get_accDefaultAction(VARIANT varChild, BSTR *pszDefaultAction)
{
    ALIVE_OR_FAIL();
    CHILD_OR_INVALID(link);
    if (link < 0)
        return m_pStd->get_accDefaultAction(varChild, pszDefaultAction);
    const char *pszAction = link ? LINK_ACTION : m_pOwner->AccDefaultAction();
    return ToolBstr(pszAction, pszDefaultAction);
}

STDMETHODIMP CAccessibleProxy::accSelect(long flagsSelect, VARIANT varChild)
{
    ALIVE_OR_FAIL();
    return m_pStd->accSelect(flagsSelect, varChild);
}

STDMETHODIMP CAccessibleProxy::accLocation(long *pxLeft, long *pyTop, long *pcxWidth,
                                           long *pcyHeight, VARIANT varChild)
{
    ALIVE_OR_FAIL();
    CHILD_OR_INVALID(link);
    if (link <= 0)
        return m_pStd->accLocation(pxLeft, pyTop, pcxWidth, pcyHeight, varChild);
    if (!pxLeft || !pyTop || !pcxWidth || !pcyHeight)
        return E_POINTER;
    RECT rc = {};
    if (!m_pOwner->AccLinkRect(link, &rc))
        return S_FALSE;
    *pxLeft = rc.left;
    *pyTop = rc.top;
    *pcxWidth = rc.right - rc.left;
    *pcyHeight = rc.bottom - rc.top;
    return S_OK;
}

STDMETHODIMP CAccessibleProxy::accNavigate(long navDir, VARIANT varStart, VARIANT *pvarEndUpAt)
{
    ALIVE_OR_FAIL();
    return m_pStd->accNavigate(navDir, varStart, pvarEndUpAt);
}

STDMETHODIMP CAccessibleProxy::accHitTest(long xLeft, long yTop, VARIANT *pvarChild)
{
    ALIVE_OR_FAIL();
    return m_pStd->accHitTest(xLeft, yTop, pvarChild);
}

STDMETHODIMP CAccessibleProxy::accDoDefaultAction(VARIANT varChild)
{
    ALIVE_OR_FAIL();
    CHILD_OR_INVALID(link);
    if (link < 0)
        return m_pStd->accDoDefaultAction(varChild);
    if (link)
        return m_pOwner->AccOpenLink(link) ? S_OK : E_FAIL;
    if (!m_pOwner->AccDefaultAction())
        return DISP_E_MEMBERNOTFOUND;
    return m_pOwner->AccDoDefaultAction() ? S_OK : E_FAIL;
}

STDMETHODIMP CAccessibleProxy::put_accName(VARIANT varChild, BSTR szName)
{
    (void)varChild, (void)szName;
    return E_NOTIMPL;
}

STDMETHODIMP CAccessibleProxy::put_accValue(VARIANT varChild, BSTR szValue)
{
    (void)varChild, (void)szValue;
    return E_NOTIMPL;
}
