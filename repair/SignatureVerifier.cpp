#include "repair/SignatureVerifier.h"

#include "BuildConfig.h"
#include "repair/SystemLibrary.h"

#include <mbstring.h>
#include <stdlib.h>
#include <string.h>

#include <new>

namespace {

// Paths up to 519 characters; a longer one fails the conversion.
const int MAX_WIDE_PATH = 520;

template <typename Fn> bool Lookup(HMODULE module, const char *name, Fn &pfn)
{
    pfn = module ? reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name)))
                 : nullptr;
    return pfn != nullptr;
}

bool ToWide(const char *path, WCHAR *wide)
{
    // Paths are UTF-8.
    return MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, MAX_WIDE_PATH) > 0;
}

} // namespace

CSignatureVerifier::CSignatureVerifier()
    : m_nRefs(0), m_bInitialized(FALSE), m_hWintrust(nullptr), m_hCrypt32(nullptr),
      m_pfnWinVerifyTrust(nullptr), m_pfnCryptQueryObject(nullptr),
      m_pfnCryptMsgGetParam(nullptr), m_pfnCryptMsgClose(nullptr),
      m_pfnCertFindCertificateInStore(nullptr), m_pfnCertFreeCertificateContext(nullptr),
      m_pfnCertCloseStore(nullptr), m_pfnCertGetNameStringA(nullptr)
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
    m_pfnCertGetNameStringA = nullptr;
}

