#include "cli/RunReport.h"

const char *FindingCodeName(FindingCode code)
{
    switch (code) {
    case FINDING_IMAGE_HIJACK:
        return "image_hijack";
    case FINDING_HELD_OPEN:
        return "held_open";
    case FINDING_MAIN_EXE_DAMAGED:
        return "main_exe_damaged";
    case FINDING_EXE_INFECTED:
        return "exe_infected";
    case FINDING_MAIN_EXE_INFECTED:
        return "main_exe_infected";
    case FINDING_INSTALL_PATH_UNREADABLE:
        return "install_path_unreadable";
    case FINDING_PRODUCT_NOT_FOUND:
        return "product_not_found";
    case FINDING_PRODUCT_DAMAGED:
        return "product_damaged";
    case FINDING_HOSTS_REDIRECT:
        return "hosts_redirect";
    case FINDING_HOSTS_UNREADABLE:
        return "hosts_unreadable";
    case FINDING_RUN_LOCK_FOREIGN:
        return "run_lock_foreign";
    }
    return "unknown";
}

const char *FindingStatusName(FindingStatus status)
{
    switch (status) {
    case STATUS_REPAIRED:
        return "repaired";
    case STATUS_NOT_REPAIRED:
        return "not_repaired";
    case STATUS_WOULD_REPAIR:
        return "would_repair";
    case STATUS_CANNOT_REPAIR:
        return "cannot_repair";
    case STATUS_NOTICE:
        return "notice";
    }
    return "unknown";
}

void RunReport::Add(FindingCode code, FindingStatus status, const std::string &line)
{
    findings.push_back(Finding{code, status, line});
}

FindingStatus RunReport::StatusFor(bool repaired) const
{
    if (nMode == MODE_SCAN)
        return repaired ? STATUS_WOULD_REPAIR : STATUS_CANNOT_REPAIR;
    return repaired ? STATUS_REPAIRED : STATUS_NOT_REPAIRED;
}

Finding *RunReport::Find(FindingCode code)
{
    for (Finding &f : findings)
        if (f.nCode == code)
            return &f;
    return nullptr;
}

int DecideExitCode(const RunReport &report)
{
    if (report.bAnotherRunActive)
        return EXIT_ALREADY_RUNNING;
    if (report.nOutcome == OUTCOME_REINSTALL)
        return EXIT_REINSTALL;
    bool remain = false;
    bool repaired = false;
    for (const Finding &f : report.findings) {
        switch (f.nStatus) {
        case STATUS_NOT_REPAIRED:
        case STATUS_CANNOT_REPAIR:
            remain = true;
            break;
        case STATUS_REPAIRED:
        case STATUS_WOULD_REPAIR:
            repaired = true;
            break;
        case STATUS_NOTICE:
            break;
        }
    }
    if (remain)
        return EXIT_PROBLEMS_REMAIN;
    return repaired ? EXIT_ALL_REPAIRED : EXIT_NOTHING_FOUND;
}

void CompleteReport(RunReport &report, const std::string &reinstallLine)
{
    if (report.nOutcome == OUTCOME_REINSTALL) {
        report.Add(report.bLocated ? FINDING_PRODUCT_DAMAGED : FINDING_PRODUCT_NOT_FOUND, report.StatusFor(false),
                   reinstallLine);
    }
    report.nExitCode = DecideExitCode(report);
}

ReportRecord::ReportRecord(RunReport &report, std::string (*lineText)(ResultLine))
    : m_report(report), m_pfnLineText(lineText)
{
}

void ReportRecord::AppendProblem(ResultLine line)
{
    FindingCode code = FINDING_IMAGE_HIJACK;
    bool repaired = false;
    switch (line) {
    case LINE_HIJACK_REPAIRED:
        repaired = true;
        break;
    case LINE_HIJACK_NOT_REPAIRED:
        break;
    case LINE_RELEASE_REPAIRED:
        code = FINDING_HELD_OPEN;
        repaired = true;
        break;
    case LINE_RELEASE_NOT_REPAIRED:
        code = FINDING_HELD_OPEN;
        break;
    case LINE_MAIN_DAMAGED:
        code = FINDING_MAIN_EXE_DAMAGED;
        break;
    case LINE_EXE_INFECTED:
        code = FINDING_EXE_INFECTED;
        break;
    case LINE_MAIN_INFECTED:
        code = FINDING_MAIN_EXE_INFECTED;
        break;
    }
    m_report.Add(code, m_report.StatusFor(repaired), m_pfnLineText ? m_pfnLineText(line) : std::string());
}

void ReportRecord::SetOutcome(int outcome)
{
    m_report.nOutcome = outcome;
}
