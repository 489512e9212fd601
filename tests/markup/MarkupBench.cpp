// Prints what a long markup costs the label: setting it (parse, layout, first paint), a
// repaint from the cached image, and a rebuild after a resize.
//   markup_bench [RUNS]   (default 10000 runs of link, colour and plain text)
#include "fw/Afx.h"
#include "markup/CMarkupLabel.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double Milliseconds(const LARGE_INTEGER &from, const LARGE_INTEGER &to)
{
    LARGE_INTEGER freq;
    ::QueryPerformanceFrequency(&freq);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::string markup;
    for (int i = 0; i < runs; ++i) {
        switch (i % 3) {
        case 0: markup += "|h01|c0000ff|U\xB5\xE3\xD5\xE2\xC0\xEF|~U|~c|~h"; break;   // the forum link
        case 1: markup += "|b bold|~b "; break;
        default: markup += "plain text "; break;
        }
    }
    HWND hHost = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    HWND hLabel = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, 600, 400, hHost,
                                    reinterpret_cast<HMENU>(1008), ::GetModuleHandleA(nullptr), nullptr);
    CMarkupLabel label;
    if (!hHost || !hLabel || !label.SubclassWindow(hLabel)) {
        std::printf("no window\n");
        return 1;
    }
    label.UpdateWindow();

    LARGE_INTEGER t0 = Now();
    label.SetMarkupText(markup.c_str());
    LARGE_INTEGER t1 = Now();
    const int repaints = 100;
    for (int i = 0; i < repaints; ++i) {
        label.InvalidateRect(nullptr, TRUE);
        label.UpdateWindow();
    }
    LARGE_INTEGER t2 = Now();
    label.MoveWindow(0, 0, 300, 400);
    label.UpdateWindow();
    LARGE_INTEGER t3 = Now();

    size_t fragments = 0;
    for (const auto &run : label.m_runs)
        fragments += run->fragments.size();
    std::printf("%d runs (%zu parsed, %zu placed pieces, %d bytes of markup)\n", runs, label.m_runs.size(), fragments,
                static_cast<int>(markup.size()));
    std::printf("  set markup (parse, layout, paint): %8.1f ms\n", Milliseconds(t0, t1));
    std::printf("  repaint from the cache:            %8.3f ms each (%d repaints)\n", Milliseconds(t1, t2) / repaints,
                repaints);
    std::printf("  resize (layout and paint again):   %8.1f ms\n", Milliseconds(t2, t3));
    label.DestroyWindow();
    ::DestroyWindow(hHost);
    return 0;
}
