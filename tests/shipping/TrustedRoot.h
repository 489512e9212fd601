// A root certificate trusted by the machine (its local-machine "Root" store) for the lifetime
// of the object, as a code-signing root of a real publisher is.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

class CTrustedRoot {
public:
    // derPath: a DER-encoded certificate (Windows path).
    explicit CTrustedRoot(const std::wstring &derPath);
    ~CTrustedRoot();
    CTrustedRoot(const CTrustedRoot &) = delete;
    CTrustedRoot &operator=(const CTrustedRoot &) = delete;

    bool IsAdded() const { return m_pAdded != nullptr; }
    // The system's chain engine takes the certificate as a trusted root.
    bool ChainsAsTrusted() const;

private:
    HCERTSTORE m_hStore;
    PCCERT_CONTEXT m_pAdded;
};
