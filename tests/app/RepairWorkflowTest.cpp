#include "app/RepairWorkflow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

// The machine as the checks see it. The fake also logs what it was asked, in order.
struct Machine {
    int hijack = 0;
    bool located = true;
    int lock = 1;
    bool mainGenuine = true;
    std::uint32_t mainSize = 200000;
    bool exeGenuine = true;
    std::uint32_t exeSize = 200000;
};

class FakeChecks : public ProductChecks {
public:
    explicit FakeChecks(const Machine &m) : m_machine(m) {}
    int RemoveImageHijack() override { return log("hijack"), m_machine.hijack; }
    bool LocateProduct() override { return log("locate"), m_machine.located; }
    int TestFileLock(const char *name) override { return log(std::string("lock ") + name), m_machine.lock; }
    bool CheckProductMainExe() override { return log("main genuine"), m_machine.mainGenuine; }
    bool CheckProductExe() override { return log("exe genuine"), m_machine.exeGenuine; }
    std::uint32_t GetProductFileSize(const char *name) override
    {
        log(std::string("size ") + name);
        return std::strcmp(name, PRODUCT_MAIN_EXE) == 0 ? m_machine.mainSize : m_machine.exeSize;
    }
    std::vector<std::string> calls;

private:
    void log(const std::string &call) { calls.push_back(call); }
    Machine m_machine;
};

class FakeRecord : public WorkflowRecord {
public:
    void AppendProblem(ResultLine line) override { lines.push_back(line); }
    void SetOutcome(int value) override { outcome = value; }
    void DisableSafeStart() override { safeStartDisabled = true; }
    std::vector<ResultLine> lines;
    int outcome = OUTCOME_CLEAN;
    bool safeStartDisabled = false;
};

// The whole start-up: checks, then (when held open) the worker's walk and the re-check.
struct StartupCase {
    const char *name;
    Machine atStart;
    bool walked;           // the release's handle walk completed
    Machine afterRelease;  // what the lock test and the re-check find after it
    StartupNext next;
    int outcome;
    std::vector<ResultLine> lines;
    bool safeStartDisabled;
};

void PrintTo(const StartupCase &c, std::ostream *os) { *os << c.name; }

class StartupTest : public ::testing::TestWithParam<StartupCase> {};

TEST_P(StartupTest, DecidesOutcomeAndLines)
{
    const StartupCase &c = GetParam();
    FakeChecks checks(c.atStart);
    FakeRecord record;
    const StartupNext next = RunStartupChecks(checks, record);
    EXPECT_EQ(next, c.next);
    if (next == STARTUP_RELEASE) {
        // The worker tests the lock again and records its finding, then the user-interface
        // thread re-checks.
        FakeChecks lockAgain(c.afterRelease);
        RecordReleaseResult(c.walked, lockAgain.TestFileLock(PRODUCT_EXE) == 0, record);
        FakeChecks recheck(c.afterRelease);
        RecheckProductFiles(recheck, record);
    }
    EXPECT_EQ(record.outcome, c.outcome);
    EXPECT_EQ(record.lines, c.lines);
    EXPECT_EQ(record.safeStartDisabled, c.safeStartDisabled);
}

Machine With(void (*edit)(Machine &))
{
    Machine m;
    edit(m);
    return m;
}

