// Benchmark: the spinner animating in a real window. Prints the frame period the window sees
// (the time between the paints that each frame's invalidation brings), one turn of eight
// frames, and the CPU time the animation costs per second, shown and hidden; then the frame
// periods for delays 4, 5 and 7.
//   spinner_bench.exe [SECONDS]   (seconds per measured phase; default 10)
#include "gif/CAnimatedPicture.h"
#include "res/resource.h"
#include "tests/bench/BenchClock.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/WindowProbe.h"

#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double FileTimeSeconds(const FILETIME &ft)
{
    return static_cast<double>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 1e7;
}

// User and kernel time of this process, as the system reports it.
double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
}

// Linux's account of a process, read through Wine's Z: drive: utime + stime of
// /proc/self/stat in clock ticks of 10 ms, and the process's name. Wine resolves the path in
// its server, so "self" is the wineserver that serves this process: the work each frame
// asks of it (invalidation, paint messages) shows there. -1 when it cannot be read.
double LinuxCpuSeconds(std::string *pName = nullptr)
{
    HANDLE h = CreateFileA("Z:\\proc\\self\\stat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    char buffer[1024] = {};
    DWORD got = 0;
    ReadFile(h, buffer, sizeof(buffer) - 1, &got, nullptr);
    CloseHandle(h);
    // "pid (name) state ...": utime is field 14, stime field 15.
    const char *open = strchr(buffer, '(');
    const char *close = strrchr(buffer, ')');
    if (!open || !close || close < open)
        return -1;
    if (pName)
        pName->assign(open + 1, close);
    unsigned long long utime = 0, stime = 0;
    int field = 2;
    for (const char *q = close + 1; *q && field < 15; ++q) {
        if (*q != ' ')
            continue;
        ++field;
        if (field == 14)
            utime = strtoull(q + 1, nullptr, 10);
        else if (field == 15)
            stime = strtoull(q + 1, nullptr, 10);
    }
    return static_cast<double>(utime + stime) / 100.0;
}

// The spinner control with the time of each paint noted.
class CTimedPicture : public CAnimatedPicture {
public:
    std::vector<double> m_paints;

protected:
    afx_msg void OnPaint()
    {
        m_paints.push_back(Now());
        CAnimatedPicture::OnPaint();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTimedPicture, CAnimatedPicture)
    ON_WM_PAINT()
END_MESSAGE_MAP()

struct Periods {
    size_t count = 0;
    double mean = 0, median = 0, p10 = 0, p90 = 0;
};

Periods PeriodsOf(const std::vector<double> &times, size_t step)
{
    Periods p;
    std::vector<double> d;
    for (size_t i = step; i < times.size(); i += step)
        d.push_back((times[i] - times[i - step]) * 1000.0);
    if (d.empty())
        return p;
    p.count = d.size();
    p.mean = (times[step * d.size()] - times[0]) * 1000.0 / static_cast<double>(d.size());
    std::sort(d.begin(), d.end());
    p.median = d[d.size() / 2];
    p.p10 = d[d.size() / 10];
    p.p90 = d[d.size() * 9 / 10];
    return p;
}

struct Cpu {
    double wall, process, thread, linux_;
};

// A popup with one static that a timed picture takes over.
struct BenchWindow {
    HWND hPopup = nullptr;
    CTimedPicture picture;
    bool Create()
    {
        hPopup = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, 80, 80, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        HWND hChild = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, 10, 10, 30, 33, hPopup,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
        return hChild && picture.SubclassWindow(hChild);
    }
    ~BenchWindow()
    {
        if (hPopup)
            DestroyWindow(hPopup);
    }
};

// Pumps messages for the given time and measures what the process and one thread used.
Cpu Measure(double seconds, DWORD nThreadId)
{
    Cpu c = {};
    const double t0 = Now(), p0 = ProcessCpuSeconds(), th0 = ThreadCpuSeconds(nThreadId), l0 = LinuxCpuSeconds();
    PumpMessages(static_cast<DWORD>(seconds * 1000));
    c.wall = Now() - t0;
    c.process = ProcessCpuSeconds() - p0;
    c.thread = ThreadCpuSeconds(nThreadId) - th0;
    c.linux_ = l0 < 0 ? -1 : LinuxCpuSeconds() - l0;
    return c;
}

void PrintCpu(const char *what, const Cpu &c)
{
    std::string server;
    LinuxCpuSeconds(&server);
    printf("  CPU %s over %.1f s: process %.3f s = %.2f %% of a core (GetProcessTimes), of it the animation "
           "thread %.3f s = %.2f %% (GetThreadTimes)\n",
           what, c.wall, c.process, 100.0 * c.process / c.wall, c.thread, 100.0 * c.thread / c.wall);
    if (c.linux_ >= 0)
        printf("  CPU %s of %s (Linux /proc/self/stat through Z:): %.3f s = %.2f %% of a core\n", what,
               server.c_str(), c.linux_, 100.0 * c.linux_ / c.wall);
}

std::atomic<bool> g_bSpin(false);

unsigned __stdcall Spin(void *)
{
    volatile unsigned long x = 0;
    while (g_bSpin)
        x = x + 1;
    return 0;
}

// The CPU clocks move: a thread spinning for half a second reads about half a second.
void CheckClocks()
{
    const double p0 = ProcessCpuSeconds(), t0 = Now();
    g_bSpin = true;
    HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Spin, nullptr, 0, nullptr));
    Sleep(500);
    FILETIME created, exited, kernel, user;
    GetThreadTimes(h, &created, &exited, &kernel, &user);
    g_bSpin = false;
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    const double wall = Now() - t0;
    printf("clock check: a thread spinning %.2f s wall reads %.2f s (GetThreadTimes), the process %.2f s "
           "(GetProcessTimes)\n",
           wall, FileTimeSeconds(kernel) + FileTimeSeconds(user), ProcessCpuSeconds() - p0);
}

