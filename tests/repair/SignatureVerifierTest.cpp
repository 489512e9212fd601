// Publisher checks of real Authenticode-signed fixtures (a test PKI made at build time).
#include "repair/SignatureVerifier.h"

#include "BuildConfig.h"
#include "tests/support/FixturePaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The fixtures' root is trusted, as a machine trusts the maker's real root.
class TrustedTestRoot : public testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(TrustSigningRoot()); }
};
testing::Environment *const g_trustedRoot = testing::AddGlobalTestEnvironment(new TrustedTestRoot);

struct SignedCase {
    const char *fixture;
    BOOL byMaker;
};

const SignedCase SIGNED_CASES[] = {
    {"maker.exe", TRUE},
    {"expired.exe", TRUE},       // the certificate expired after signing
    {"other.exe", FALSE},        // valid signature, another company
    {"unsigned.exe", FALSE},
    {"tampered.exe", FALSE},     // one byte changed after signing
    {"case.exe", FALSE},         // the maker's name in other letter case
    {"maker-99999.exe", TRUE},   // exact sizes for the size limit
    {"maker-100000.exe", TRUE},
    {"maker-100001.exe", TRUE},
    {"missing.exe", FALSE},
    {"selfsigned.exe", FALSE},   // the maker's exact name, but no trusted root vouches for it
    // Look-alike names: the first letter full-width, or a trailing space.
    {"fullwidth.exe", FALSE},
    {"trailing.exe", FALSE},
};

TEST(IsSignedByMaker, AcceptsOnlyTheMakersSignature)
{
    for (const SignedCase &c : SIGNED_CASES)
        EXPECT_EQ(IsSignedByMaker(SigningFixturePath(c.fixture).c_str()), c.byMaker) << c.fixture;
}

// The trust provider alone: what the tool's own chain check has to make up for.
LONG ProviderVerdict(const std::string &path)
{
    const std::wstring wide(path.begin(), path.end());
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = wide.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    GUID action = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
    return WinVerifyTrust(nullptr, &action, &data);
}

TEST(IsSignedByMaker, ChecksTheChainWhereTheProviderDoesNot)
{
    const std::string selfSigned = SigningFixturePath("selfsigned.exe");
    // Under Wine the provider accepts a certificate no trusted root vouches for; Windows
    // says CERT_E_UNTRUSTEDROOT. Either way the tool must refuse it.
    EXPECT_EQ(ProviderVerdict(selfSigned), 0)
        << "the provider now refuses it itself: this case no longer shows the tool's own check";
    EXPECT_FALSE(IsSignedByMaker(selfSigned.c_str()));
    EXPECT_TRUE(IsSignedByMaker(SigningFixturePath("maker.exe").c_str()));
}

// The subject is compared in UTF-16, so no system code page can fold a look-alike name onto
// the maker's (the table runs on 936 and on 1252).
TEST(IsFileSignedBy, ComparesTheNameInUtf16)
{
    const std::string maker = HALVEX_MAKER_NAME;
    const struct {
        const char *fixture;
        std::string subject;   // the tool's text (GBK)
        BOOL signedBy;
    } cases[] = {
        {"maker.exe", maker, TRUE},
        {"fullwidth.exe", maker, FALSE},
        {"trailing.exe", maker, FALSE},
        {"other.exe", maker, FALSE},
        {"trailing.exe", maker + " ", TRUE},
        // The full-width letter as GBK (A3 xx): the look-alike's own name matches it.
        {"fullwidth.exe", std::string("\xA3") + static_cast<char>(maker[0] + 0x80) + maker.substr(1), TRUE},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsFileSignedBy(SigningFixturePath(c.fixture).c_str(), c.subject.c_str()), c.signedBy)
            << c.fixture << " \"" << c.subject << "\"";
}

// Paths are UTF-8 inside the tool: a folder name no ANSI code page holds whole still works.
TEST(IsSignedByMaker, TakesAUtf8Path)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"\u7B7E\u540D \u00E9\u0416";   // 签名 éЖ
    const std::wstring exe = dir + L"\\Halvex.exe";
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::string source = SigningFixturePath("maker.exe");
    ASSERT_TRUE(CopyFileW(std::wstring(source.begin(), source.end()).c_str(), exe.c_str(), FALSE));
    char utf8[MAX_PATH * 4] = {};
    WideCharToMultiByte(CP_UTF8, 0, exe.c_str(), -1, utf8, sizeof(utf8), nullptr, nullptr);
    EXPECT_TRUE(IsSignedByMaker(utf8));
    DeleteFileW(exe.c_str());
    RemoveDirectoryW(dir.c_str());
}

TEST(IsFileSignedBy, ComparesTheSubjectExactly)
{
    const std::string other = SigningFixturePath("other.exe");
    EXPECT_TRUE(IsFileSignedBy(other.c_str(), "Lindqvist Software Ltd."));
    EXPECT_FALSE(IsFileSignedBy(other.c_str(), "Lindqvist Software Ltd"));
    EXPECT_FALSE(IsFileSignedBy(other.c_str(), ""));
    EXPECT_FALSE(IsFileSignedBy(other.c_str(), nullptr));
    EXPECT_FALSE(IsFileSignedBy(nullptr, "Lindqvist Software Ltd."));
    EXPECT_FALSE(IsFileSignedBy("", "Lindqvist Software Ltd."));
}