const Machine kSound;

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupTest,
    ::testing::Values(
        StartupCase{"Clean", kSound, false, kSound, STARTUP_SHOW_OUTCOME, OUTCOME_CLEAN, {}, false},
        StartupCase{"HijackRepaired", With([](Machine &m) { m.hijack = 1; }), false, kSound,
                    STARTUP_SHOW_OUTCOME, OUTCOME_PROBLEMS, {LINE_HIJACK_REPAIRED}, false},
        // The undeletable hijack shows alone, with both buttons usable.
        StartupCase{"HijackNotRepaired", With([](Machine &m) { m.hijack = 2; }), false, kSound,
                    STARTUP_SHOW_OUTCOME, OUTCOME_PROBLEMS, {LINE_HIJACK_NOT_REPAIRED}, false},
        // Reinstall wins over problems; the hijack line stays recorded but is not shown.
        StartupCase{"HijackDeletedProductMissing",
                    With([](Machine &m) { m.hijack = 1; m.located = false; }), false, kSound,
                    STARTUP_SHOW_OUTCOME, OUTCOME_REINSTALL, {LINE_HIJACK_REPAIRED}, false},
        StartupCase{"NotLocated", With([](Machine &m) { m.located = false; }), false, kSound,
                    STARTUP_SHOW_OUTCOME, OUTCOME_REINSTALL, {}, false},
        StartupCase{"MainExactlyLimitIsSound", With([](Machine &m) { m.mainSize = 100000; }),
                    false, kSound, STARTUP_SHOW_OUTCOME, OUTCOME_CLEAN, {}, false},
        StartupCase{"MainBelowLimit", With([](Machine &m) { m.mainSize = 99999; }), false, kSound,
                    STARTUP_SHOW_OUTCOME, OUTCOME_REINSTALL, {}, false},
        // A genuine main executable settles it: a missing Halvex.exe is not even looked at.
        StartupCase{"MainGenuineExeMissing",
                    With([](Machine &m) { m.exeGenuine = false; m.exeSize = 0; m.lock = 2; }),
                    false, kSound, STARTUP_SHOW_OUTCOME, OUTCOME_CLEAN, {}, false},
        StartupCase{"NeitherGenuine",
                    With([](Machine &m) { m.mainGenuine = false; m.exeGenuine = false; }), false,
                    kSound, STARTUP_SHOW_OUTCOME, OUTCOME_REINSTALL, {}, false},
        StartupCase{"OnlyExeGenuineAndLarge", With([](Machine &m) { m.mainGenuine = false; }),
                    false, kSound, STARTUP_SHOW_OUTCOME, OUTCOME_CLEAN, {}, false},
        StartupCase{"OnlyExeGenuineTooSmall",
                    With([](Machine &m) { m.mainGenuine = false; m.exeSize = 99999; }), false,
                    kSound, STARTUP_SHOW_OUTCOME, OUTCOME_REINSTALL, {}, false},
        StartupCase{"HeldOpenReleasedSound", With([](Machine &m) { m.lock = 0; }), true, kSound,
                    STARTUP_RELEASE, OUTCOME_PROBLEMS, {LINE_RELEASE_REPAIRED}, false},
        // A walk that could not run left the file held: not repaired.
        StartupCase{"HeldOpenWalkFailed", With([](Machine &m) { m.lock = 0; }), false, kSound,
                    STARTUP_RELEASE, OUTCOME_PROBLEMS, {LINE_RELEASE_NOT_REPAIRED}, false},
        StartupCase{"HeldOpenHijackWalkFailed", With([](Machine &m) { m.lock = 0; m.hijack = 2; }),
                    false, kSound, STARTUP_RELEASE, OUTCOME_PROBLEMS,
                    {LINE_HIJACK_NOT_REPAIRED, LINE_RELEASE_NOT_REPAIRED}, false},
        // The walk ran but the file is still held (a holder it could not open, a handle
        // under another name): not repaired.
        StartupCase{"WalkedStillHeld", With([](Machine &m) { m.lock = 0; }), true,
                    With([](Machine &m) { m.lock = 0; }), STARTUP_RELEASE, OUTCOME_PROBLEMS,
                    {LINE_RELEASE_NOT_REPAIRED}, false},
        StartupCase{"WalkedStillHeldMainSmall", With([](Machine &m) { m.lock = 0; }), true,
                    With([](Machine &m) { m.lock = 0; m.mainSize = 1; }), STARTUP_RELEASE,
                    OUTCOME_PROBLEMS, {LINE_RELEASE_NOT_REPAIRED, LINE_MAIN_DAMAGED}, true},
        // After a release the outcome never becomes reinstall: damage is listed instead.
        StartupCase{"ReleasedMainNotGenuineExeSmall", With([](Machine &m) { m.lock = 0; }), true,
                    With([](Machine &m) { m.mainGenuine = false; m.exeSize = 99999; }),
                    STARTUP_RELEASE, OUTCOME_PROBLEMS,
                    {LINE_RELEASE_REPAIRED, LINE_MAIN_INFECTED}, true},
        StartupCase{"ReleasedNeitherGenuine", With([](Machine &m) { m.lock = 0; }), true,
                    With([](Machine &m) { m.mainGenuine = false; m.exeGenuine = false; }),
                    STARTUP_RELEASE, OUTCOME_PROBLEMS, {LINE_RELEASE_REPAIRED, LINE_EXE_INFECTED},
                    true},
        StartupCase{"ReleasedMainSmall", With([](Machine &m) { m.lock = 0; }), true,
                    With([](Machine &m) { m.mainSize = 99999; }), STARTUP_RELEASE,
                    OUTCOME_PROBLEMS, {LINE_RELEASE_REPAIRED, LINE_MAIN_DAMAGED}, true},
        // A walk that could not run repairs nothing, even when the file is free afterwards.
        StartupCase{"WalkFailedMainSmall", With([](Machine &m) { m.lock = 0; }), false,
                    With([](Machine &m) { m.mainSize = 1; }), STARTUP_RELEASE, OUTCOME_PROBLEMS,
                    {LINE_RELEASE_NOT_REPAIRED, LINE_MAIN_DAMAGED}, true},
        StartupCase{"ReleasedMainExactlyLimit", With([](Machine &m) { m.lock = 0; }), true,
                    With([](Machine &m) { m.mainSize = 100000; }), STARTUP_RELEASE,
                    OUTCOME_PROBLEMS, {LINE_RELEASE_REPAIRED}, false}),
    [](const ::testing::TestParamInfo<StartupCase> &info) { return std::string(info.param.name); });

