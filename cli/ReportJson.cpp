#include "cli/ReportJson.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

// Keys stay in the order written. Every number of the report fits in 32 bits, which spares
// the exe the 64-bit division routines; it holds no fractional numbers, and with a float type
// that is not an IEEE double the library prints floats through snprintf, which the exe has
// anyway, instead of compiling in a float printer of its own (4 KiB).
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool, long, unsigned long,
                                  long double>;

const char *OutcomeName(const RunReport &report)
{
    if (report.bAnotherRunActive)
        return "not_run";
    switch (report.nOutcome) {
    case OUTCOME_CLEAN:
        return "clean";
    case OUTCOME_PROBLEMS:
        return "problems";
    case OUTCOME_REINSTALL:
        return "reinstall";
    default:
        return "unknown";
    }
}

Json TextOrNull(const std::string &s)
{
    return s.empty() ? Json(nullptr) : Json(s);
}

// The line without the list's indent and line end.
std::string Trimmed(const std::string &line)
{
    size_t begin = line.find_first_not_of(' ');
    size_t end = line.find_last_not_of("\r\n");
    if (begin == std::string::npos || end == std::string::npos || end < begin)
        return std::string();
    return line.substr(begin, end - begin + 1);
}

Json Checks(const RunReport &report)
{
    Json checks = Json::object();
    Json hijack = Json::object();
    hijack["present"] = report.bHijackPresent;
    hijack["has_subkeys"] = report.bHijackHasSubkeys;
    checks["image_hijack"] = std::move(hijack);
    Json holders = Json::array();
    for (std::uint32_t pid : report.holderProcessIds)
        holders.push_back(static_cast<unsigned long>(pid));
    Json held = Json::object();
    held["held"] = report.bHeldOpen;
    held["process_ids"] = std::move(holders);
    checks["held_open"] = std::move(held);
    Json exes = Json::array();
    for (const ExecutableState &exe : report.executables) {
        Json e = Json::object();
        e["name"] = exe.strName;
        e["present"] = exe.bPresent;
        e["genuine"] = exe.bGenuine;
        e["size"] = static_cast<unsigned long>(exe.nSize);
        exes.push_back(std::move(e));
    }
    checks["executables"] = std::move(exes);
    if (report.bHostsChecked) {
        Json lines = Json::array();
        for (const std::string &line : report.hostsRedirectLines)
            lines.push_back(line);
        Json hosts = Json::object();
        hosts["readable"] = report.bHostsReadable;
        hosts["redirect_lines"] = std::move(lines);
        checks["hosts"] = std::move(hosts);
    } else {
        checks["hosts"] = nullptr;
    }
    return checks;
}

} // namespace

std::string ReportJson(const RunReport &report)
{
    Json j = Json::object();
    j["tool"] = "HalvexFix";
    j["version"] = report.strVersion;
    j["time_utc"] = report.strTimeUtc;
    j["computer"] = report.strComputer;
    j["mode"] = report.nMode == MODE_SCAN ? "scan" : "repair";
    j["fix_hosts"] = report.bFixHosts;
    j["install_dir"] = report.bLocated ? Json(report.strInstallDir) : Json(nullptr);
    j["install_key"] = report.bLocated ? TextOrNull(report.strInstallKey) : Json(nullptr);
    j["checks"] = report.bAnotherRunActive ? Json(nullptr) : Checks(report);

    Json findings = Json::array();
    Json repaired = Json::array();
    for (const Finding &f : report.findings) {
        Json finding = Json::object();
        finding["code"] = FindingCodeName(f.nCode);
        finding["status"] = FindingStatusName(f.nStatus);
        finding["line"] = TextOrNull(f.strLine);
        finding["text"] = TextOrNull(Trimmed(f.strLine));
        findings.push_back(std::move(finding));
        if (f.nStatus == STATUS_REPAIRED)
            repaired.push_back(FindingCodeName(f.nCode));
    }
    j["findings"] = std::move(findings);
    j["repaired"] = std::move(repaired);
    j["outcome"] = OutcomeName(report);
    j["exit_code"] = report.nExitCode;
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
