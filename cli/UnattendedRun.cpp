#include "cli/UnattendedRun.h"

#include <cstdio>
#include <cstring>

#include "cli/ConsoleOutput.h"
#include "cli/QuietProductChecks.h"
#include "cli/ReportFile.h"
#include "cli/ReportJson.h"
#include "cli/ReportSummary.h"
#include "app/ResultLines.h"
#include "app/RunLock.h"
#include "cli/RunReport.h"
#include "fw/TextConversion.h"
#include "repair/HostsFile.h"
#include "repair/InstallDir.h"
#include "repair/LockedFileRelease.h"

namespace {

// The text the window's reinstall panel shows.
const char REINSTALL_TEXT[] = "未发现Halvex文件或Halvex文件被损坏，您可以点击“下载Halvex”重新安装Halvex。";

const char RUN_LOCK_FOREIGN_TEXT[] =
    u8"修复工具的运行锁被其他程序占用（可能是恶意程序），本次运行未加锁";

std::string LineText(ResultLine line)
{
    return ToUtf8(ResultLineText(line), TOOL_CODE_PAGE);
}

// Text for the user: to standard output or the console; without either, in one message box
// when asked for (never in a quiet run).
void Tell(const std::string &utf8, bool boxWithoutConsole, bool warning)
{
    CConsoleOutput out;
    if (out.Open()) {
        out.Write(utf8);
        return;
    }
    if (boxWithoutConsole)
        MessageBoxW(nullptr, MultiByteToWide(utf8, CP_UTF8).data(), L"HalvexFix",
                    MB_OK | (warning ? MB_ICONWARNING : MB_ICONINFORMATION));
}

std::string ToolVersion()
{
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16) /* RT_VERSION */);
    HGLOBAL loaded = res ? LoadResource(nullptr, res) : nullptr;
    const BYTE *data = loaded ? static_cast<const BYTE *>(LockResource(loaded)) : nullptr;
    const DWORD size = data ? SizeofResource(nullptr, res) : 0;
    // The fixed part follows the block's key, DWORD-aligned; its signature finds it.
    for (DWORD offset = 0; offset + sizeof(VS_FIXEDFILEINFO) <= size; offset += 4) {
        VS_FIXEDFILEINFO info;
        std::memcpy(&info, data + offset, sizeof(info));
        if (info.dwSignature != VS_FFI_SIGNATURE)
            continue;
        char text[48];
        std::snprintf(text, sizeof(text), "%u.%u.%u.%u", HIWORD(info.dwFileVersionMS),
                      LOWORD(info.dwFileVersionMS), HIWORD(info.dwFileVersionLS), LOWORD(info.dwFileVersionLS));
        return text;
    }
    return std::string();
}

std::string UtcNow()
{
    SYSTEMTIME t;
    GetSystemTime(&t);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return text;
}

std::string ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return std::string();
    return WideToMultiByte(name, static_cast<int>(size), CP_UTF8);
}

ExecutableState ExamineExecutable(const char *name, CSystemProductChecks &checks)
{
    ExecutableState exe;
    exe.strName = name;
    exe.bPresent = GetFileAttributesW(PathToWide(MakeProductPath(name).c_str()).data()) != INVALID_FILE_ATTRIBUTES;
    exe.bGenuine = std::strcmp(name, PRODUCT_MAIN_EXE) == 0 ? checks.CheckProductMainExe() : checks.CheckProductExe();
    exe.nSize = checks.GetProductFileSize(name);
    return exe;
}