// The same signed file reached through a path of an exact length ("\.\" segments).
std::string PathOfLength(size_t length)
{
    const std::string target = SigningFixturePath("maker.exe");  // "Z:\..."
    std::string padding;
    size_t extra = length - target.size();
    if (extra % 2) {
        padding = "x\\..\\";
        extra -= 5;
    }
    for (; extra; extra -= 2)
        padding += ".\\";
    return target.substr(0, 3) + padding + target.substr(3);
}

TEST(IsSignedByMaker, PathLongerThan519CharactersIsRejected)
{
    const std::string longest = PathOfLength(519);
    ASSERT_EQ(longest.size(), 519u);
    EXPECT_TRUE(IsSignedByMaker(longest.c_str()));
    const std::string tooLong = PathOfLength(520);
    ASSERT_EQ(tooLong.size(), 520u);
    EXPECT_FALSE(IsSignedByMaker(tooLong.c_str()));
}

class VerifierTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CreateSignatureVerifier(&m_pVerifier), S_OK);
        ASSERT_NE(m_pVerifier, nullptr);
    }
    void TearDown() override
    {
        if (m_pVerifier)
            m_pVerifier->Release();
    }
    CSignatureVerifier *m_pVerifier = nullptr;
    const std::string m_maker = SigningFixturePath("maker.exe");
};

TEST_F(VerifierTest, ReferenceCount)
{
    EXPECT_EQ(m_pVerifier->AddRef(), 2u);
    EXPECT_EQ(m_pVerifier->Release(), 1u);
    EXPECT_EQ(m_pVerifier->Release(), 0u);
    m_pVerifier = nullptr;
}

TEST_F(VerifierTest, InitializeAndUninitialize)
{
    EXPECT_EQ(m_pVerifier->Uninitialize(nullptr), E_FAIL);
    BOOL trusted = 7;
    EXPECT_EQ(m_pVerifier->VerifyFile(m_maker.c_str(), &trusted, 0, nullptr), E_FAIL);
    EXPECT_EQ(trusted, 7);

    EXPECT_EQ(m_pVerifier->Initialize(nullptr), S_OK);
    EXPECT_EQ(m_pVerifier->Initialize(nullptr), S_OK);
    // Loaded once: one Uninitialize undoes both.
    EXPECT_EQ(m_pVerifier->Uninitialize(nullptr), S_OK);
    EXPECT_EQ(m_pVerifier->Uninitialize(nullptr), E_FAIL);
}

TEST_F(VerifierTest, LibrariesComeFromTheSystemDirectory)
{
    ASSERT_EQ(m_pVerifier->Initialize(nullptr), S_OK);
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    for (const char *name : {"wintrust.dll", "crypt32.dll"}) {
        char path[MAX_PATH] = {};
        ASSERT_NE(GetModuleHandleA(name), nullptr) << name;
        GetModuleFileNameA(GetModuleHandleA(name), path, MAX_PATH);
        EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path, lstrlenA(system), system,
                                 -1),
                  CSTR_EQUAL)
            << path;
    }
}

