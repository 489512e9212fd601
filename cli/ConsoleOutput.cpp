#include "cli/ConsoleOutput.h"

#include "fw/TextConversion.h"

namespace {

// Attached to the console the user typed in, Ctrl+C there would end the run halfway
// through a repair. The run finishes; the console gets its prompt back at once anyway.
BOOL WINAPI IgnoreInterrupt(DWORD ctrlType)
{
    return ctrlType == CTRL_C_EVENT || ctrlType == CTRL_BREAK_EVENT;
}

// The console of the process that started the tool. A GUI program has none of its own and
// attaches; one that already has one (Wine hands its parent's to a GUI child) keeps it.
bool ReachParentConsole(bool *attached)
{
    *attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    if (!*attached && GetLastError() != ERROR_ACCESS_DENIED)
        return false;
    SetConsoleCtrlHandler(IgnoreInterrupt, TRUE);
    return true;
}

} // namespace

CConsoleOutput::~CConsoleOutput()
{
    if (m_bOwnHandle && m_hOut)
        CloseHandle(m_hOut);
    if (m_bAttached)
        FreeConsole();
}

bool CConsoleOutput::Open()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const DWORD type = (out && out != INVALID_HANDLE_VALUE) ? GetFileType(out) : FILE_TYPE_UNKNOWN;
    DWORD mode = 0;
    bool attached = false;
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        m_hOut = out;
        // The code page of the console the output was redirected from, if there is one.
        m_nCodePage = GetOEMCP();
        if (ReachParentConsole(&attached)) {
            if (UINT cp = GetConsoleOutputCP())
                m_nCodePage = cp;
            if (attached)
                FreeConsole();
        }
        return true;
    }
    if (type == FILE_TYPE_CHAR && GetConsoleMode(out, &mode)) {
        m_hOut = out;
        m_bConsole = true;
        return true;
    }
    if (!ReachParentConsole(&attached))
        return false;
    m_bAttached = attached;
    m_hOut = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    if (m_hOut == INVALID_HANDLE_VALUE) {
        m_hOut = nullptr;
        return false;
    }
    m_bOwnHandle = true;
    m_bConsole = true;
    return true;
}

void CConsoleOutput::Write(const std::string &utf8)
{
    if (!m_hOut || utf8.empty())
        return;
    DWORD written = 0;
    if (m_bConsole) {
        // The prompt came back when the tool started: begin below it.
        const WideText text = MultiByteToWide((!m_bStarted && m_bAttached ? "\r\n" : "") + utf8, CP_UTF8);
        WriteConsoleW(m_hOut, text.data(), static_cast<DWORD>(text.size() - 1), &written, nullptr);
    } else {
        const std::string bytes = FromUtf8(utf8, m_nCodePage);
        WriteFile(m_hOut, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    m_bStarted = true;
}
