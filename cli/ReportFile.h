// The report file of a run. It is checked before the run touches the machine (its folder
// must exist and take a new file, its path must fit), then written at the end to a temp file
// in the same folder and renamed over the target, so that a reader never sees half a report.
// The temp file is made once and held without sharing until it has become the report: the
// folder may be writable by anyone, and nothing is ever reopened by name there.
#pragma once

#include <windows.h>

#include <string>

#include "fw/TextConversion.h"

class CReportFile {
public:
    CReportFile() = default;
    ~CReportFile();
    CReportFile(const CReportFile &) = delete;
    CReportFile &operator=(const CReportFile &) = delete;

    // Resolves the path (UTF-8, relative to the current directory) and makes the temp file
    // beside it. On failure, error receives a UTF-8 sentence for the user.
    bool Prepare(const std::string &utf8Path, std::string *error);

    // Writes the text to the temp file and moves it over the target.
    bool Commit(const std::string &text, std::string *error);

    // The full path, in UTF-8.
    std::string Path() const;

private:
    void Discard();

    WideText m_path;
    WideText m_ntPath;                             // m_path as the system names it, for the rename
    HANDLE m_hTemp = INVALID_HANDLE_VALUE;         // open between Prepare and Commit
};
