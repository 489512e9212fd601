#include "repair/Launch.h"

#include "fw/AfxMessageBox.h"
#include "fw/TextConversion.h"
#include "repair/InstallDir.h"
#include "repair/PageRoutes.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const wchar_t HTTP_COMMAND_KEY[] = L"http\\shell\\open\\command";
const wchar_t IEXPLORE_APP_PATH_KEY[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App paths\\IEXPLORE.EXE";
const wchar_t IE_SETUP_KEY[] = L"Software\\Microsoft\\IE Setup\\Setup";
const wchar_t IE_SETUP_PATH_VALUE[] = L"Path";
const char IEXPLORE_NAME[] = "iexplore.exe";
const wchar_t USER_HTTP_OPEN_KEY[] = L"Software\\Classes\\http\\shell\\open";
const wchar_t USER_HTTP_COMMAND_KEY[] = L"Software\\Classes\\http\\shell\\open\\command";
const char ADDRESS_NOTICE[] = "修复工具以管理员身份运行，为了您的安全，没有打开网页。"
                              "请按Ctrl+C复制本提示，在浏览器中打开下面的网址：\r\n\r\n";

// Characters, as the values are UTF-16.
const DWORD VALUE_CHARS = 512;
const DWORD EXPANDED_CHARS = 1024;

// Reads a value of at most 512 characters, as UTF-8. One spare zero after the buffer: a
// value that fills it is stored without a terminating zero.
bool ReadRegistryText(HKEY root, const wchar_t *subKey, const wchar_t *valueName, std::string &text)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[VALUE_CHARS + 1] = {};
    DWORD size = VALUE_CHARS * sizeof(wchar_t);
    LONG rc = RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return false;
    text = WideToPath(buffer);
    return true;
}

// A result that did not fit the 1024-character buffer is a failure, not a cut path.
bool ExpandInto(const std::string &value, std::string &out)
{
    wchar_t buffer[EXPANDED_CHARS] = {};
    DWORD n = ExpandEnvironmentStringsW(PathToWide(value.c_str()).data(), buffer, EXPANDED_CHARS);
    if (n == 0 || n > EXPANDED_CHARS)
        return false;
    out = WideToPath(buffer);
    return true;
}

// Lower case by the system's rules for every character, not only A to Z.
void MakeLower(std::string &text)
{
    WideText wide = PathToWide(text.c_str());
    if (wide.size() <= 1 || wide.size() > MAXDWORD)
        return;
    CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size() - 1));
    text = WideToPath(wide.data());
}

// In UTF-8 no byte of a longer character is a backslash.
bool EndsInBackslash(const std::string &path)
{
    return !path.empty() && path.back() == '\\';
}

bool ShellOpen(const char *file, const char *parameters, int show)
{
    const WideText wideParameters = PathToWide(parameters);
    HINSTANCE h = ShellExecuteW(nullptr, L"open", PathToWide(file).data(),
                                parameters ? wideParameters.data() : nullptr, nullptr, show);
    return reinterpret_cast<INT_PTR>(h) > 32;
}

