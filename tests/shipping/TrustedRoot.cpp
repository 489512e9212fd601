#include "tests/shipping/TrustedRoot.h"

#include <vector>

namespace {

std::vector<BYTE> ReadAll(const std::wstring &path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::vector<BYTE> data(GetFileSize(file, nullptr));
    DWORD got = 0;
    if (data.empty() || !ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &got, nullptr) ||
        got != data.size())
        data.clear();
    CloseHandle(file);
    return data;
}

}  // namespace

CTrustedRoot::CTrustedRoot(const std::wstring &derPath) : m_hStore(nullptr), m_pAdded(nullptr)
{
    const std::vector<BYTE> der = ReadAll(derPath);
    if (der.empty())
        return;
    m_hStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!m_hStore)
        return;
    if (!CertAddEncodedCertificateToStore(m_hStore, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, &m_pAdded))
        m_pAdded = nullptr;
    // The store is the registry's; other openers (the chain engine) see it once written.
    if (m_pAdded && !CertControlStore(m_hStore, 0, CERT_STORE_CTRL_COMMIT, nullptr)) {
        CertDeleteCertificateFromStore(m_pAdded);
        m_pAdded = nullptr;
    }
}

CTrustedRoot::~CTrustedRoot()
{
    if (m_pAdded) {
        CertDeleteCertificateFromStore(m_pAdded);  // frees the context too
        CertControlStore(m_hStore, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    if (m_hStore)
        CertCloseStore(m_hStore, 0);
}

bool CTrustedRoot::ChainsAsTrusted() const
{
    if (!m_pAdded)
        return false;
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof(para);
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, m_pAdded, nullptr, nullptr, &para, 0, nullptr, &chain))
        return false;
    const bool trusted = (chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_UNTRUSTED_ROOT) == 0;
    CertFreeCertificateChain(chain);
    return trusted;
}