TEST_F(VerifierTest, ReservedOperations)
{
    EXPECT_EQ(m_pVerifier->Reserved1(nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(m_pVerifier->Reserved2(nullptr, nullptr, nullptr), E_NOTIMPL);
}

TEST_F(VerifierTest, GetSignerInfoMeasuresThenFills)
{
    ASSERT_EQ(m_pVerifier->Initialize(nullptr), S_OK);
    const std::string subject = HALVEX_MAKER_NAME;
    const std::string issuer = "Halvex Test Root";

    SignerInfo info = {};
    DWORD size = 0;
    ASSERT_EQ(m_pVerifier->GetSignerInfo(m_maker.c_str(), &info, &size), S_OK);
    EXPECT_EQ(info.cbSubject, subject.size() + 1);
    EXPECT_EQ(info.cbIssuer, issuer.size() + 1);
    EXPECT_GT(info.cbSerial, 0u);
    EXPECT_EQ(size, info.cbSubject + info.cbIssuer + info.cbSerial + 12);

    // A non-zero size with null buffers reports the same and writes nothing else.
    SignerInfo counts = {};
    DWORD size2 = 1;
    ASSERT_EQ(m_pVerifier->GetSignerInfo(m_maker.c_str(), &counts, &size2), S_OK);
    EXPECT_EQ(size2, size);
    EXPECT_EQ(counts.cbSubject, info.cbSubject);

    std::vector<char> subjectBuf(info.cbSubject), issuerBuf(info.cbIssuer);
    std::vector<BYTE> serialBuf(info.cbSerial);
    info.pszSubject = subjectBuf.data();
    info.pszIssuer = issuerBuf.data();
    info.pbSerial = serialBuf.data();
    ASSERT_EQ(m_pVerifier->GetSignerInfo(m_maker.c_str(), &info, &size), S_OK);
    EXPECT_EQ(std::string(subjectBuf.data()), subject);
    EXPECT_EQ(std::string(issuerBuf.data()), issuer);

    // A buffer declared smaller than its part is refused, not overrun.
    std::vector<char> small(8, 'q');
    SignerInfo tooSmall = {};
    tooSmall.cbSubject = 8;
    tooSmall.pszSubject = small.data();
    EXPECT_EQ(m_pVerifier->GetSignerInfo(m_maker.c_str(), &tooSmall, &size), E_FAIL);
    EXPECT_EQ(small, std::vector<char>(8, 'q'));

    SignerInfo none = {};
    DWORD zero = 0;
    EXPECT_EQ(m_pVerifier->GetSignerInfo(SigningFixturePath("unsigned.exe").c_str(), &none, &zero),
              E_FAIL);
    EXPECT_EQ(m_pVerifier->GetSignerInfo(nullptr, &none, &zero), E_FAIL);
    EXPECT_EQ(m_pVerifier->GetSignerInfo(m_maker.c_str(), nullptr, &zero), E_FAIL);
    EXPECT_EQ(m_pVerifier->GetSignerInfo(m_maker.c_str(), &none, nullptr), E_FAIL);
}

TEST_F(VerifierTest, VerifyFileComparesTheRequestedParts)
{
    ASSERT_EQ(m_pVerifier->Initialize(nullptr), S_OK);
    SignerInfo actual = {};
    DWORD size = 0;
    ASSERT_EQ(m_pVerifier->GetSignerInfo(m_maker.c_str(), &actual, &size), S_OK);
    std::vector<BYTE> serial(actual.cbSerial);
    actual.pbSerial = serial.data();
    ASSERT_EQ(m_pVerifier->GetSignerInfo(m_maker.c_str(), &actual, &size), S_OK);

    char subject[] = HALVEX_MAKER_NAME;
    char issuer[] = "Halvex Test Root";
    char wrong[] = "Someone Else";
    std::vector<BYTE> wrongSerial(serial);
    wrongSerial[0] ^= 1;
    struct {
        DWORD flags;
        char *subject;
        char *issuer;
        BYTE *serial;
        BOOL trusted;
    } cases[] = {
        {VERIFY_SUBJECT, subject, nullptr, nullptr, TRUE},
        {VERIFY_SUBJECT, wrong, nullptr, nullptr, FALSE},
        {VERIFY_ISSUER | VERIFY_SUBJECT, subject, issuer, nullptr, TRUE},
        {VERIFY_ISSUER, nullptr, wrong, nullptr, FALSE},
        {VERIFY_SERIAL, nullptr, nullptr, serial.data(), TRUE},
        {VERIFY_SERIAL, nullptr, nullptr, wrongSerial.data(), FALSE},
        {VERIFY_ISSUER, wrong, issuer, nullptr, TRUE},   // only what the flags ask for
        {VERIFY_SUBJECT, nullptr, wrong, nullptr, TRUE}, // no buffer: nothing to compare
    };
    for (const auto &c : cases) {
        SignerInfo expected = {};
        expected.pszSubject = c.subject;
        expected.cbSubject = c.subject ? lstrlenA(c.subject) + 1 : 0;
        expected.pszIssuer = c.issuer;
        expected.cbIssuer = c.issuer ? lstrlenA(c.issuer) + 1 : 0;
        expected.pbSerial = c.serial;
        expected.cbSerial = c.serial ? actual.cbSerial : 0;
        BOOL trusted = 7;
        EXPECT_EQ(m_pVerifier->VerifyFile(m_maker.c_str(), &trusted, c.flags, &expected), S_OK);
        EXPECT_EQ(trusted, c.trusted) << "flags " << c.flags;
    }

    BOOL trusted = 7;
    EXPECT_EQ(m_pVerifier->VerifyFile(SigningFixturePath("tampered.exe").c_str(), &trusted,
                                      VERIFY_SUBJECT, nullptr),
              S_OK);
    EXPECT_EQ(trusted, FALSE);
    EXPECT_EQ(m_pVerifier->VerifyFile(m_maker.c_str(), nullptr, 0, nullptr), E_FAIL);
}

} // namespace

namespace {

// The signed copies are working programs: each appends its path and command line to the log.
TEST(SignedFixtures, RunAndReportThemselves)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string log = std::string(temp) + "halvex-fixture.log";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("HALVEX_FIXTURE_LOG", log.c_str());
    std::string expected;
    for (const char *fixture : {"maker.exe", "maker-99999.exe", "maker-100001.exe"}) {
        const std::string exe = SigningFixturePath(fixture);
        std::string commandLine = "\"" + exe + "\" --probe";
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &si, &pi))
            << fixture;
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(code, 0u) << fixture;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        expected += exe + " " + commandLine + "\r\n";
    }
    SetEnvironmentVariableA("HALVEX_FIXTURE_LOG", nullptr);
    std::string text;
    HANDLE file = CreateFileA(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof(buf), &got, nullptr) && got)
        text.append(buf, got);
    CloseHandle(file);
    DeleteFileA(log.c_str());
    EXPECT_EQ(text, expected);
}

} // namespace