// The start-up sequence of the window, run through the same decisions: the release runs
// here to its end, and scanning it only finds the handles it would close.
void RunChecks(RunReport &report)
{
    const bool scan = report.nMode == MODE_SCAN;
    CQuietProductChecks checks(report);
    ReportRecord record(report, LineText);
    if (RunStartupChecks(checks, record) == STARTUP_RELEASE) {
        std::vector<DWORD> owners;
        const bool walked = scan ? FindLockedFileHolders(PRODUCT_EXE, &owners)
                                 : ReleaseLockedFile(PRODUCT_EXE, nullptr, &owners);
        report.holderProcessIds.assign(owners.begin(), owners.end());
        // Scanning, the file would be freed only by closing handles the walk found.
        const bool stillHeld = scan ? !(walked && !owners.empty()) : ::TestFileLock(PRODUCT_EXE) == 0;
        RecordReleaseResult(walked, stillHeld, record);
        RecheckProductFiles(checks, record);
    }
    if (report.bLocated) {
        report.executables.push_back(ExamineExecutable(PRODUCT_MAIN_EXE, checks));
        report.executables.push_back(ExamineExecutable(PRODUCT_EXE, checks));
    }

    if (!scan && !report.bFixHosts)
        return;
    HostsRedirects hosts;
    const int hostsResult = scan ? FindHostsRedirects(&hosts) : RepairHostsFile(&hosts);
    report.bHostsChecked = true;
    report.bHostsReadable = hosts.bReadable;
    // Unread is not clean: a redirection may be hiding there. The window has no message for
    // it, so the finding has no line.
    if (!hosts.bReadable)
        report.Add(FINDING_HOSTS_UNREADABLE, report.StatusFor(false), std::string());
    for (const std::string &line : hosts.lines)
        report.hostsRedirectLines.push_back(ToUtf8(line, CP_ACP));
    if (hostsResult != 0)
        report.Add(FINDING_HOSTS_REDIRECT, report.StatusFor(hostsResult == 1),
                   ToUtf8(hostsResult == 1 ? HOSTS_REPAIRED : HOSTS_NOT_REPAIRED, TOOL_CODE_PAGE));
}

int RunQuiet(const CommandLine &cmd)
{
    RunReport report;
    report.nMode = cmd.bScan ? MODE_SCAN : MODE_REPAIR;
    report.bFixHosts = cmd.bFixHosts;
    report.strVersion = ToolVersion();
    report.strTimeUtc = UtcNow();
    report.strComputer = ComputerName();

    // Checked before anything on the machine is touched.
    CReportFile file;
    std::string error;
    if (cmd.bReport && !file.Prepare(cmd.strReport, &error)) {
        Tell(error, false, true);
        return EXIT_BAD_COMMAND_LINE;
    }

    CRunLock lock;
    switch (lock.Acquire()) {
    case RUNLOCK_BUSY:
        report.bAnotherRunActive = true;
        break;
    case RUNLOCK_FOREIGN:
        report.Add(FINDING_RUN_LOCK_FOREIGN, STATUS_NOTICE, RUN_LOCK_FOREIGN_TEXT);
        RunChecks(report);
        break;
    case RUNLOCK_ACQUIRED:
        RunChecks(report);
        break;
    }
    CompleteReport(report, ToUtf8(REINSTALL_TEXT, TOOL_CODE_PAGE));

    std::string summary = ReportSummary(report);
    int exitCode = report.nExitCode;
    if (cmd.bReport) {
        if (file.Commit(ReportJson(report), &error)) {
            summary += u8"报告：" + file.Path() + "\r\n";
        } else {
            // The caller reads the outcome from the report: a missing one is not a success.
            exitCode = EXIT_REPORT_NOT_WRITTEN;
            summary += error + ExitCodeText(exitCode, report.nMode) + u8"（退出码 " +
                       std::to_string(exitCode) + u8"）\r\n";
        }
    }
    Tell(summary, false, false);
    return exitCode;
}

} // namespace

int RunFromCommandLine(const CommandLine &cmd)
{
    if (cmd.nError != CMDLINE_OK) {
        Tell(CommandLineErrorText(cmd) + "\r\n" + UsageText(), !cmd.bQuiet, true);
        return EXIT_BAD_COMMAND_LINE;
    }
    if (cmd.bHelp) {
        Tell(UsageText(), !cmd.bQuiet, false);
        return EXIT_NOTHING_FOUND;
    }
    try {
        return RunQuiet(cmd);
    } catch (...) {
        // Out of memory part-way: what was done is unknown, so nothing counts as repaired.
        return EXIT_PROBLEMS_REMAIN;
    }
}
