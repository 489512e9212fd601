// The report file of a run. It is checked before the run touches the machine (its folder
// must exist and take a new file), then written at the end to a temp file in the same
// folder and renamed over the target, so that a reader never sees half a report.
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
    WideText m_path;
    WideText m_temp;   // exists between Prepare and Commit; empty otherwise
};
