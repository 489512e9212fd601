#include "tests/support/TestRoot.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "tests/support/Utf8Paths.h"

bool TrustTestRoot(const std::string &cerPath)
{
    HANDLE file = CreateFileW(WidePath(cerPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<BYTE> der(64 * 1024);
    DWORD got = 0;
    const bool read = ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &got, nullptr) && got > 0;
    CloseHandle(file);
    if (!read)
        return false;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!store)
        return false;
    const bool added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), got,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
    CertCloseStore(store, 0);
    return added;
}
