#include "app/RepairWorkflow.h"

StartupNext RunStartupChecks(ProductChecks &checks, WorkflowRecord &record)
{
    // The hijack goes first: it is repaired even when the product cannot be found.
    switch (checks.RemoveImageHijack()) {
    case 1:
        record.AppendProblem(LINE_HIJACK_REPAIRED);
        record.SetOutcome(OUTCOME_PROBLEMS);
        break;
    case 2:
        record.AppendProblem(LINE_HIJACK_NOT_REPAIRED);
        record.SetOutcome(OUTCOME_PROBLEMS);
        break;
    default:
        break;
    }

    if (!checks.LocateProduct()) {
        record.SetOutcome(OUTCOME_REINSTALL);
        return STARTUP_SHOW_OUTCOME;
    }

    if (checks.TestFileLock(PRODUCT_EXE) == 0)
        return STARTUP_RELEASE;

    if (checks.CheckProductMainExe()) {
        // A genuine main executable settles it; Halvex.exe is not examined.
        if (checks.GetProductFileSize(PRODUCT_MAIN_EXE) < MIN_SOUND_SIZE)
            record.SetOutcome(OUTCOME_REINSTALL);
    } else if (!checks.CheckProductExe() ||
               checks.GetProductFileSize(PRODUCT_EXE) < MIN_SOUND_SIZE) {
        record.SetOutcome(OUTCOME_REINSTALL);
    }
    return STARTUP_SHOW_OUTCOME;
}

ResultLine ReleaseResultLine(bool walked, bool stillHeld)
{
    return walked && !stillHeld ? LINE_RELEASE_REPAIRED : LINE_RELEASE_NOT_REPAIRED;
}

void RecordReleaseResult(bool walked, bool stillHeld, WorkflowRecord &record)
{
    record.AppendProblem(ReleaseResultLine(walked, stillHeld));
    record.SetOutcome(OUTCOME_PROBLEMS);
}

void RecheckProductFiles(ProductChecks &checks, WorkflowRecord &record)
{
    bool found = false;
    ResultLine line = LINE_MAIN_DAMAGED;
    if (checks.CheckProductMainExe()) {
        if (checks.GetProductFileSize(PRODUCT_MAIN_EXE) < MIN_SOUND_SIZE) {
            line = LINE_MAIN_DAMAGED;
            found = true;
        }
    } else if (!checks.CheckProductExe()) {
        line = LINE_EXE_INFECTED;
        found = true;
    } else if (checks.GetProductFileSize(PRODUCT_EXE) < MIN_SOUND_SIZE) {
        // Names the main executable although Halvex.exe is the file measured.
        line = LINE_MAIN_INFECTED;
        found = true;
    }
    if (!found)
        return;
    record.AppendProblem(line);
    record.DisableSafeStart();
    record.SetOutcome(OUTCOME_PROBLEMS);
}

const char *ChooseSafeStartExe(ProductChecks &checks)
{
    const std::uint32_t exeSize = checks.GetProductFileSize(PRODUCT_EXE);
    const std::uint32_t mainSize = checks.GetProductFileSize(PRODUCT_MAIN_EXE);
    // Only sizes above the limit are started, so a file of exactly the limit passes the
    // start-up check but is not started.
    if (checks.CheckProductMainExe())
        return mainSize > MIN_SOUND_SIZE ? PRODUCT_MAIN_EXE : nullptr;
    if (checks.CheckProductExe() && exeSize > MIN_SOUND_SIZE)
        return PRODUCT_EXE;
    return nullptr;
}

OutcomeLayout PlanOutcome(int outcome, int clientLeft, int clientTop, int clientWidth,
                          PanelHeights heights)
{
    OutcomeLayout layout = {};
    const int x0 = clientLeft;
    const int y0 = clientTop + PANEL_TOP;
    switch (outcome) {
    case OUTCOME_CLEAN:
        layout.advice = {true, x0, y0, clientWidth, heights.advice};
        layout.showButtons = true;
        break;
    case OUTCOME_PROBLEMS:
        layout.problem = {true, x0, y0, clientWidth, heights.problem};
        layout.advice = {true, x0, y0 + heights.problem, clientWidth, heights.advice};
        layout.setProblemText = true;
        layout.showButtons = true;
        break;
    case OUTCOME_REINSTALL:
        layout.reinstall = {true, x0, y0, clientWidth, heights.reinstall};
        layout.moveDownloadToSafeStart = true;
        break;
    default:
        break;
    }
    return layout;
}
