// The tool's own publisher check reads the signature that `make release` puts on the exe: the
// release test signs it with a throw-away key under a test root, trusted here as a real
// publisher's root is.
#include "repair/SignatureVerifier.h"
#include "tests/support/TestRoot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char SUBJECT[] = "HalvexFix Release Test Signer";
const char ISSUER[] = "HalvexFix Release Test Root";

// HALVEX_RELEASE_TEST_DIR is a Unix path; Wine maps "/" to Z:.
std::string ReleaseTestPath(const char *relative)
{
    std::string path = std::string("Z:") + HALVEX_RELEASE_TEST_DIR + "/" + relative;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

class ReleasedExe : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(TrustTestRoot(ReleaseTestPath("pki/root.cer"))); }

    const std::string m_exe = ReleaseTestPath("dist-signed/" HALVEX_VERSION_FILE_NAME);
};

TEST_F(ReleasedExe, IsSignedByTheTestCertificateSubject)
{
    EXPECT_TRUE(IsFileSignedBy(m_exe.c_str(), SUBJECT));
    EXPECT_FALSE(IsFileSignedBy(m_exe.c_str(), "HalvexFix Release Test"));
    EXPECT_FALSE(IsFileSignedBy(m_exe.c_str(), ISSUER));
}

TEST_F(ReleasedExe, SignerInfoNamesTheTestSignerAndRoot)
{
    CSignatureVerifier *verifier = nullptr;
    ASSERT_EQ(CreateSignatureVerifier(&verifier), S_OK);
    ASSERT_EQ(verifier->Initialize(nullptr), S_OK);

    SignerInfo info = {};
    DWORD size = 0;
    ASSERT_EQ(verifier->GetSignerInfo(m_exe.c_str(), &info, &size), S_OK);
    std::vector<char> subject(info.cbSubject), issuer(info.cbIssuer);
    std::vector<BYTE> serial(info.cbSerial);
    info.pszSubject = subject.data();
    info.pszIssuer = issuer.data();
    info.pbSerial = serial.data();
    ASSERT_EQ(verifier->GetSignerInfo(m_exe.c_str(), &info, &size), S_OK);
    EXPECT_EQ(std::string(subject.data()), SUBJECT);
    EXPECT_EQ(std::string(issuer.data()), ISSUER);

    BOOL trusted = FALSE;
    EXPECT_EQ(verifier->VerifyFile(m_exe.c_str(), &trusted, VERIFY_SUBJECT | VERIFY_ISSUER, &info), S_OK);
    EXPECT_TRUE(trusted);

    verifier->Uninitialize(nullptr);
    verifier->Release();
}

}  // namespace
