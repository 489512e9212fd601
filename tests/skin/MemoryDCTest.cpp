// The off-screen surface over a real device context: nothing reaches the target before the
// surface ends, then the whole rectangle at once; what is not drawn keeps the background.
#include "skin/CMemoryDC.h"
#include "tests/skin/SkinTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const COLORREF TARGET = RGB(10, 20, 30);
const COLORREF GREY = RGB(128, 128, 128);
const COLORREF RED = RGB(255, 0, 0);
const COLORREF BLUE = RGB(0, 0, 255);

// A 40 x 20 target of its own colour.
struct Target {
    CDC dc;
    HBITMAP hBitmap = nullptr;
    HGDIOBJ hOld = nullptr;
    DWORD *pBits = nullptr;
    static const int CX = 40, CY = 20;

    Target()
    {
        HDC hScreen = ::GetDC(nullptr);
        dc.Attach(::CreateCompatibleDC(hScreen));
        hBitmap = CreateDib(hScreen, CX, CY, reinterpret_cast<void **>(&pBits));
        ::ReleaseDC(nullptr, hScreen);
        hOld = dc.SelectObject(hBitmap);
        dc.FillSolidRect(0, 0, CX, CY, TARGET);
    }
    ~Target()
    {
        dc.SelectObject(hOld);
        ::DeleteObject(hBitmap);
    }
    COLORREF At(int x, int y)
    {
        ::GdiFlush();
        const DWORD v = pBits[y * CX + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // The colour of every pixel, as a string of one letter per pixel: T target, G grey, R, B.
    std::string Map()
    {
        std::string s;
        for (int y = 0; y < CY; ++y)
            for (int x = 0; x < CX; ++x) {
                const COLORREF c = At(x, y);
                s += c == TARGET ? 'T' : c == GREY ? 'G' : c == RED ? 'R' : c == BLUE ? 'B' : '?';
            }
        return s;
    }
    // The same map for "rect filled with fill, the rest target".
    static std::string MapOf(const RECT &rc, char fill, char rest = 'T')
    {
        std::string s;
        for (int y = 0; y < CY; ++y)
            for (int x = 0; x < CX; ++x)
                s += (x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom) ? fill : rest;
        return s;
    }
};

TEST(MemoryDCTest, EmptyRectanglesDrawNothing)
{
    const RECT cases[] = {{0, 0, 0, 10}, {0, 0, 10, 0}, {5, 5, 2, 8}};
    for (const RECT &rc : cases) {
        Target t;
        {
            CMemoryDC surface(&t.dc, rc, GREY);
            EXPECT_EQ(surface.m_hDC, nullptr);
            surface.FillSolidRect(0, 0, Target::CX, Target::CY, RED);
        }
        EXPECT_EQ(t.Map(), Target::MapOf(RECT{}, 'T'));
    }
    // No target at all.
    CMemoryDC orphan(nullptr, RECT{0, 0, 10, 10}, GREY);
    EXPECT_EQ(orphan.m_hDC, nullptr);
}

TEST(MemoryDCTest, TheTargetChangesOnlyWhenTheSurfaceEnds)
{
    const RECT client = {0, 0, Target::CX, Target::CY};
    Target t;
    {
        CMemoryDC surface(&t.dc, client, GREY);
        const RECT painted = {5, 5, 15, 10};
        surface.FillSolidRect(&painted, RED);
        EXPECT_EQ(t.Map(), Target::MapOf(RECT{}, 'T')) << "drawing reached the target early";
    }
    // The painted part, and the background everywhere else.
    EXPECT_EQ(t.Map(), Target::MapOf(RECT{5, 5, 15, 10}, 'R', 'G'));
}

TEST(MemoryDCTest, ARectangleAwayFromTheCornerIsDrawnInTheTargetsCoordinates)
{
    Target t;
    const RECT part = {10, 4, 30, 14};
    {
        CMemoryDC surface(&t.dc, part, GREY);
        surface.FillSolidRect(12, 6, 4, 4, RED);
    }
    std::string expected = Target::MapOf(part, 'G');
    for (int y = 6; y < 10; ++y)
        for (int x = 12; x < 16; ++x)
            expected[y * Target::CX + x] = 'R';
    EXPECT_EQ(t.Map(), expected);
}

TEST(MemoryDCTest, StretchToRectSpreadsTheSourceOverTheDestination)
{
    // A 2 x 1 source, red then blue.
    Target source;
    source.dc.FillSolidRect(0, 0, 1, 1, RED);
    source.dc.FillSolidRect(1, 0, 1, 1, BLUE);

    Target t;
    {
        CMemoryDC surface(&t.dc, RECT{0, 0, Target::CX, Target::CY}, GREY);
        EXPECT_TRUE(surface.StretchToRect(RECT{0, 0, 20, 4}, &source.dc, RECT{0, 0, 2, 1}, SRCCOPY));
        EXPECT_TRUE(surface.StretchSized(&source.dc, 10, 2, 1, 1, 30, 10, 1, 0, SRCCOPY));
        // No source: only source-free operations do anything.
        EXPECT_FALSE(surface.StretchSized(nullptr, 5, 5, 1, 1, 0, 0, 0, 0, SRCCOPY));
    }
    std::string expected = Target::MapOf(RECT{0, 0, Target::CX, Target::CY}, 'G');
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 20; ++x)
            expected[y * Target::CX + x] = x < 10 ? 'R' : 'B';
    for (int y = 10; y < 12; ++y)
        for (int x = 30; x < 40; ++x)
            expected[y * Target::CX + x] = 'B';
    EXPECT_EQ(t.Map(), expected);
}

} // namespace