template <class T> void Release(T *&p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// The running desktop's shell, reached as its own process: IShellWindows finds the desktop,
// whose view hands out the shell's automation object. Whatever that object starts runs as
// the desktop's user, not with the tool's rights.
class CSystemDesktop : public PageDesktop {
public:
    CSystemDesktop()
    {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_bUninitialize = SUCCEEDED(hr);
    }
    ~CSystemDesktop() override
    {
        Release(m_pShell);
        if (m_bUninitialize)
            CoUninitialize();
    }
    bool ShellAnswers() override
    {
        if (!m_pShell)
            m_pShell = FindDesktopShell();
        return m_pShell != nullptr;
    }
    bool ShellOpen(const char *file, const char *parameters) override
    {
        if (!ShellAnswers())
            return false;
        BSTR bstrFile = SysAllocString(PathToWide(file).data());
        VARIANT args, dir, verb, show;
        VariantInit(&args);
        VariantInit(&dir);
        VariantInit(&verb);
        VariantInit(&show);
        if (parameters) {
            args.vt = VT_BSTR;
            args.bstrVal = SysAllocString(PathToWide(parameters).data());
        }
        verb.vt = VT_BSTR;
        verb.bstrVal = SysAllocString(L"open");
        show.vt = VT_I4;
        show.lVal = SW_SHOWNORMAL;
        const HRESULT hr = bstrFile ? m_pShell->ShellExecute(bstrFile, args, dir, verb, show) : E_OUTOFMEMORY;
        SysFreeString(bstrFile);
        VariantClear(&args);
        VariantClear(&verb);
        return hr == S_OK;
    }
    void ShowAddress(const char *text) override { AfxMessageBox(text, MB_OK | MB_ICONINFORMATION); }

private:
    static IShellDispatch2 *FindDesktopShell()
    {
        IShellWindows *windows = nullptr;
        IDispatch *desktop = nullptr;
        IServiceProvider *services = nullptr;
        IShellBrowser *browser = nullptr;
        IShellView *view = nullptr;
        IDispatch *background = nullptr;
        IShellFolderViewDual *folderView = nullptr;
        IDispatch *application = nullptr;
        IShellDispatch2 *shell = nullptr;
        VARIANT location, root;
        VariantInit(&location);
        VariantInit(&root);
        long hwnd = 0;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                       reinterpret_cast<void **>(&windows)))
            && windows->FindWindowSW(&location, &root, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, &desktop) == S_OK
            && desktop
            && SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void **>(&services)))
            && SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                                reinterpret_cast<void **>(&browser)))
            && SUCCEEDED(browser->QueryActiveShellView(&view)) && view
            && SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void **>(&background)))
            && SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual,
                                                    reinterpret_cast<void **>(&folderView)))
            && SUCCEEDED(folderView->get_Application(&application)) && application)
            application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void **>(&shell));
        Release(application);
        Release(folderView);
        Release(background);
        Release(view);
        Release(browser);
        Release(services);
        Release(desktop);
        Release(windows);
        return shell;
    }

    bool m_bUninitialize = false;
    IShellDispatch2 *m_pShell = nullptr;
};

bool KeyExists(HKEY root, const wchar_t *subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace

bool HasPerUserHttpHandler()
{
    return KeyExists(HKEY_CURRENT_USER, USER_HTTP_COMMAND_KEY) || KeyExists(HKEY_CURRENT_USER, USER_HTTP_OPEN_KEY);
}

bool GetDefaultBrowserCommand(std::string &text)
{
    text.clear();
    if (!ReadRegistryText(HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY, nullptr, text))
        return false;
    MakeLower(text);
    return true;
}

bool GetIExplorePath(std::string &path)
{
    path.clear();
    std::string value;
    bool found = ReadRegistryText(HKEY_LOCAL_MACHINE, IEXPLORE_APP_PATH_KEY, nullptr, value)
                 && ExpandInto(value, path);
    if (!found) {
        path.clear();
        if (!ReadRegistryText(HKEY_LOCAL_MACHINE, IE_SETUP_KEY, IE_SETUP_PATH_VALUE, value))
            return false;
        if (!ExpandInto(value, path))
            return false;
    }
    MakeLower(path);
    if (path.find(IEXPLORE_NAME) != std::string::npos)
        return true;
    if (!EndsInBackslash(path))
        path += '\\';
    path += IEXPLORE_NAME;
    return true;
}

bool OpenUrl(const char *url)
{
    CSystemDesktop desktop;
    return OpenUrl(url, desktop);
}

bool OpenUrl(const char *url, PageDesktop &desktop)
{
    if (!url)
        return false;
    std::string command;
    std::string iexplore;
    PageSituation situation;
    situation.desktopShell = desktop.ShellAnswers();
    situation.iexploreDefault = GetDefaultBrowserCommand(command) && command.find(IEXPLORE_NAME) != std::string::npos
                                && GetIExplorePath(iexplore);
    situation.perUserHandler = HasPerUserHttpHandler();
    for (PageRoute route : ChoosePageRoutes(situation)) {
        switch (route) {
        case PageRoute::DesktopIexplore:
            if (desktop.ShellOpen(iexplore.c_str(), url))
                return true;
            break;
        case PageRoute::DesktopDefault:
            if (desktop.ShellOpen(url, nullptr))
                return true;
            break;
        case PageRoute::ElevatedIexplore:
            if (ShellOpen(iexplore.c_str(), url, SW_SHOW))
                return true;
            break;
        case PageRoute::ElevatedDefault:
            if (ShellOpen(url, nullptr, SW_SHOW))
                return true;
            break;
        case PageRoute::ShowAddress:
            desktop.ShowAddress((std::string(ADDRESS_NOTICE) + url).c_str());
            return false;
        }
    }
    return false;
}

namespace {
RandomNumberFn g_pfnRandomNumber = MakeRandomNumber;
}

RandomNumberFn SetRandomNumberFnForTesting(RandomNumberFn pfn)
{
    const RandomNumberFn previous = g_pfnRandomNumber;
    g_pfnRandomNumber = pfn ? pfn : MakeRandomNumber;
    return previous;
}

std::uint32_t MakeRandomNumber()
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return static_cast<std::uint32_t>(GetTickCount()) + static_cast<std::uint32_t>(std::rand());
}

