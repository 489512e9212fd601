#include "app/ResultLines.h"

#include "BuildConfig.h"

const char HOSTS_REPAIRED[] = "成功修复" HALVEX_WEB_DOMAIN "域名劫持!";
const char HOSTS_NOT_REPAIRED[] = HALVEX_WEB_DOMAIN "被域名劫持, 修复不成功!";

const char *ResultLineText(ResultLine line)
{
    switch (line) {
    case LINE_HIJACK_REPAIRED:
        return "  Halvex.exe 被映像劫持（已修复）\r\n";
    case LINE_HIJACK_NOT_REPAIRED:
        return "  Halvex.exe 被映像劫持（未修复）\r\n";
    case LINE_RELEASE_REPAIRED:
        return "  Halvex.exe 被异常占用（已修复）\r\n";
    case LINE_RELEASE_NOT_REPAIRED:
        return "  Halvex.exe 被异常占用（未修复）\r\n";
    case LINE_MAIN_DAMAGED:
        return "  HalvexMain.exe 被病毒破坏（未修复）\r\n";
    case LINE_EXE_INFECTED:
        return "  Halvex.exe 被感染（未修复）\r\n";
    case LINE_MAIN_INFECTED:
        return "  HalvexMain.exe 被感染（未修复）\r\n";
    }
    return "";
}
