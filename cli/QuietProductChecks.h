// The workflow's questions answered for an unattended run: the real checks, with what they
// find noted in the report. The missing-path message becomes a finding instead of a box;
// scanning, the hijack key is only looked at, never deleted.
#pragma once

#include "cli/RunReport.h"
#include "app/SystemProductChecks.h"
#include "repair/ProductLocation.h"

class CQuietProductChecks : public CSystemProductChecks {
public:
    explicit CQuietProductChecks(RunReport &report) : m_report(report), m_notice(report) {}
    int RemoveImageHijack() override;
    bool LocateProduct() override;
    int TestFileLock(const char *fileName) override;

private:
    class CReportNotice : public InstallPathNotice {
    public:
        explicit CReportNotice(RunReport &report) : m_report(report) {}
        void MissingInstallPath(const char *text) override;

    private:
        RunReport &m_report;
    };

    RunReport &m_report;
    CReportNotice m_notice;
};