std::vector<uint8_t> EightFramesOfDelay(uint16_t delay)
{
    GifBuilder gif(17, 17, {0xEBF8FF, 0x1866CC, 0xBACEE4});
    for (int i = 0; i < 8; ++i)
        gif.Control(1, delay).Fill(static_cast<uint16_t>(i * 2), 0, 2, 17, static_cast<uint8_t>(1 + i % 2));
    return gif.Trailer().Bytes();
}

} // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 10.0;
    CheckClocks();

    {
        BenchWindow w;
        if (!w.Create() || !w.picture.OpenResource(MAKEINTRESOURCEA(IDR_SCAN), "SCAN")) {
            fprintf(stderr, "cannot load the spinner\n");
            return 1;
        }
        w.picture.SetBackground(RGB(235, 248, 255));
        const std::vector<DWORD> before = ThreadIds();
        w.picture.StartAnimation();
        const DWORD tid = NewThreadId(before);
        PumpMessages(1000);   // settle
        w.picture.m_paints.clear();
        printf("== spinner (resource SCAN: %zu frames, delay 0) in a visible window, %.0f s\n",
               w.picture.GetFrameCount(), seconds);
        const Cpu shown = Measure(seconds, tid);
        const Periods frame = PeriodsOf(w.picture.m_paints, 1);
        const Periods turn = PeriodsOf(w.picture.m_paints, 8);
        printf("  frame period: mean %.1f ms, median %.1f ms, 10th-90th percentile %.1f-%.1f ms over %zu frames "
               "(goal 100 ms +-10 %%)\n",
               frame.mean, frame.median, frame.p10, frame.p90, frame.count);
        printf("  one turn of 8 frames: mean %.1f ms over %zu turns (goal 800 ms)\n", turn.mean, turn.count);
        PrintCpu("shown", shown);

        ShowWindow(w.hPopup, SW_HIDE);
        PumpMessages(200);
        printf("== the same spinner hidden (the release panel after the release), %.0f s\n", seconds);
        PrintCpu("hidden", Measure(seconds, tid));
    }

    printf("== frame periods by delay\n");
    const struct {
        uint16_t delay;
        double expected;
    } delays[] = {{4, 100}, {5, 50}, {7, 70}};
    for (const auto &d : delays) {
        BenchWindow w;
        HGLOBAL h = GlobalCopy(EightFramesOfDelay(d.delay));
        if (!w.Create() || !w.picture.OpenData(h, GlobalSize(h))) {
            fprintf(stderr, "cannot load the delay %u GIF\n", d.delay);
            return 1;
        }
        GlobalFree(h);
        w.picture.StartAnimation();
        PumpMessages(500);
        w.picture.m_paints.clear();
        PumpMessages(static_cast<DWORD>(seconds * 300));
        const Periods p = PeriodsOf(w.picture.m_paints, 1);
        printf("  delay %u: mean %.1f ms, median %.1f ms over %zu frames (expected %.0f ms)\n", d.delay, p.mean,
               p.median, p.count, d.expected);
    }
    return 0;
}
