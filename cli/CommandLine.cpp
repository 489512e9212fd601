#include "cli/CommandLine.h"

#include <cstddef>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(const std::string &a, const char *b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (LowerAscii(a[i]) != b[i])
            return false;
    return i == a.size() && !b[i];
}

enum Switch { SW_NONE, SW_HELP, SW_QUIET, SW_SCAN, SW_FIXHOSTS, SW_REPORT };

// The switch an argument names, and for "/report:FILE" the part after the colon.
Switch Classify(const std::string &arg, std::string *value, bool *hasValue)
{
    *hasValue = false;
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-'))
        return SW_NONE;
    std::string name = arg.substr(1);
    const size_t colon = name.find(':');
    if (colon != std::string::npos) {
        if (!EqualsNoCase(name.substr(0, colon), "report"))
            return SW_NONE;
        *value = name.substr(colon + 1);
        *hasValue = true;
        return SW_REPORT;
    }
    static const struct {
        const char *name;
        Switch sw;
    } names[] = {
        {"?", SW_HELP},     {"h", SW_HELP},       {"help", SW_HELP},         {"q", SW_QUIET},
        {"quiet", SW_QUIET}, {"scan", SW_SCAN}, {"fixhosts", SW_FIXHOSTS}, {"report", SW_REPORT},
    };
    for (const auto &n : names)
        if (EqualsNoCase(name, n.name))
            return n.sw;
    return SW_NONE;
}

void Fail(CommandLine &cmd, CommandLineError error, const std::string &arg)
{
    if (cmd.nError != CMDLINE_OK)
        return;
    cmd.nError = error;
    cmd.strBadArgument = arg;
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string &strCommandLine, bool bProgramName)
{
    std::vector<std::string> args;
    const char *p = strCommandLine.c_str();
    const char *end = p + strCommandLine.size();

    if (bProgramName) {
        // The program's path: quotes toggle, backslashes are plain (paths end in them).
        bool inQuotes = false;
        for (; p < end; ++p) {
            if (*p == '"')
                inQuotes = !inQuotes;
            else if (!inQuotes && IsBlank(*p))
                break;
        }
    }

    for (;;) {
        while (p < end && IsBlank(*p))
            ++p;
        if (p >= end)
            break;
        std::string arg;
        bool inQuotes = false;
        for (;;) {
            size_t slashes = 0;
            while (p < end && *p == '\\') {
                ++p;
                ++slashes;
            }
            bool copy = true;
            if (p < end && *p == '"') {
                if (slashes % 2 == 0) {
                    if (inQuotes && p + 1 < end && p[1] == '"') {
                        ++p;   // "" inside quotes: one literal quote, still quoted
                    } else {
                        copy = false;
                        inQuotes = !inQuotes;
                    }
                }
                slashes /= 2;
            }
            arg.append(slashes, '\\');
            if (p >= end || (!inQuotes && IsBlank(*p)))
                break;
            if (copy)
                arg += *p;
            ++p;
        }
        args.push_back(arg);
    }
    return args;
}

