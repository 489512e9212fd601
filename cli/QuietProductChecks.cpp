#include "cli/QuietProductChecks.h"

#include <cstring>

#include "fw/TextConversion.h"
#include "repair/ImageHijack.h"
#include "repair/InstallDir.h"

int CQuietProductChecks::RemoveImageHijack()
{
    ImageHijackState state;
    const int found = FindImageHijack(&state);
    m_report.bHijackPresent = state.bPresent;
    m_report.bHijackHasSubkeys = state.bHasSubkeys;
    if (m_report.nMode == MODE_SCAN)
        return found;
    return CSystemProductChecks::RemoveImageHijack();
}

bool CQuietProductChecks::LocateProduct()
{
    const char *key = nullptr;
    m_report.bLocated = ::LocateProduct(m_notice, &key) != FALSE;
    if (m_report.bLocated) {
        m_report.strInstallDir = GetInstallDir();   // already UTF-8
        m_report.strInstallKey = std::string("HKEY_LOCAL_MACHINE\\") + (key ? key : "");
    }
    return m_report.bLocated;
}

int CQuietProductChecks::TestFileLock(const char *fileName)
{
    const int result = CSystemProductChecks::TestFileLock(fileName);
    if (fileName && std::strcmp(fileName, PRODUCT_EXE) == 0)
        m_report.bHeldOpen = result == 0;
    return result;
}

void CQuietProductChecks::CReportNotice::MissingInstallPath(const char *text)
{
    m_report.Add(FINDING_INSTALL_PATH_UNREADABLE, STATUS_NOTICE, ToUtf8(text ? text : "", TOOL_CODE_PAGE));
}