bool CopyToRandomName(const char *fileName, char *buffer, std::size_t capacity)
{
    if (!fileName || !*fileName || !buffer || capacity == 0)
        return false;
    std::memset(buffer, 0, capacity);

    const char *dir = GetInstallDir();
    const WideText source = PathToWide(MakeProductPath(fileName).c_str());
    std::string target;
    BOOL copied = FALSE;
    // A file already at the name (planted there, or a copy of an earlier start) is never
    // overwritten: the copy goes to another number.
    const int ATTEMPTS = 16;
    for (int attempt = 0; attempt < ATTEMPTS && !copied; ++attempt) {
        target.assign(std::strlen(dir) + 16, '\0');
        const unsigned number = static_cast<unsigned>(g_pfnRandomNumber() + static_cast<std::uint32_t>(attempt));
        int n = std::snprintf(&target[0], target.size(), "%s\\%u.exe", dir, number);
        target.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        copied = CopyFileExW(source.data(), PathToWide(target.c_str()).data(), nullptr, nullptr, nullptr,
                             COPY_FILE_FAIL_IF_EXISTS);
        const DWORD error = copied ? ERROR_SUCCESS : GetLastError();
        if (!copied && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }

    std::strncpy(buffer, target.c_str(), capacity - 1);
    return copied != FALSE;
}

namespace {

// Starts exactly the program at path. The tool runs elevated: an unquoted path with a space
// would let "C:\Program.exe" start in the product's place, so the path is the application
// name and, quoted, argv[0].
bool StartProgram(const char *path)
{
    std::string quoted = "\"";
    quoted += path;
    quoted += '"';
    WideText commandLine = PathToWide(quoted.c_str());   // writable, as CreateProcessW wants
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(PathToWide(path).data(), commandLine.data(), nullptr, nullptr, FALSE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

bool StartVerifiedCopy(const char *fileName, SafeStartCheck check, char *buffer, std::size_t capacity)
{
    if (!check || !buffer || capacity == 0)
        return false;
    if (!CopyToRandomName(fileName, buffer, capacity))
        return false;   // nothing of ours stands at the name
    const std::string copy = buffer;
    const WideText wideCopy = PathToWide(copy.c_str());
    // Read access shared for reading only: nobody can write, replace, rename or delete the
    // copy while it is held, so the file checked is the file started. The checker and the
    // process start open it for reading too.
    HANDLE hold = copy.size() + 1 < capacity
                      ? CreateFileW(wideCopy.data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)
                      : INVALID_HANDLE_VALUE;   // a cut path names another file
    const bool started = hold != INVALID_HANDLE_VALUE && check(copy.c_str()) && StartProgram(copy.c_str());
    if (hold != INVALID_HANDLE_VALUE)
        CloseHandle(hold);
    if (started) {
        DeleteAtReboot(copy.c_str());
        return true;
    }
    if (!DeleteFileW(wideCopy.data()))
        DeleteAtReboot(copy.c_str());
    return false;
}

bool RunProgram(const char *path)
{
    if (!path)
        return false;
    return StartProgram(path) || ShellOpen(path, nullptr, SW_SHOWNORMAL);
}

bool DeleteAtReboot(const char *path)
{
    if (!path)
        return false;
    return MoveFileExW(PathToWide(path).data(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}
