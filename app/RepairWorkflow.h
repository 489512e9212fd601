// The repair workflow's decisions: which checks run, in which order, which finding becomes
// which result line, which outcome results and how it is presented. Plain C++: the checks
// and the places findings go are reached through the two interfaces below.
#pragma once

#include <cstdint>

#include "repair/InstallDir.h"

enum {
    OUTCOME_CLEAN = 0,     // no problem recorded
    OUTCOME_PROBLEMS = 1,  // at least one line was recorded
    OUTCOME_REINSTALL = 2, // at start-up: product not found, or not genuine, or too small
};

// First visible panel, this far below the client top (under the banner).
const int PANEL_TOP = 80;

// Executables smaller than this count as damaged at start-up and at the re-check.
const std::uint32_t MIN_SOUND_SIZE = 100000;

// The only lines the tool ever records.
enum ResultLine {
    LINE_HIJACK_REPAIRED,
    LINE_HIJACK_NOT_REPAIRED,
    LINE_RELEASE_REPAIRED,
    LINE_RELEASE_NOT_REPAIRED,
    LINE_MAIN_DAMAGED,
    LINE_EXE_INFECTED,
    LINE_MAIN_INFECTED,
};

// What the workflow asks of the product checks, with their fixed result meanings.
class ProductChecks {
public:
    virtual ~ProductChecks() = default;
    virtual int RemoveImageHijack() = 0;                 // 0 none, 1 deleted, 2 not deleted
    virtual bool LocateProduct() = 0;
    virtual int TestFileLock(const char *fileName) = 0;  // 0 held open, 1 free, 2 missing
    virtual bool CheckProductMainExe() = 0;
    virtual bool CheckProductExe() = 0;
    virtual std::uint32_t GetProductFileSize(const char *fileName) = 0;
};

// Where findings go: the problem text, the outcome and the safe-start button.
class WorkflowRecord {
public:
    virtual ~WorkflowRecord() = default;
    virtual void AppendProblem(ResultLine line) = 0;
    virtual void SetOutcome(int outcome) = 0;
    virtual void DisableSafeStart() = 0;
};

enum StartupNext {
    STARTUP_SHOW_OUTCOME, // present the outcome now
    STARTUP_RELEASE,      // the executable is held open: release it on the worker first
};

// The start-up sequence: hijack, location, lock test, executables.
StartupNext RunStartupChecks(ProductChecks &checks, WorkflowRecord &record);

// The release's line once the handle walk has ended, for the window and the unattended run
// alike. walked: the handle table was walked; stillHeld: the lock test, made again after
// the walk, still finds the file held open. Only a walk that left the file free repairs it;
// a walk that could not run left the file as it was.
ResultLine ReleaseResultLine(bool walked, bool stillHeld);
void RecordReleaseResult(bool walked, bool stillHeld, WorkflowRecord &record);

// After a release: records at most one line, never switches to reinstall.
void RecheckProductFiles(ProductChecks &checks, WorkflowRecord &record);

// Which executable the safe-start command copies and starts, or null for none.
const char *ChooseSafeStartExe(ProductChecks &checks);

struct PanelPlacement {
    bool show;
    int x, y, cx, cy;
};

// How an outcome is presented. The dialog applies it in a fixed order: hide the release
// panel, place and show the problem panel (with the text) then the advice panel, the
// reinstall panel, then the buttons.
struct OutcomeLayout {
    PanelPlacement advice;
    PanelPlacement problem;
    PanelPlacement reinstall;
    bool setProblemText;
    bool showButtons;            // show download and safe start
    bool moveDownloadToSafeStart; // hide safe start, download takes its place
};

struct PanelHeights {
    int advice, problem, reinstall;
};

OutcomeLayout PlanOutcome(int outcome, int clientLeft, int clientTop, int clientWidth,
                          PanelHeights heights);
