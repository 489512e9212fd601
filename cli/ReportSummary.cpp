#include "cli/ReportSummary.h"

namespace {

const char CRLF[] = "\r\n";

std::string Indented(const std::string &line)
{
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    if (s.compare(0, 2, "  ") != 0)
        s = "  " + s;
    return s + CRLF;
}

// 32 bits are enough, and spare the exe the 64-bit division routines.
std::string Number(unsigned long n)
{
    return std::to_string(n);
}

void AddScanFacts(const RunReport &r, std::string &out)
{
    out += u8"  映像劫持：";
    if (!r.bHijackPresent)
        out += u8"无";
    else
        out += r.bHijackHasSubkeys ? u8"存在（有子项）" : u8"存在";
    out += CRLF;
    if (r.bLocated) {
        out += u8"  安装目录：" + r.strInstallDir + u8"（" + r.strInstallKey + u8"）" + CRLF;
    } else {
        out += std::string(u8"  安装目录：未找到") + CRLF;
    }
    if (r.bHeldOpen) {
        out += u8"  Halvex.exe 被占用";
        if (!r.holderProcessIds.empty()) {
            out += u8"，进程 ";
            for (size_t i = 0; i < r.holderProcessIds.size(); ++i)
                out += (i ? ", " : "") + Number(r.holderProcessIds[i]);
        }
        out += CRLF;
    }
    for (const ExecutableState &exe : r.executables) {
        out += "  " + exe.strName + u8"：";
        if (!exe.bPresent)
            out += u8"不存在";
        else
            out += (exe.bGenuine ? u8"签名有效，" : u8"签名无效，") + Number(exe.nSize) + u8" 字节";
        out += CRLF;
    }
    if (r.bHostsChecked) {
        out += u8"  hosts：";
        if (!r.bHostsReadable)
            out += u8"无法读取";
        else if (r.hostsRedirectLines.empty())
            out += u8"无劫持";
        else
            out += Number(r.hostsRedirectLines.size()) + u8" 行劫持";
        out += CRLF;
    }
}

} // namespace

const char *ExitCodeText(int exitCode, RunMode mode)
{
    const bool scan = mode == MODE_SCAN;
    switch (exitCode) {
    case EXIT_NOTHING_FOUND:
        return u8"未发现问题";
    case EXIT_ALL_REPAIRED:
        return scan ? u8"发现问题，可以修复" : u8"发现问题并已全部修复";
    case EXIT_PROBLEMS_REMAIN:
        return scan ? u8"发现问题，本工具无法修复" : u8"仍有问题未能修复";
    case EXIT_REINSTALL:
        return u8"Halvex 未安装或文件已损坏，需要重新安装";
    case EXIT_BAD_COMMAND_LINE:
        return u8"命令行有误，未做任何操作";
    case EXIT_ALREADY_RUNNING:
        return u8"另一个修复工具正在运行，未做任何操作";
    case EXIT_REPORT_NOT_WRITTEN:
        return u8"检查和修复已完成，但报告未能写入";
    default:
        return "";
    }
}

std::string ReportSummary(const RunReport &r)
{
    std::string out = "HalvexFix " + r.strVersion;
    if (r.nMode == MODE_SCAN)
        out += u8" 扫描（未修改本机）";
    else
        out += r.bFixHosts ? u8" 修复（含 hosts）" : u8" 修复";
    out += CRLF;

    if (!r.bAnotherRunActive) {
        if (r.nMode == MODE_SCAN) {
            AddScanFacts(r, out);
            if (!r.findings.empty())
                out += std::string(u8"修复时将显示：") + CRLF;
        } else if (r.bLocated) {
            out += u8"  安装目录：" + r.strInstallDir + CRLF;
        }
        for (const Finding &f : r.findings) {
            if (!f.strLine.empty())
                out += Indented(f.strLine);
            // The release ran but the file is still held, or could not run at all.
            if (f.nCode == FINDING_HELD_OPEN &&
                (f.nStatus == STATUS_NOT_REPAIRED || f.nStatus == STATUS_CANNOT_REPAIR))
                out += Indented(u8"Halvex.exe 仍被占用，未能解除");
            if (f.nCode == FINDING_HOSTS_UNREADABLE)
                out += Indented(u8"hosts 文件无法读取，未能检查域名劫持");
        }
    }
    out += u8"结果：" + std::string(ExitCodeText(r.nExitCode, r.nMode)) + u8"（退出码 " +
           Number(static_cast<unsigned long>(r.nExitCode)) + u8"）" + CRLF;
    return out;
}
