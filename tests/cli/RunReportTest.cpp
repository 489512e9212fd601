// What an unattended run reports: findings from the workflow's lines, the exit code, the JSON
// an administrator's tools read, and the console summary.
#include "cli/ReportJson.h"
#include "cli/ReportSummary.h"
#include "cli/RunReport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

// Failures show the JSON as text.
NLOHMANN_JSON_NAMESPACE_BEGIN
inline void PrintTo(const basic_json<> &j, std::ostream *os)
{
    *os << j.dump(2);
}
NLOHMANN_JSON_NAMESPACE_END

namespace {

std::string FakeLineText(ResultLine line)
{
    return "  line " + std::to_string(static_cast<int>(line)) + "\r\n";
}

// ---------------------------------------------------------------------------------------
// Exit codes

struct ExitCase {
    const char *name;
    RunMode mode;
    int outcome;
    std::vector<FindingStatus> statuses;
    bool anotherRun;
    int exitCode;
};

void PrintTo(const ExitCase &c, std::ostream *os) { *os << c.name; }

class ExitCodeTable : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitCodeTable, Decides)
{
    const ExitCase &c = GetParam();
    RunReport report;
    report.nMode = c.mode;
    report.nOutcome = c.outcome;
    report.bAnotherRunActive = c.anotherRun;
    for (FindingStatus s : c.statuses)
        report.Add(FINDING_IMAGE_HIJACK, s, "x");
    EXPECT_EQ(DecideExitCode(report), c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExitCodeTable,
    ::testing::Values(
        ExitCase{"nothing", MODE_REPAIR, OUTCOME_CLEAN, {}, false, 0},
        ExitCase{"notice only", MODE_REPAIR, OUTCOME_CLEAN, {STATUS_NOTICE}, false, 0},
        ExitCase{"repaired", MODE_REPAIR, OUTCOME_PROBLEMS, {STATUS_REPAIRED}, false, 1},
        ExitCase{"repaired and notice", MODE_REPAIR, OUTCOME_PROBLEMS, {STATUS_NOTICE, STATUS_REPAIRED}, false, 1},
        ExitCase{"one left", MODE_REPAIR, OUTCOME_PROBLEMS, {STATUS_REPAIRED, STATUS_NOT_REPAIRED}, false, 2},
        ExitCase{"reinstall over everything", MODE_REPAIR, OUTCOME_REINSTALL, {STATUS_REPAIRED, STATUS_NOT_REPAIRED},
                 false, 3},
        ExitCase{"scan: would repair", MODE_SCAN, OUTCOME_PROBLEMS, {STATUS_WOULD_REPAIR}, false, 1},
        ExitCase{"scan: cannot repair", MODE_SCAN, OUTCOME_PROBLEMS, {STATUS_WOULD_REPAIR, STATUS_CANNOT_REPAIR},
                 false, 2},
        ExitCase{"scan: reinstall", MODE_SCAN, OUTCOME_REINSTALL, {STATUS_CANNOT_REPAIR}, false, 3},
        ExitCase{"another run", MODE_REPAIR, OUTCOME_CLEAN, {}, true, 5}));

// ---------------------------------------------------------------------------------------
// The workflow's result lines as findings

TEST(ReportRecord, EachLineBecomesItsFinding)
{
    struct {
        ResultLine line;
        FindingCode code;
        FindingStatus repairStatus, scanStatus;
    } cases[] = {
        {LINE_HIJACK_REPAIRED, FINDING_IMAGE_HIJACK, STATUS_REPAIRED, STATUS_WOULD_REPAIR},
        {LINE_HIJACK_NOT_REPAIRED, FINDING_IMAGE_HIJACK, STATUS_NOT_REPAIRED, STATUS_CANNOT_REPAIR},
        {LINE_RELEASE_REPAIRED, FINDING_HELD_OPEN, STATUS_REPAIRED, STATUS_WOULD_REPAIR},
        {LINE_RELEASE_NOT_REPAIRED, FINDING_HELD_OPEN, STATUS_NOT_REPAIRED, STATUS_CANNOT_REPAIR},
        {LINE_MAIN_DAMAGED, FINDING_MAIN_EXE_DAMAGED, STATUS_NOT_REPAIRED, STATUS_CANNOT_REPAIR},
        {LINE_EXE_INFECTED, FINDING_EXE_INFECTED, STATUS_NOT_REPAIRED, STATUS_CANNOT_REPAIR},
        {LINE_MAIN_INFECTED, FINDING_MAIN_EXE_INFECTED, STATUS_NOT_REPAIRED, STATUS_CANNOT_REPAIR},
    };
    for (const auto &c : cases) {
        for (RunMode mode : {MODE_REPAIR, MODE_SCAN}) {
            RunReport report;
            report.nMode = mode;
            ReportRecord record(report, FakeLineText);
            record.AppendProblem(c.line);
            record.SetOutcome(OUTCOME_PROBLEMS);
            record.DisableSafeStart();
            ASSERT_EQ(report.findings.size(), 1u);
            const Finding &f = report.findings[0];
            EXPECT_EQ(f.nCode, c.code) << c.line;
            EXPECT_EQ(f.nStatus, mode == MODE_SCAN ? c.scanStatus : c.repairStatus) << c.line;
            EXPECT_EQ(f.strLine, FakeLineText(c.line));
            EXPECT_EQ(report.nOutcome, OUTCOME_PROBLEMS);
        }
    }
}

// The release's one decision, as the report records it: the same line the window shows.
TEST(RecordReleaseResult, SaysWhetherTheFileIsFree)
{
    struct {
        const char *name;
        RunMode mode;
        bool walked;
        bool stillHeld;   // scanning: no holder was found whose handles a release would close
        FindingStatus status;
        ResultLine line;
    } cases[] = {
        {"released", MODE_REPAIR, true, false, STATUS_REPAIRED, LINE_RELEASE_REPAIRED},
        {"walked, still held", MODE_REPAIR, true, true, STATUS_NOT_REPAIRED, LINE_RELEASE_NOT_REPAIRED},
        {"walk failed", MODE_REPAIR, false, true, STATUS_NOT_REPAIRED, LINE_RELEASE_NOT_REPAIRED},
        {"walk failed, freed meanwhile", MODE_REPAIR, false, false, STATUS_NOT_REPAIRED,
         LINE_RELEASE_NOT_REPAIRED},
        {"scan: holders found", MODE_SCAN, true, false, STATUS_WOULD_REPAIR, LINE_RELEASE_REPAIRED},
        {"scan: no holder found", MODE_SCAN, true, true, STATUS_CANNOT_REPAIR, LINE_RELEASE_NOT_REPAIRED},
        {"scan: walk failed", MODE_SCAN, false, true, STATUS_CANNOT_REPAIR, LINE_RELEASE_NOT_REPAIRED},
    };
    for (const auto &c : cases) {
        RunReport report;
        report.nMode = c.mode;
        ReportRecord record(report, FakeLineText);
        RecordReleaseResult(c.walked, c.stillHeld, record);
        ASSERT_EQ(report.findings.size(), 1u) << c.name;
        const Finding &f = report.findings[0];
        EXPECT_EQ(f.nCode, FINDING_HELD_OPEN) << c.name;
        EXPECT_EQ(f.nStatus, c.status) << c.name;
        EXPECT_EQ(f.strLine, FakeLineText(c.line)) << c.name;
        EXPECT_EQ(report.nOutcome, OUTCOME_PROBLEMS) << c.name;
    }
}

TEST(CompleteReport, NamesWhyTheProductMustBeReinstalled)
{
    for (bool located : {false, true}) {
        for (RunMode mode : {MODE_REPAIR, MODE_SCAN}) {
            RunReport report;
            report.nMode = mode;
            report.bLocated = located;
            report.nOutcome = OUTCOME_REINSTALL;
            CompleteReport(report, "reinstall text");
            ASSERT_EQ(report.findings.size(), 1u);
            EXPECT_EQ(report.findings[0].nCode, located ? FINDING_PRODUCT_DAMAGED : FINDING_PRODUCT_NOT_FOUND);
            EXPECT_EQ(report.findings[0].nStatus, mode == MODE_SCAN ? STATUS_CANNOT_REPAIR : STATUS_NOT_REPAIRED);
            EXPECT_EQ(report.findings[0].strLine, "reinstall text");
            EXPECT_EQ(report.nExitCode, EXIT_REINSTALL);
        }
    }
    RunReport clean;
    CompleteReport(clean, "reinstall text");
    EXPECT_TRUE(clean.findings.empty());
    EXPECT_EQ(clean.nExitCode, EXIT_NOTHING_FOUND);
}

// ---------------------------------------------------------------------------------------
// The JSON report

RunReport SampleReport()
{
    RunReport r;
    r.nMode = MODE_REPAIR;
    r.bFixHosts = true;
    r.strVersion = "1.0.1.201";
    r.strTimeUtc = "2024-05-06T07:08:09Z";
    r.strComputer = "PC-07";
    r.bHijackPresent = true;
    r.bHijackHasSubkeys = false;
    r.bLocated = true;
    r.strInstallDir = u8"C:\\程序\\Halvex";
    r.strInstallKey = "HKEY_LOCAL_MACHINE\\Software\\Orvane\\Halvex";
    r.bHeldOpen = true;
    r.holderProcessIds = {120, 4000};
    ExecutableState main;
    main.strName = "HalvexMain.exe";
    main.bPresent = true;
    main.bGenuine = true;
    main.nSize = 100001;
    ExecutableState exe;
    exe.strName = "Halvex.exe";
    r.executables = {main, exe};
    r.bHostsChecked = true;
    r.bHostsReadable = true;
    r.hostsRedirectLines = {"1.2.3.4 halvex.example"};
    r.nOutcome = OUTCOME_PROBLEMS;
    r.Add(FINDING_IMAGE_HIJACK, STATUS_REPAIRED, u8"  Halvex.exe 被映像劫持（已修复）\r\n");
    r.Add(FINDING_HELD_OPEN, STATUS_NOT_REPAIRED, "");
    r.Add(FINDING_HOSTS_REDIRECT, STATUS_REPAIRED, u8"成功修复域名劫持!");
    r.nExitCode = DecideExitCode(r);
    return r;
}

TEST(ReportJson, CarriesEveryField)
{
    const nlohmann::json j = nlohmann::json::parse(ReportJson(SampleReport()));
    EXPECT_EQ(j["tool"], "HalvexFix");
    EXPECT_EQ(j["version"], "1.0.1.201");
    EXPECT_EQ(j["time_utc"], "2024-05-06T07:08:09Z");
    EXPECT_EQ(j["computer"], "PC-07");
    EXPECT_EQ(j["mode"], "repair");
    EXPECT_EQ(j["fix_hosts"], true);
    EXPECT_EQ(j["install_dir"], u8"C:\\程序\\Halvex");
    EXPECT_EQ(j["install_key"], "HKEY_LOCAL_MACHINE\\Software\\Orvane\\Halvex");
    const nlohmann::json &checks = j["checks"];
    EXPECT_EQ(checks["image_hijack"], nlohmann::json({{"present", true}, {"has_subkeys", false}}));
    EXPECT_EQ(checks["held_open"], nlohmann::json({{"held", true}, {"process_ids", {120, 4000}}}));
    ASSERT_EQ(checks["executables"].size(), 2u);
    EXPECT_EQ(checks["executables"][0],
              nlohmann::json({{"name", "HalvexMain.exe"}, {"present", true}, {"genuine", true}, {"size", 100001}}));
    EXPECT_EQ(checks["executables"][1],
              nlohmann::json({{"name", "Halvex.exe"}, {"present", false}, {"genuine", false}, {"size", 0}}));
    EXPECT_EQ(checks["hosts"],
              nlohmann::json({{"readable", true}, {"redirect_lines", {"1.2.3.4 halvex.example"}}}));
    ASSERT_EQ(j["findings"].size(), 3u);
    EXPECT_EQ(j["findings"][0], nlohmann::json({{"code", "image_hijack"},
                                                {"status", "repaired"},
                                                {"line", u8"  Halvex.exe 被映像劫持（已修复）\r\n"},
                                                {"text", u8"Halvex.exe 被映像劫持（已修复）"}}));
    EXPECT_EQ(j["findings"][1],
              nlohmann::json({{"code", "held_open"}, {"status", "not_repaired"}, {"line", nullptr}, {"text", nullptr}}));
    EXPECT_EQ(j["findings"][2]["text"], u8"成功修复域名劫持!");
    EXPECT_EQ(j["repaired"], nlohmann::json({"image_hijack", "hosts_redirect"}));
    EXPECT_EQ(j["outcome"], "problems");
    EXPECT_EQ(j["exit_code"], 2);
    EXPECT_EQ(j.size(), 13u);
}

// A hosts file that could not be read is a finding of its own, never "no redirection": the
// run cannot say the domain is not hijacked. The window shows nothing for it.
TEST(ReportJson, AnUnreadableHostsFileIsAFinding)
{
    for (RunMode mode : {MODE_REPAIR, MODE_SCAN}) {
        RunReport r;
        r.nMode = mode;
        r.bFixHosts = mode == MODE_REPAIR;
        r.bHostsChecked = true;
        r.bHostsReadable = false;
        r.Add(FINDING_HOSTS_UNREADABLE, r.StatusFor(false), "");
        CompleteReport(r, "text");
        EXPECT_EQ(r.nExitCode, EXIT_PROBLEMS_REMAIN);
        const nlohmann::json j = nlohmann::json::parse(ReportJson(r));
        EXPECT_EQ(j["checks"]["hosts"], nlohmann::json({{"readable", false}, {"redirect_lines", nlohmann::json::array()}}));
        EXPECT_EQ(j["findings"], nlohmann::json::array({nlohmann::json(
                                     {{"code", "hosts_unreadable"},
                                      {"status", mode == MODE_SCAN ? "cannot_repair" : "not_repaired"},
                                      {"line", nullptr},
                                      {"text", nullptr}})}));
        EXPECT_NE(ReportSummary(r).find(u8"  hosts 文件无法读取，未能检查域名劫持\r\n"), std::string::npos)
            << ReportSummary(r);
    }
}

TEST(ReportJson, KeysComeInAReadableOrder)
{
    const std::string text = ReportJson(SampleReport());
    size_t last = 0;
    for (const char *key : {"\"tool\"", "\"version\"", "\"time_utc\"", "\"computer\"", "\"mode\"", "\"fix_hosts\"",
                            "\"install_dir\"", "\"checks\"", "\"findings\"", "\"repaired\"", "\"outcome\"",
                            "\"exit_code\""}) {
        const size_t at = text.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key;
        last = at;
    }
}

TEST(ReportJson, UnlocatedScanAndARunThatDidNotHappen)
{
    RunReport scan;
    scan.nMode = MODE_SCAN;
    scan.nOutcome = OUTCOME_REINSTALL;
    CompleteReport(scan, "text");
    nlohmann::json j = nlohmann::json::parse(ReportJson(scan));
    EXPECT_EQ(j["mode"], "scan");
    EXPECT_TRUE(j["install_dir"].is_null());
    EXPECT_TRUE(j["install_key"].is_null());
    EXPECT_TRUE(j["checks"]["hosts"].is_null());
    EXPECT_EQ(j["checks"]["executables"], nlohmann::json::array());
    EXPECT_EQ(j["findings"][0]["code"], "product_not_found");
    EXPECT_EQ(j["findings"][0]["status"], "cannot_repair");
    EXPECT_EQ(j["outcome"], "reinstall");
    EXPECT_EQ(j["exit_code"], 3);

    RunReport busy;
    busy.bAnotherRunActive = true;
    CompleteReport(busy, "text");
    j = nlohmann::json::parse(ReportJson(busy));
    EXPECT_TRUE(j["checks"].is_null());
    EXPECT_EQ(j["findings"], nlohmann::json::array());
    EXPECT_EQ(j["outcome"], "not_run");
    EXPECT_EQ(j["exit_code"], 5);
}

TEST(ReportJson, BadBytesAreReplacedNotThrown)
{
    RunReport r;
    r.bLocated = true;
    r.strInstallDir = "C:\\\xff\xfe\\x";   // a path that did not convert cleanly
    nlohmann::json j;
    ASSERT_NO_THROW(j = nlohmann::json::parse(ReportJson(r)));
    EXPECT_EQ(j["install_dir"], u8"C:\\\ufffd\ufffd\\x");
}

// ---------------------------------------------------------------------------------------
// The console summary

TEST(ReportSummary, ShowsTheLinesAndTheExitCode)
{
    const std::string text = ReportSummary(SampleReport());
    EXPECT_EQ(text.find(u8"HalvexFix 1.0.1.201 修复（含 hosts）\r\n"), 0u) << text;
    EXPECT_NE(text.find(u8"\r\n  安装目录：C:\\程序\\Halvex\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(u8"\r\n  Halvex.exe 被映像劫持（已修复）\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(u8"\r\n  Halvex.exe 仍被占用，未能解除\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(u8"\r\n  成功修复域名劫持!\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(u8"结果：仍有问题未能修复（退出码 2）\r\n"), std::string::npos) << text;
    // Every line ends in CR LF, no bare LF.
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n')
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << i;
}

TEST(ReportSummary, AScanSaysWhatItFoundAndChangesNothing)
{
    RunReport r = SampleReport();
    r.nMode = MODE_SCAN;
    r.bFixHosts = false;
    r.bHijackHasSubkeys = true;
    r.findings.clear();
    r.Add(FINDING_IMAGE_HIJACK, STATUS_CANNOT_REPAIR, u8"  Halvex.exe 被映像劫持（未修复）\r\n");
    r.nExitCode = DecideExitCode(r);
    const std::string text = ReportSummary(r);
    for (const char *part : {u8" 扫描（未修改本机）\r\n", u8"  映像劫持：存在（有子项）\r\n",
                             u8"（HKEY_LOCAL_MACHINE\\Software\\Orvane\\Halvex）\r\n",
                             u8"  Halvex.exe 被占用，进程 120, 4000\r\n", u8"  HalvexMain.exe：签名有效，100001 字节\r\n",
                             u8"  Halvex.exe：不存在\r\n", u8"  hosts：1 行劫持\r\n",
                             u8"修复时将显示：\r\n  Halvex.exe 被映像劫持（未修复）\r\n",
                             u8"结果：发现问题，本工具无法修复（退出码 2）\r\n"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

} // namespace