TEST(Startup, AsksInOrderAndStopsEarly)
{
    Machine m;
    FakeChecks located(m);
    FakeRecord record;
    RunStartupChecks(located, record);
    EXPECT_EQ(located.calls, (std::vector<std::string>{"hijack", "locate", "lock Halvex.exe",
                                                        "main genuine", "size HalvexMain.exe"}));

    m.located = false;
    FakeChecks missing(m);
    RunStartupChecks(missing, record);
    EXPECT_EQ(missing.calls, (std::vector<std::string>{"hijack", "locate"}));

    m.located = true;
    m.lock = 0;
    FakeChecks held(m);
    RunStartupChecks(held, record);
    EXPECT_EQ(held.calls, (std::vector<std::string>{"hijack", "locate", "lock Halvex.exe"}));
}

struct SafeStartCase {
    const char *name;
    Machine machine;
    const char *chosen;
};

void PrintTo(const SafeStartCase &c, std::ostream *os) { *os << c.name; }

class SafeStartTest : public ::testing::TestWithParam<SafeStartCase> {};

TEST_P(SafeStartTest, ChoosesExecutable)
{
    FakeChecks checks(GetParam().machine);
    const char *chosen = ChooseSafeStartExe(checks);
    if (GetParam().chosen) {
        ASSERT_NE(chosen, nullptr);
        EXPECT_STREQ(chosen, GetParam().chosen);
    } else {
        EXPECT_EQ(chosen, nullptr);
    }
    // Both sizes are read before anything is judged.
    ASSERT_GE(checks.calls.size(), 2u);
    EXPECT_EQ(checks.calls[0], "size Halvex.exe");
    EXPECT_EQ(checks.calls[1], "size HalvexMain.exe");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SafeStartTest,
    ::testing::Values(
        SafeStartCase{"MainPreferred", kSound, "HalvexMain.exe"},
        SafeStartCase{"MainAtLimitNotStarted", With([](Machine &m) { m.mainSize = 100000; }), nullptr},
        // A genuine but small main executable stops it: Halvex.exe is not considered.
        SafeStartCase{"SmallMainBlocksExe", With([](Machine &m) { m.mainSize = 5; }), nullptr},
        SafeStartCase{"MainJustAboveLimit", With([](Machine &m) { m.mainSize = 100001; }), "HalvexMain.exe"},
        SafeStartCase{"ExeJustAboveLimit",
                      With([](Machine &m) { m.mainGenuine = false; m.exeSize = 100001; }), "Halvex.exe"},
        SafeStartCase{"ExeAtLimit", With([](Machine &m) { m.mainGenuine = false; m.exeSize = 100000; }), nullptr},
        SafeStartCase{"NothingGenuine",
                      With([](Machine &m) { m.mainGenuine = false; m.exeGenuine = false; }), nullptr}),
    [](const ::testing::TestParamInfo<SafeStartCase> &info) { return std::string(info.param.name); });

TEST(PlanOutcome, PlacesPanelsUnderBanner)
{
    const PanelHeights heights = {99, 140, 37};
    const OutcomeLayout clean = PlanOutcome(OUTCOME_CLEAN, 0, 0, 567, heights);
    EXPECT_TRUE(clean.advice.show);
    EXPECT_EQ(clean.advice.y, 80);
    EXPECT_EQ(clean.advice.cx, 567);
    EXPECT_EQ(clean.advice.cy, 99);
    EXPECT_FALSE(clean.problem.show);
    EXPECT_FALSE(clean.reinstall.show);
    EXPECT_TRUE(clean.showButtons);
    EXPECT_FALSE(clean.setProblemText);

    // The problem panel sits directly above the advice panel.
    const OutcomeLayout problems = PlanOutcome(OUTCOME_PROBLEMS, 0, 0, 567, heights);
    EXPECT_TRUE(problems.problem.show);
    EXPECT_EQ(problems.problem.y, 80);
    EXPECT_EQ(problems.problem.cy, 140);
    EXPECT_EQ(problems.advice.y, 220);
    EXPECT_TRUE(problems.setProblemText);
    EXPECT_TRUE(problems.showButtons);

    const OutcomeLayout reinstall = PlanOutcome(OUTCOME_REINSTALL, 0, 0, 567, heights);
    EXPECT_TRUE(reinstall.reinstall.show);
    EXPECT_EQ(reinstall.reinstall.y, 80);
    EXPECT_FALSE(reinstall.advice.show);
    EXPECT_FALSE(reinstall.showButtons);
    EXPECT_TRUE(reinstall.moveDownloadToSafeStart);

    const OutcomeLayout other = PlanOutcome(7, 0, 0, 567, heights);
    EXPECT_FALSE(other.advice.show || other.problem.show || other.reinstall.show);
    EXPECT_FALSE(other.showButtons || other.moveDownloadToSafeStart);
}

} // namespace
