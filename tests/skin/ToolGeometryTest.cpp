// The real tool's window is the same on every system code page: the frame, the panels and
// the buttons have the same size and place, and the banner and the buttons the same pixels.
// The pass on code page 936 records what it sees beside the test; the passes on 1252 and
// 932 record theirs and compare them with it.
#include "res/resource.h"
#include "tests/scenario/ToolProcess.h"
#include "tests/skin/SkinTestSupport.h"
#include "tests/support/FileTree.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

const char APP_DEFAULTS_KEY[] = "Software\\Wine\\AppDefaults";
const char X11_TOOL_KEY[] = "Software\\Wine\\AppDefaults\\HalvexFix.exe\\X11 Driver";

const UINT CHINESE_CODE_PAGE = 936;
const int BANNER_HEIGHT = 80;   // the panels start below it

// What one code page's run showed: rectangles as text, the banner and button pixels.
struct Record {
    std::string geometry;
    Picture banner;
    Picture download;
    Picture safeStart;
};

std::string RecordPath(UINT codePage, const char *what)
{
    return ExeDir() + "\\tool-geometry-cp" + std::to_string(codePage) + "." + what;
}

void Describe(std::ostringstream &out, const char *name, const ToolView::Part &part)
{
    out << name << ' ' << part.bFound << part.bVisible << part.bEnabled << ' ' << part.rc.left << ','
        << part.rc.top << ',' << part.rc.right << ',' << part.rc.bottom << '\n';
}

std::string Geometry(HWND hDlg, const ToolView &view)
{
    std::ostringstream out;
    RECT rcWindow = {};
    GetWindowRect(hDlg, &rcWindow);
    out << "window " << rcWindow.right - rcWindow.left << 'x' << rcWindow.bottom - rcWindow.top << '\n';
    out << "client " << view.rcClient.right << 'x' << view.rcClient.bottom << '\n';
    Describe(out, "advice", view.advice);
    Describe(out, "problem", view.problem);
    Describe(out, "reinstall", view.reinstall);
    Describe(out, "release", view.release);
    Describe(out, "download", view.download);
    Describe(out, "safestart", view.safeStart);
    // The dialog's own controls below the panels.
    for (int id : {IDC_HINT, IDC_SEPARATOR, IDC_PROBLEM_LIST}) {
        HWND h = GetDlgItem(hDlg, id);
        if (!h)
            continue;
        RECT rc = {};
        GetWindowRect(h, &rc);
        MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT *>(&rc), 2);
        out << "control " << id << ' ' << rc.left << ',' << rc.top << ',' << rc.right << ',' << rc.bottom << '\n';
    }
    return out.str();
}

bool WritePicture(const std::string &path, const Picture &p)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(&p.cx), sizeof(p.cx));
    out.write(reinterpret_cast<const char *>(&p.cy), sizeof(p.cy));
    out.write(reinterpret_cast<const char *>(p.pixels.data()),
              static_cast<std::streamsize>(p.pixels.size() * sizeof(COLORREF)));
    return static_cast<bool>(out);
}

bool ReadPicture(const std::string &path, Picture &p)
{
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char *>(&p.cx), sizeof(p.cx)) ||
        !in.read(reinterpret_cast<char *>(&p.cy), sizeof(p.cy)) || p.cx < 0 || p.cy < 0 || p.cx > 4096 ||
        p.cy > 4096)
        return false;
    p.pixels.resize(static_cast<size_t>(p.cx) * p.cy);
    return static_cast<bool>(in.read(reinterpret_cast<char *>(p.pixels.data()),
                                     static_cast<std::streamsize>(p.pixels.size() * sizeof(COLORREF))));
}

bool Save(UINT codePage, const Record &r)
{
    std::ofstream out(RecordPath(codePage, "txt"), std::ios::binary);
    out << r.geometry;
    return static_cast<bool>(out) && WritePicture(RecordPath(codePage, "banner"), r.banner) &&
           WritePicture(RecordPath(codePage, "download"), r.download) &&
           WritePicture(RecordPath(codePage, "safestart"), r.safeStart);
}

bool Load(UINT codePage, Record &r)
{
    std::ifstream in(RecordPath(codePage, "txt"), std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    r.geometry = text.str();
    return ReadPicture(RecordPath(codePage, "banner"), r.banner) &&
           ReadPicture(RecordPath(codePage, "download"), r.download) &&
           ReadPicture(RecordPath(codePage, "safestart"), r.safeStart);
}

Picture Crop(const Picture &p, int cy)
{
    Picture part;
    part.cx = p.cx;
    part.cy = cy < p.cy ? cy : p.cy;
    part.pixels.assign(p.pixels.begin(), p.pixels.begin() + static_cast<ptrdiff_t>(part.cx) * part.cy);
    return part;
}

struct ToolGeometryTest : ::testing::Test {
    CRegistryBackup m_appDefaults{HKEY_CURRENT_USER, APP_DEFAULTS_KEY};
    std::string m_base;
    std::unique_ptr<CProductMachine> m_machine;

    void SetUp() override
    {
        m_base = FreshTestDir("hx geometry");
        ASSERT_FALSE(m_base.empty());
        m_machine.reset(new CProductMachine(m_base));
        ASSERT_TRUE(SetString(HKEY_CURRENT_USER, X11_TOOL_KEY, "Managed", "N"));
        const POINT away = FarCorner();
        ASSERT_TRUE(MovePointer(away.x, away.y)) << "xdotool could not move the pointer";
    }
    void TearDown() override { RemoveTree(m_base); }
};

TEST_F(ToolGeometryTest, SameWindowAsOnAChineseSystem)
{
    // The fullest window: a repaired hijack in the problem list, the advice panel, both
    // buttons enabled.
    ASSERT_TRUE(m_machine->Prepare({Location::ProductKey, Hijack::Deletable, "maker-100001.exe", "maker-100000.exe"}));
    CToolProcess tool;
    ASSERT_TRUE(tool.Start());
    ToolView view;
    ASSERT_TRUE(tool.WaitForOutcome(&view));
    ASSERT_TRUE(view.problem.bVisible);
    ASSERT_TRUE(view.safeStart.bEnabled);

    HWND hDlg = tool.Dialog();
    SetForegroundWindow(hDlg);
    Record seen;
    seen.geometry = Geometry(hDlg, view);
    seen.banner = Crop(CaptureSettled(hDlg), BANNER_HEIGHT);
    seen.download = CaptureSettled(GetDlgItem(hDlg, IDC_DOWNLOAD));
    seen.safeStart = CaptureSettled(GetDlgItem(hDlg, IDC_SAFESTART));
    tool.Stop();

    const UINT codePage = GetACP();
    ASSERT_TRUE(Save(codePage, seen));
    if (codePage == CHINESE_CODE_PAGE)
        return;

    Record chinese;
    ASSERT_TRUE(Load(CHINESE_CODE_PAGE, chinese)) << "no record of the code page 936 pass beside the test";
    EXPECT_EQ(seen.geometry, chinese.geometry);
    const std::string cp = "cp" + std::to_string(codePage);
    EXPECT_TRUE(seen.banner == chinese.banner) << "banner differs: see " << seen.banner.Save(cp + "-banner.ppm");
    EXPECT_TRUE(seen.download == chinese.download)
        << "download button differs: see " << seen.download.Save(cp + "-download.ppm") << " and "
        << chinese.download.Save("cp936-download.ppm");
    EXPECT_TRUE(seen.safeStart == chinese.safeStart)
        << "safe-start button differs: see " << seen.safeStart.Save(cp + "-safestart.ppm");
}

} // namespace