CommandLine ParseArguments(const std::vector<std::string> &args)
{
    CommandLine cmd;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        std::string value;
        bool hasValue = false;
        switch (Classify(arg, &value, &hasValue)) {
        case SW_HELP:
            cmd.bHelp = true;
            break;
        case SW_QUIET:
            cmd.bQuiet = true;
            break;
        case SW_SCAN:
            cmd.bScan = true;
            break;
        case SW_FIXHOSTS:
            cmd.bFixHosts = true;
            break;
        case SW_REPORT:
            if (cmd.bReport) {
                Fail(cmd, CMDLINE_REPEATED_REPORT, arg);
                break;
            }
            if (!hasValue && i + 1 < args.size()) {
                // The next argument is the file, unless it is one of the switches: then
                // the file was left out.
                std::string ignored;
                bool ignoredHasValue;
                if (Classify(args[i + 1], &ignored, &ignoredHasValue) == SW_NONE) {
                    value = args[++i];
                    hasValue = true;
                }
            }
            if (!hasValue || value.empty()) {
                Fail(cmd, CMDLINE_MISSING_REPORT, arg);
                break;
            }
            cmd.bReport = true;
            cmd.strReport = value;
            break;
        case SW_NONE:
            Fail(cmd, CMDLINE_UNKNOWN_ARGUMENT, arg);
            break;
        }
    }
    if (!cmd.bQuiet) {
        if (cmd.bScan)
            Fail(cmd, CMDLINE_NEEDS_QUIET, "/scan");
        else if (cmd.bFixHosts)
            Fail(cmd, CMDLINE_NEEDS_QUIET, "/fixhosts");
        else if (cmd.bReport)
            Fail(cmd, CMDLINE_NEEDS_QUIET, "/report");
    }
    if (cmd.bScan && cmd.bFixHosts)
        Fail(cmd, CMDLINE_SCAN_AND_FIXHOSTS, "/fixhosts");
    return cmd;
}

CommandLine ParseCommandLine(const std::string &strCommandLine)
{
    return ParseArguments(SplitCommandLine(strCommandLine, true));
}

const char *UsageText()
{
    return u8"Halvex 修复工具 (HalvexFix) 用法：\r\n"
           u8"  HalvexFix.exe                  打开修复窗口（与双击启动相同）\r\n"
           u8"  HalvexFix.exe /quiet [/scan | /fixhosts] [/report 文件]\r\n"
           u8"  HalvexFix.exe /?\r\n"
           u8"\r\n"
           u8"  /quiet, /q      无人值守运行：不显示任何窗口或对话框，执行与修复窗口相同的\r\n"
           u8"                  启动检查和修复（映像劫持、安装路径、异常占用、文件检查）\r\n"
           u8"  /fixhosts       同时修复 hosts 文件中的域名劫持（与“下载Halvex”按钮相同，\r\n"
           u8"                  但不打开网页）\r\n"
           u8"  /scan           只检查，不对本机做任何修改，报告修复时会处理的问题\r\n"
           u8"  /report 文件    把结果写成 UTF-8 JSON 报告，例如 /report \"D:\\报告\\pc1.json\"\r\n"
           u8"                  （所在文件夹必须存在）\r\n"
           u8"  /?, /h, /help   显示本说明\r\n"
           u8"\r\n"
           u8"  开关不区分大小写，可用 / 或 - 开头；/scan、/fixhosts 和 /report 需要 /quiet。\r\n"
           u8"\r\n"
           u8"退出码：\r\n"
           u8"  0  未发现问题\r\n"
           u8"  1  发现问题并已全部修复（/scan：发现问题，可以修复）\r\n"
           u8"  2  仍有问题未能修复（/scan：发现问题，本工具无法修复）\r\n"
           u8"  3  Halvex 未安装或文件已损坏，需要重新安装\r\n"
           u8"  4  命令行有误，未做任何操作\r\n"
           u8"  5  另一个修复工具正在运行\r\n"
           u8"  6  检查和修复已完成，但报告文件未能写入\r\n";
}

std::string CommandLineErrorText(const CommandLine &cmd)
{
    switch (cmd.nError) {
    case CMDLINE_OK:
        break;
    case CMDLINE_UNKNOWN_ARGUMENT:
        return u8"未知参数：" + cmd.strBadArgument + "\r\n";
    case CMDLINE_MISSING_REPORT:
        return cmd.strBadArgument + u8" 后面需要报告文件名\r\n";
    case CMDLINE_REPEATED_REPORT:
        return u8"/report 只能指定一次\r\n";
    case CMDLINE_NEEDS_QUIET:
        return cmd.strBadArgument + u8" 需要与 /quiet 一起使用\r\n";
    case CMDLINE_SCAN_AND_FIXHOSTS:
        return u8"/scan 不修改本机，不能与 /fixhosts 一起使用\r\n";
    }
    return std::string();
}
