// What an unattended run found and did, and the exit code that follows from it. Plain C++;
// every text is UTF-8 (the Win32 side converts the tool's GBK texts and the system's ANSI
// strings before they get here).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/RepairWorkflow.h"

// Exit codes of the command line, documented in the usage text and the README.
enum {
    EXIT_NOTHING_FOUND = 0,
    EXIT_ALL_REPAIRED = 1,      // in scan mode: found, the tool would repair all of it
    EXIT_PROBLEMS_REMAIN = 2,   // in scan mode: found, the tool cannot repair some of it
    EXIT_REINSTALL = 3,         // the product is missing or damaged
    EXIT_BAD_COMMAND_LINE = 4,  // nothing was done
    EXIT_ALREADY_RUNNING = 5,   // another run of the tool holds the machine
    EXIT_REPORT_NOT_WRITTEN = 6, // the run happened, but its report could not be written
};

enum FindingStatus {
    STATUS_REPAIRED,
    STATUS_NOT_REPAIRED,
    STATUS_WOULD_REPAIR,    // scan mode
    STATUS_CANNOT_REPAIR,   // scan mode
    STATUS_NOTICE,          // worth knowing, not a problem of the product
};

// Stable machine codes of the findings.
enum FindingCode {
    FINDING_IMAGE_HIJACK,          // the hijack key of Halvex.exe
    FINDING_HELD_OPEN,             // Halvex.exe held open by another process
    FINDING_MAIN_EXE_DAMAGED,      // after a release: genuine HalvexMain.exe too small
    FINDING_EXE_INFECTED,          // after a release: neither executable genuine
    FINDING_MAIN_EXE_INFECTED,     // after a release: Halvex.exe genuine but too small
    FINDING_INSTALL_PATH_UNREADABLE, // an install key without a readable "Install" value
    FINDING_PRODUCT_NOT_FOUND,     // no install directory: reinstall
    FINDING_PRODUCT_DAMAGED,       // executables not genuine or too small: reinstall
    FINDING_HOSTS_REDIRECT,        // hosts lines redirecting the web domain
    FINDING_HOSTS_UNREADABLE,      // the hosts file could not be read: redirections unknown
    FINDING_RUN_LOCK_FOREIGN,      // the tool's run lock name is held by a foreign object
};

const char *FindingCodeName(FindingCode code);
const char *FindingStatusName(FindingStatus status);

struct Finding {
    FindingCode nCode;
    FindingStatus nStatus;
    std::string strLine;   // what the tool shows for it, exactly; empty when it shows nothing
};

enum RunMode { MODE_REPAIR, MODE_SCAN };

struct ExecutableState {
    std::string strName;
    bool bPresent = false;
    bool bGenuine = false;
    std::uint32_t nSize = 0;
};

struct RunReport {
    RunMode nMode = MODE_REPAIR;
    bool bFixHosts = false;
    std::string strVersion;
    std::string strTimeUtc;
    std::string strComputer;

    // Hijack key as found before any repair.
    bool bHijackPresent = false;
    bool bHijackHasSubkeys = false;

    bool bLocated = false;
    std::string strInstallDir;
    std::string strInstallKey;   // the registry key that gave it

    bool bHeldOpen = false;                        // at start-up
    std::vector<std::uint32_t> holderProcessIds;   // processes with a matching handle

    std::vector<ExecutableState> executables;      // when located

    bool bHostsChecked = false;
    bool bHostsReadable = false;
    std::vector<std::string> hostsRedirectLines;

    std::vector<Finding> findings;
    int nOutcome = OUTCOME_CLEAN;
    bool bAnotherRunActive = false;   // nothing was done: exit 5
    int nExitCode = EXIT_NOTHING_FOUND;

    void Add(FindingCode code, FindingStatus status, const std::string &line);
    Finding *Find(FindingCode code);
    // The status of a finding that was repaired (scanning: would be) or not (cannot be).
    FindingStatus StatusFor(bool repaired) const;
};

// The exit code of a finished run: reinstall first, then anything left unrepaired, then
// anything repaired (or, scanning, repairable). Notices count for nothing.
int DecideExitCode(const RunReport &report);

// Ends a run's report: a reinstall outcome becomes a finding of its own (the product not
// found, or its files damaged), with the text the reinstall panel shows; then the exit code.
void CompleteReport(RunReport &report, const std::string &reinstallLine);

// Findings of the workflow's result lines go into the report. The outcome is kept; the
// safe-start button does not exist here, so disabling it does nothing.
class ReportRecord : public WorkflowRecord {
public:
    // lineText gives the UTF-8 text of a result line exactly as the problem list shows it.
    ReportRecord(RunReport &report, std::string (*lineText)(ResultLine));
    void AppendProblem(ResultLine line) override;
    void SetOutcome(int outcome) override;
    void DisableSafeStart() override {}

private:
    RunReport &m_report;
    std::string (*m_pfnLineText)(ResultLine);
};
