// Authenticode publisher check of the product's executables. The trust and certificate
// libraries are loaded at run time from the system directory; where they are missing every
// file counts as not genuine.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "fw/TextConversion.h"

// The signer of a file. Buffers are the caller's and may be null; when filling, each count
// on entry is the capacity of its buffer. Names are the tool's text (GBK); a character that
// text lacks becomes "?", so names are compared in UTF-16 (GetSignerSubject), never here.
struct SignerInfo {
    DWORD cbIssuer;    // issuer simple display name, terminating zero included
    char *pszIssuer;
    DWORD cbSubject;   // subject simple display name, terminating zero included
    char *pszSubject;
    DWORD cbSerial;    // serial number as the certificate stores it
    BYTE *pbSerial;
};

// Which parts of the expected signer VerifyFile compares.
enum {
    VERIFY_ISSUER = 1,
    VERIFY_SUBJECT = 2,
    VERIFY_SERIAL = 4,
};

class CSignatureVerifier {
public:
    virtual ULONG AddRef();
    virtual ULONG Release();
    virtual HRESULT Initialize(void *pReserved);
    virtual HRESULT Uninitialize(void *pReserved);
    // Trust check of the file's embedded signature; with flags and an expected signer, the
    // signer's parts must match too. *pbTrusted receives 0 or 1.
    virtual HRESULT VerifyFile(const char *pszPath, BOOL *pbTrusted, DWORD dwFlags,
                               const SignerInfo *pExpected);
    // With *pcbSize 0 only the three counts and *pcbSize are filled (their sum plus 12).
    virtual HRESULT GetSignerInfo(const char *pszPath, SignerInfo *pInfo, DWORD *pcbSize);
    virtual HRESULT Reserved1(void *, void *, void *, void *);
    virtual HRESULT Reserved2(void *, void *, void *);

    // The signer's subject simple display name as the certificate states it, in UTF-16.
    HRESULT GetSignerSubject(const char *pszPath, WideText *subject);

protected:
    friend HRESULT CreateSignatureVerifier(CSignatureVerifier **ppVerifier);
    CSignatureVerifier();
    virtual ~CSignatureVerifier();

private:
    typedef LONG(WINAPI *WinVerifyTrustFn)(HWND, GUID *, LPVOID);
    typedef BOOL(WINAPI *CryptQueryObjectFn)(DWORD, const void *, DWORD, DWORD, DWORD, DWORD *,
                                             DWORD *, DWORD *, HCERTSTORE *, HCRYPTMSG *,
                                             const void **);
    typedef BOOL(WINAPI *CryptMsgGetParamFn)(HCRYPTMSG, DWORD, DWORD, void *, DWORD *);
    typedef BOOL(WINAPI *CryptMsgCloseFn)(HCRYPTMSG);
    typedef PCCERT_CONTEXT(WINAPI *CertFindCertificateInStoreFn)(HCERTSTORE, DWORD, DWORD, DWORD,
                                                                 const void *, PCCERT_CONTEXT);
    typedef BOOL(WINAPI *CertFreeCertificateContextFn)(PCCERT_CONTEXT);
    typedef BOOL(WINAPI *CertCloseStoreFn)(HCERTSTORE, DWORD);
    typedef DWORD(WINAPI *CertGetNameStringWFn)(PCCERT_CONTEXT, DWORD, DWORD, void *, LPWSTR,
                                                DWORD);
    typedef CRYPT_PROVIDER_DATA *(WINAPI *ProvDataFromStateDataFn)(HANDLE);
    typedef CRYPT_PROVIDER_SGNR *(WINAPI *ProvSignerFromChainFn)(CRYPT_PROVIDER_DATA *, DWORD,
                                                                 BOOL, DWORD);
    typedef BOOL(WINAPI *CertVerifyCertificateChainPolicyFn)(LPCSTR, PCCERT_CHAIN_CONTEXT,
                                                             PCERT_CHAIN_POLICY_PARA,
                                                             PCERT_CHAIN_POLICY_STATUS);

    void Unload();
    // The chain the trust provider built for the first signer ends in a trusted root.
    bool SignerChainTrusted(HANDLE hStateData);
    // The signer's certificate parts, names in UTF-16 with their terminating zero.
    HRESULT ReadSigner(const char *pszPath, WideText *issuer, WideText *subject,
                       std::vector<BYTE> *serial);

    LONG m_nRefs;
    BOOL m_bInitialized;
    HMODULE m_hWintrust;
    HMODULE m_hCrypt32;
    WinVerifyTrustFn m_pfnWinVerifyTrust;
    CryptQueryObjectFn m_pfnCryptQueryObject;
    CryptMsgGetParamFn m_pfnCryptMsgGetParam;
    CryptMsgCloseFn m_pfnCryptMsgClose;
    CertFindCertificateInStoreFn m_pfnCertFindCertificateInStore;
    CertFreeCertificateContextFn m_pfnCertFreeCertificateContext;
    CertCloseStoreFn m_pfnCertCloseStore;
    CertGetNameStringWFn m_pfnCertGetNameStringW;
    ProvDataFromStateDataFn m_pfnProvDataFromStateData;
    ProvSignerFromChainFn m_pfnProvSignerFromChain;
    CertVerifyCertificateChainPolicyFn m_pfnCertVerifyCertificateChainPolicy;
};

// A new verifier with a reference count of 1; E_OUTOFMEMORY when it cannot be allocated.
HRESULT CreateSignatureVerifier(CSignatureVerifier **ppVerifier);

// The file carries a trusted signature whose signer's subject name is exactly this name.
// pszPath is a UTF-8 path; pszSubject is the tool's text (GBK), compared in UTF-16.
BOOL IsFileSignedBy(const char *pszPath, const char *pszSubject);

// IsFileSignedBy with the maker's legal company name.
BOOL IsSignedByMaker(const char *pszPath);