HRESULT CSignatureVerifier::Initialize(void * /*pReserved*/)
{
    if (m_bInitialized)
        return S_OK;
    m_hWintrust = LoadSystemLibrary("Wintrust.dll");
    bool ok = Lookup(m_hWintrust, "WinVerifyTrust", m_pfnWinVerifyTrust);
    m_hCrypt32 = LoadSystemLibrary("Crypt32.dll");
    ok = Lookup(m_hCrypt32, "CryptQueryObject", m_pfnCryptQueryObject) && ok;
    ok = Lookup(m_hCrypt32, "CryptMsgGetParam", m_pfnCryptMsgGetParam) && ok;
    ok = Lookup(m_hCrypt32, "CryptMsgClose", m_pfnCryptMsgClose) && ok;
    ok = Lookup(m_hCrypt32, "CertFindCertificateInStore", m_pfnCertFindCertificateInStore) && ok;
    ok = Lookup(m_hCrypt32, "CertFreeCertificateContext", m_pfnCertFreeCertificateContext) && ok;
    ok = Lookup(m_hCrypt32, "CertCloseStore", m_pfnCertCloseStore) && ok;
    ok = Lookup(m_hCrypt32, "CertGetNameStringA", m_pfnCertGetNameStringA) && ok;
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

HRESULT CSignatureVerifier::VerifyFile(const char *pszPath, BOOL *pbTrusted, DWORD dwFlags,
                                       const SignerInfo *pExpected)
{
    if (!m_bInitialized || !pszPath || !pbTrusted)
        return E_FAIL;
    WCHAR widePath[MAX_WIDE_PATH];
    if (!ToWide(pszPath, widePath))
        return E_FAIL;

    WINTRUST_FILE_INFO fileInfo;
    memset(&fileInfo, 0, sizeof(fileInfo));
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = widePath;
    WINTRUST_DATA trust;
    memset(&trust, 0, sizeof(trust));
    trust.cbStruct = sizeof(trust);
    trust.dwUIChoice = WTD_UI_NONE;
    trust.fdwRevocationChecks = WTD_REVOKE_NONE;
    trust.dwUnionChoice = WTD_CHOICE_FILE;
    trust.pFile = &fileInfo;
    trust.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_SAFER_FLAG;
    // WINTRUST_ACTION_GENERIC_VERIFY_V2, spelled out so nothing links against wintrust.
    GUID action = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
    LONG status = m_pfnWinVerifyTrust(nullptr, &action, &trust);
    // A signature made while the certificate was valid still counts after it expires.
    if (status != 0 && status != static_cast<LONG>(CERT_E_EXPIRED)) {
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

HRESULT CSignatureVerifier::GetSignerInfo(const char *pszPath, SignerInfo *pInfo,
                                          DWORD *pcbSize)
{
    if (!m_bInitialized || !pszPath || !pInfo || !pcbSize)
        return E_FAIL;
    const bool measuring = *pcbSize == 0;
    WCHAR widePath[MAX_WIDE_PATH];
    if (!ToWide(pszPath, widePath))
        return E_FAIL;

    HRESULT result = E_FAIL;
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    CMSG_SIGNER_INFO *signer = nullptr;
    PCCERT_CONTEXT cert = nullptr;
    char *issuer = nullptr;
    char *subject = nullptr;
    DWORD encoding = 0, content = 0, format = 0, signerSize = 0;
    do {
        if (!m_pfnCryptQueryObject(CERT_QUERY_OBJECT_FILE, widePath,
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
        const CRYPT_INTEGER_BLOB &serial = cert->pCertInfo->SerialNumber;
        DWORD cbIssuer = m_pfnCertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE,
                                                 CERT_NAME_ISSUER_FLAG, nullptr, nullptr, 0);
        if (cbIssuer == 0)
            break;
        if (!measuring) {
            issuer = static_cast<char *>(calloc(cbIssuer, 1));
            if (!issuer || m_pfnCertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE,
                                                   CERT_NAME_ISSUER_FLAG, nullptr, issuer,
                                                   cbIssuer) == 0)
                break;
        }
        DWORD cbSubject = m_pfnCertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0,
                                                  nullptr, nullptr, 0);
        if (cbSubject == 0)
            break;
        if (!measuring) {
            subject = static_cast<char *>(calloc(cbSubject, 1));
            if (!subject || m_pfnCertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0,
                                                    nullptr, subject, cbSubject) == 0)
                break;
        }
        // A buffer smaller than its part is never written past: the call fails instead.
        if (!measuring && ((pInfo->pbSerial && pInfo->cbSerial < serial.cbData) ||
                           (pInfo->pszIssuer && pInfo->cbIssuer < cbIssuer) ||
                           (pInfo->pszSubject && pInfo->cbSubject < cbSubject)))
            break;
        pInfo->cbSerial = serial.cbData;
        pInfo->cbIssuer = cbIssuer;
        pInfo->cbSubject = cbSubject;
        *pcbSize = serial.cbData + cbIssuer + cbSubject + 12;
        if (!measuring) {
            if (pInfo->pbSerial && serial.cbData)
                memcpy(pInfo->pbSerial, serial.pbData, serial.cbData);
            if (pInfo->pszIssuer)
                memcpy(pInfo->pszIssuer, issuer, cbIssuer);
            if (pInfo->pszSubject)
                memcpy(pInfo->pszSubject, subject, cbSubject);
        }
        result = S_OK;
    } while (false);

    free(issuer);
    free(subject);
    if (cert)
        m_pfnCertFreeCertificateContext(cert);
    free(signer);
    if (store)
        m_pfnCertCloseStore(store, 0);
    if (message)
        m_pfnCryptMsgClose(message);
    return result;
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
    if (initialized && SUCCEEDED(verifier->VerifyFile(pszPath, &trusted, 0, nullptr)) &&
        trusted) {
        SignerInfo info;
        memset(&info, 0, sizeof(info));
        DWORD size = 0;
        if (SUCCEEDED(verifier->GetSignerInfo(pszPath, &info, &size))) {
            info.pbSerial = static_cast<BYTE *>(calloc(info.cbSerial + 1, 1));
            info.pszIssuer = static_cast<char *>(calloc(info.cbIssuer + 1, 1));
            info.pszSubject = static_cast<char *>(calloc(info.cbSubject + 1, 1));
            if (info.pbSerial && info.pszIssuer && info.pszSubject &&
                SUCCEEDED(verifier->GetSignerInfo(pszPath, &info, &size)))
                result = _mbscmp(reinterpret_cast<const unsigned char *>(pszSubject),
                                 reinterpret_cast<const unsigned char *>(info.pszSubject)) == 0;
            free(info.pbSerial);
            free(info.pszIssuer);
            free(info.pszSubject);
        }
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
