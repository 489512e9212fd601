#include "repair/SignatureVerifier.h"

#include "BuildConfig.h"
#include "fw/SystemLibrary.h"

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

namespace {

// Paths up to 519 characters; a longer one is refused.
const size_t MAX_WIDE_PATH = 520;

template <typename Fn> bool Lookup(HMODULE module, const char *name, Fn &pfn)
{
    pfn = module ? reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name)))
                 : nullptr;
    return pfn != nullptr;
}

// The path is UTF-8 inside the tool.
bool ToWide(const char *path, WideText *wide)
{
    *wide = PathToWide(path);
    return wide->size() > 1 && wide->size() <= MAX_WIDE_PATH;
}

// WINTRUST_ACTION_GENERIC_VERIFY_V2, spelled out so nothing links against wintrust.
const GUID GENERIC_VERIFY_V2 = {0x00AAC56B, 0xCD44, 0x11D0,
                                {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

} // namespace

CSignatureVerifier::CSignatureVerifier()
    : m_nRefs(0), m_bInitialized(FALSE), m_hWintrust(nullptr), m_hCrypt32(nullptr),
      m_pfnWinVerifyTrust(nullptr), m_pfnCryptQueryObject(nullptr),
      m_pfnCryptMsgGetParam(nullptr), m_pfnCryptMsgClose(nullptr),
      m_pfnCertFindCertificateInStore(nullptr), m_pfnCertFreeCertificateContext(nullptr),
      m_pfnCertCloseStore(nullptr), m_pfnCertGetNameStringW(nullptr),
      m_pfnProvDataFromStateData(nullptr), m_pfnProvSignerFromChain(nullptr),
      m_pfnCertVerifyCertificateChainPolicy(nullptr)
{
}

CSignatureVerifier::~CSignatureVerifier()
{
    Uninitialize(nullptr);
}

ULONG CSignatureVerifier::AddRef()
{
    return static_cast<ULONG>(++m_nRefs);
}

ULONG CSignatureVerifier::Release()
{
    LONG refs = --m_nRefs;
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

void CSignatureVerifier::Unload()
{
    if (m_hCrypt32)
        FreeLibrary(m_hCrypt32);
    if (m_hWintrust)
        FreeLibrary(m_hWintrust);
    m_hCrypt32 = nullptr;
    m_hWintrust = nullptr;
    m_pfnWinVerifyTrust = nullptr;
    m_pfnCryptQueryObject = nullptr;
    m_pfnCryptMsgGetParam = nullptr;
    m_pfnCryptMsgClose = nullptr;
    m_pfnCertFindCertificateInStore = nullptr;
    m_pfnCertFreeCertificateContext = nullptr;
    m_pfnCertCloseStore = nullptr;
    m_pfnCertGetNameStringW = nullptr;
    m_pfnProvDataFromStateData = nullptr;
    m_pfnProvSignerFromChain = nullptr;
    m_pfnCertVerifyCertificateChainPolicy = nullptr;
}

HRESULT CSignatureVerifier::Initialize(void * /*pReserved*/)
{
    if (m_bInitialized)
        return S_OK;
    m_hWintrust = LoadSystemLibrary("Wintrust.dll");
    bool ok = Lookup(m_hWintrust, "WinVerifyTrust", m_pfnWinVerifyTrust);
    ok = Lookup(m_hWintrust, "WTHelperProvDataFromStateData", m_pfnProvDataFromStateData) && ok;
    ok = Lookup(m_hWintrust, "WTHelperGetProvSignerFromChain", m_pfnProvSignerFromChain) && ok;
    m_hCrypt32 = LoadSystemLibrary("Crypt32.dll");
    ok = Lookup(m_hCrypt32, "CryptQueryObject", m_pfnCryptQueryObject) && ok;
    ok = Lookup(m_hCrypt32, "CryptMsgGetParam", m_pfnCryptMsgGetParam) && ok;
    ok = Lookup(m_hCrypt32, "CryptMsgClose", m_pfnCryptMsgClose) && ok;
    ok = Lookup(m_hCrypt32, "CertFindCertificateInStore", m_pfnCertFindCertificateInStore) && ok;
    ok = Lookup(m_hCrypt32, "CertFreeCertificateContext", m_pfnCertFreeCertificateContext) && ok;
    ok = Lookup(m_hCrypt32, "CertCloseStore", m_pfnCertCloseStore) && ok;
    ok = Lookup(m_hCrypt32, "CertGetNameStringW", m_pfnCertGetNameStringW) && ok;
    ok = Lookup(m_hCrypt32, "CertVerifyCertificateChainPolicy",
                m_pfnCertVerifyCertificateChainPolicy) && ok;
    if (!ok) {
        Unload();
        return E_FAIL;
    }
    m_bInitialized = TRUE;
    return S_OK;
}

HRESULT CSignatureVerifier::Uninitialize(void * /*pReserved*/)
{
    if (!m_bInitialized)
        return E_FAIL;
    Unload();
    m_bInitialized = FALSE;
    return S_OK;
}

bool CSignatureVerifier::SignerChainTrusted(HANDLE hStateData)
{
    CRYPT_PROVIDER_DATA *provider = hStateData ? m_pfnProvDataFromStateData(hStateData) : nullptr;
    CRYPT_PROVIDER_SGNR *signer =
        provider ? m_pfnProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (!signer || !signer->pChainContext)
        return false;
    CERT_CHAIN_POLICY_PARA para;
    memset(&para, 0, sizeof(para));
    para.cbSize = sizeof(para);
    // A signature made while the certificate was valid still counts after it expires, and
    // revocation is not checked; an untrusted root is never ignored.
    para.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_NOT_TIME_VALID_FLAGS |
                   CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    CERT_CHAIN_POLICY_STATUS status;
    memset(&status, 0, sizeof(status));
    status.cbSize = sizeof(status);
    return m_pfnCertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE,
                                                 signer->pChainContext, &para, &status) &&
           status.dwError == 0;
}

HRESULT CSignatureVerifier::VerifyFile(const char *pszPath, BOOL *pbTrusted, DWORD dwFlags,
                                       const SignerInfo *pExpected)
{
    if (!m_bInitialized || !pszPath || !pbTrusted)
        return E_FAIL;
    WideText widePath;
    if (!ToWide(pszPath, &widePath))
        return E_FAIL;

    WINTRUST_FILE_INFO fileInfo;
    memset(&fileInfo, 0, sizeof(fileInfo));
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = widePath.data();
    WINTRUST_DATA trust;
    memset(&trust, 0, sizeof(trust));
    trust.cbStruct = sizeof(trust);
    trust.dwUIChoice = WTD_UI_NONE;
    trust.fdwRevocationChecks = WTD_REVOKE_NONE;
    trust.dwUnionChoice = WTD_CHOICE_FILE;
    trust.pFile = &fileInfo;
    trust.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_SAFER_FLAG;
    // The provider's state is kept until the chain it built has been checked.
    trust.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = GENERIC_VERIFY_V2;
    LONG status = m_pfnWinVerifyTrust(nullptr, &action, &trust);
    // A signature made while the certificate was valid still counts after it expires.
    bool trusted = status == 0 || status == static_cast<LONG>(CERT_E_EXPIRED);
    // Not every trust provider enforces chain trust (some accept a self-signed certificate),
    // so the chain is checked here too; on a provider that does, this agrees with it.
    if (trusted)
        trusted = SignerChainTrusted(trust.hWVTStateData);
    trust.dwStateAction = WTD_STATEACTION_CLOSE;
    m_pfnWinVerifyTrust(nullptr, &action, &trust);
    if (!trusted) {
        *pbTrusted = FALSE;
        return S_OK;
    }
    if (dwFlags == 0 || !pExpected) {
        *pbTrusted = TRUE;
        return S_OK;
    }

    SignerInfo actual;
    memset(&actual, 0, sizeof(actual));
    DWORD size = 0;
    if (FAILED(GetSignerInfo(pszPath, &actual, &size)))
        return E_FAIL;
    HRESULT result = E_FAIL;
    actual.pbSerial = static_cast<BYTE *>(calloc(actual.cbSerial + 1, 1));
    actual.pszIssuer = static_cast<char *>(calloc(actual.cbIssuer + 1, 1));
    actual.pszSubject = static_cast<char *>(calloc(actual.cbSubject + 1, 1));
    if (actual.pbSerial && actual.pszIssuer && actual.pszSubject &&
        SUCCEEDED(GetSignerInfo(pszPath, &actual, &size))) {
        BOOL match = TRUE;
        if ((dwFlags & VERIFY_SERIAL) && pExpected->pbSerial)
            match = pExpected->cbSerial == actual.cbSerial &&
                    memcmp(pExpected->pbSerial, actual.pbSerial, actual.cbSerial) == 0;
        if (match && (dwFlags & VERIFY_ISSUER) && pExpected->pszIssuer)
            match = pExpected->cbIssuer == actual.cbIssuer &&
                    memcmp(pExpected->pszIssuer, actual.pszIssuer, actual.cbIssuer) == 0;
        if (match && (dwFlags & VERIFY_SUBJECT) && pExpected->pszSubject)
            match = pExpected->cbSubject == actual.cbSubject &&
                    memcmp(pExpected->pszSubject, actual.pszSubject, actual.cbSubject) == 0;
        *pbTrusted = match;
        result = S_OK;
    }
    free(actual.pbSerial);
    free(actual.pszIssuer);
    free(actual.pszSubject);
    return result;
}

HRESULT CSignatureVerifier::ReadSigner(const char *pszPath, WideText *issuer,
                                       WideText *subject, std::vector<BYTE> *serial)
{
    WideText widePath;
    if (!ToWide(pszPath, &widePath))
        return E_FAIL;

    HRESULT result = E_FAIL;
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    CMSG_SIGNER_INFO *signer = nullptr;
    PCCERT_CONTEXT cert = nullptr;
    DWORD encoding = 0, content = 0, format = 0, signerSize = 0;
    do {
        if (!m_pfnCryptQueryObject(CERT_QUERY_OBJECT_FILE, widePath.data(),
                                   CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                                   CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &content, &format,
                                   &store, &message, nullptr))
            break;
        if (!m_pfnCryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &signerSize) ||
            signerSize == 0)
            break;
        signer = static_cast<CMSG_SIGNER_INFO *>(calloc(signerSize, 1));
        if (!signer ||
            !m_pfnCryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, signer, &signerSize))
            break;
        CERT_INFO certInfo;
        memset(&certInfo, 0, sizeof(certInfo));
        certInfo.Issuer = signer->Issuer;
        certInfo.SerialNumber = signer->SerialNumber;
        cert = m_pfnCertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                               CERT_FIND_SUBJECT_CERT, &certInfo, nullptr);
        if (!cert)
            break;
        bool ok = true;
        const DWORD flags[2] = {CERT_NAME_ISSUER_FLAG, 0};
        WideText *names[2] = {issuer, subject};
        for (int i = 0; i < 2 && ok; ++i) {
            if (!names[i])
                continue;
            // The count includes the terminating zero; 0 is a failure.
            const DWORD count = m_pfnCertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE,
                                                        flags[i], nullptr, nullptr, 0);
            names[i]->assign(count, L'\0');
            ok = count != 0 &&
                 m_pfnCertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, flags[i], nullptr,
                                         names[i]->data(), count) == count;
        }
        if (!ok)
            break;
        if (serial) {
            const CRYPT_INTEGER_BLOB &blob = cert->pCertInfo->SerialNumber;
            serial->assign(blob.pbData, blob.pbData + blob.cbData);
        }
        result = S_OK;
    } while (false);

    if (cert)
        m_pfnCertFreeCertificateContext(cert);
    free(signer);
    if (store)
        m_pfnCertCloseStore(store, 0);
    if (message)
        m_pfnCryptMsgClose(message);
    return result;
}

