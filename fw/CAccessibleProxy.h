// The accessible object a window of the tool answers WM_GETOBJECT with. The system's
// standard object for the window answers everything it knows (location, navigation, focus,
// parent); the window itself answers what the system cannot know because the tool paints
// its texts: role, name, state, default action, and the links inside a markup label, which
// are children without windows of their own. The object lives as long as its window; a
// reference kept after the window is gone fails with E_FAIL (or the remote client sees
// RPC_E_DISCONNECTED), it never reaches the window object.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include "fw/CString.h"

class CWnd;

class CAccessibleProxy : public IAccessible {
public:
    // A window that speaks for itself. Every answer is asked for when a client asks, so
    // it follows the window. Children are numbered from 1.
    class Owner {
    public:
        // pWnd: the window object that answers for this owner (the owner itself).
        explicit Owner(CWnd *pWnd);
        Owner(const Owner &) = delete;
        Owner &operator=(const Owner &) = delete;

        virtual long AccRole() const = 0;
        // The tool's text; it must stay valid until the next call.
        virtual const char *AccName() const = 0;
        // The default action's name (the tool's text), null for none.
        virtual const char *AccDefaultAction() const { return nullptr; }
        // Starts the default action without waiting for it; FALSE when it cannot run now.
        virtual BOOL AccDoDefaultAction() { return FALSE; }

        // Link children.
        virtual int AccLinkCount() const { return 0; }
        virtual const char *AccLinkName(int /*nLink*/) const { return ""; }
        // In screen coordinates.
        virtual BOOL AccLinkRect(int /*nLink*/, RECT * /*prc*/) const { return FALSE; }
        virtual BOOL AccOpenLink(int /*nLink*/) { return FALSE; }

        // A top-level window whose title is painted, not its window text, names its window
        // object (the frame) too; every other object keeps the system's window object.
        virtual bool AccNamesItsFrame() const { return false; }

        // WM_GETOBJECT for the window's client area (and frame, see above); FALSE leaves the
        // message to the system.
        BOOL AnswerGetObject(HWND hWnd, WPARAM wParam, LPARAM lParam, LRESULT *pResult);
        // The window is going: every reference handed out fails from now on.
        void DisconnectAccessible();

    protected:
        // Never deleted through this class; the proxy stops answering.
        ~Owner();

    private:
        CWnd *m_pWnd;
        CAccessibleProxy *m_pProxy;        // the client area
        CAccessibleProxy *m_pFrameProxy;   // the window object, when the owner names it
    };

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: handed to the standard object.
    STDMETHODIMP GetTypeInfoCount(UINT *pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo **ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID lcid,
                               DISPID *rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                        DISPPARAMS *pDispParams, VARIANT *pVarResult, EXCEPINFO *pExcepInfo,
                        UINT *puArgErr) override;

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch **ppdispParent) override;
    STDMETHODIMP get_accChildCount(long *pcountChildren) override;
    STDMETHODIMP get_accChild(VARIANT varChild, IDispatch **ppdispChild) override;
    STDMETHODIMP get_accName(VARIANT varChild, BSTR *pszName) override;
    STDMETHODIMP get_accValue(VARIANT varChild, BSTR *pszValue) override;
    STDMETHODIMP get_accDescription(VARIANT varChild, BSTR *pszDescription) override;
    STDMETHODIMP get_accRole(VARIANT varChild, VARIANT *pvarRole) override;
    STDMETHODIMP get_accState(VARIANT varChild, VARIANT *pvarState) override;
    STDMETHODIMP get_accHelp(VARIANT varChild, BSTR *pszHelp) override;
    STDMETHODIMP get_accHelpTopic(BSTR *pszHelpFile, VARIANT varChild, long *pidTopic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT varChild, BSTR *pszKeyboardShortcut) override;
    STDMETHODIMP get_accFocus(VARIANT *pvarChild) override;
    STDMETHODIMP get_accSelection(VARIANT *pvarChildren) override;
    STDMETHODIMP get_accDefaultAction(VARIANT varChild, BSTR *pszDefaultAction) override;
    STDMETHODIMP accSelect(long flagsSelect, VARIANT varChild) override;
    STDMETHODIMP accLocation(long *pxLeft, long *pyTop, long *pcxWidth, long *pcyHeight,
                             VARIANT varChild) override;
    STDMETHODIMP accNavigate(long navDir, VARIANT varStart, VARIANT *pvarEndUpAt) override;
    STDMETHODIMP accHitTest(long xLeft, long yTop, VARIANT *pvarChild) override;
    STDMETHODIMP accDoDefaultAction(VARIANT varChild) override;
    STDMETHODIMP put_accName(VARIANT varChild, BSTR szName) override;
    STDMETHODIMP put_accValue(VARIANT varChild, BSTR szValue) override;

private:
    CAccessibleProxy(HWND hWnd, Owner *pOwner, IAccessible *pStd);
    virtual ~CAccessibleProxy();

    // 0 for the window itself, a link's number, or -1 for a child the standard object
    // answers (a child window).
    int LinkOf(const VARIANT &varChild) const;
    bool Alive() const;
    void Disconnect();

    LONG m_cRef;
    HWND m_hWnd;
    Owner *m_pOwner;
    IAccessible *m_pStd;
};