HRESULT CSignatureVerifier::GetSignerInfo(const char *pszPath, SignerInfo *pInfo,
                                          DWORD *pcbSize)
{
    if (!m_bInitialized || !pszPath || !pInfo || !pcbSize)
        return E_FAIL;
    const bool measuring = *pcbSize == 0;
    try {
        WideText wideIssuer, wideSubject;
        std::vector<BYTE> serial;
        if (FAILED(ReadSigner(pszPath, &wideIssuer, &wideSubject, &serial)))
            return E_FAIL;
        // The tool's text, with its terminating zero.
        const std::string issuer = WideToTool(wideIssuer.data());
        const std::string subject = WideToTool(wideSubject.data());
        const DWORD cbSerial = static_cast<DWORD>(serial.size());
        const DWORD cbIssuer = static_cast<DWORD>(issuer.size() + 1);
        const DWORD cbSubject = static_cast<DWORD>(subject.size() + 1);
        // A buffer smaller than its part is never written past: the call fails instead.
        if (!measuring && ((pInfo->pbSerial && pInfo->cbSerial < cbSerial) ||
                           (pInfo->pszIssuer && pInfo->cbIssuer < cbIssuer) ||
                           (pInfo->pszSubject && pInfo->cbSubject < cbSubject)))
            return E_FAIL;
        pInfo->cbSerial = cbSerial;
        pInfo->cbIssuer = cbIssuer;
        pInfo->cbSubject = cbSubject;
        *pcbSize = cbSerial + cbIssuer + cbSubject + 12;
        if (!measuring) {
            if (pInfo->pbSerial && cbSerial)
                memcpy(pInfo->pbSerial, serial.data(), cbSerial);
            if (pInfo->pszIssuer)
                memcpy(pInfo->pszIssuer, issuer.c_str(), cbIssuer);
            if (pInfo->pszSubject)
                memcpy(pInfo->pszSubject, subject.c_str(), cbSubject);
        }
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT CSignatureVerifier::GetSignerSubject(const char *pszPath, WideText *subject)
{
    if (!m_bInitialized || !pszPath || !subject)
        return E_FAIL;
    try {
        return ReadSigner(pszPath, nullptr, subject, nullptr);
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT CSignatureVerifier::Reserved1(void *, void *, void *, void *)
{
    return E_NOTIMPL;
}

HRESULT CSignatureVerifier::Reserved2(void *, void *, void *)
{
    return E_NOTIMPL;
}

HRESULT CreateSignatureVerifier(CSignatureVerifier **ppVerifier)
{
    if (!ppVerifier)
        return E_FAIL;
    CSignatureVerifier *verifier = new (std::nothrow) CSignatureVerifier();
    *ppVerifier = verifier;
    if (!verifier)
        return E_OUTOFMEMORY;
    verifier->AddRef();
    return S_OK;
}

BOOL IsFileSignedBy(const char *pszPath, const char *pszSubject)
{
    if (!pszPath || !*pszPath || !pszSubject || !*pszSubject)
        return FALSE;
    CSignatureVerifier *verifier = nullptr;
    if (FAILED(CreateSignatureVerifier(&verifier)))
        return FALSE;
    BOOL result = FALSE;
    const bool initialized = SUCCEEDED(verifier->Initialize(nullptr));
    BOOL trusted = FALSE;
    try {
        WideText subject;
        if (initialized && SUCCEEDED(verifier->VerifyFile(pszPath, &trusted, 0, nullptr)) &&
            trusted && SUCCEEDED(verifier->GetSignerSubject(pszPath, &subject))) {
            // In UTF-16, exactly: a conversion to a code page could fold a look-alike
            // character (a full-width letter, say) onto the maker's name.
            const WideText wanted = ToolToWide(pszSubject);
            result = subject == wanted;
        }
    } catch (...) {
        result = FALSE;
    }
    if (initialized)
        verifier->Uninitialize(nullptr);
    verifier->Release();
    return result;
}

BOOL IsSignedByMaker(const char *pszPath)
{
    return IsFileSignedBy(pszPath, HALVEX_MAKER_NAME);
}
