// Every combination of what the tool finds when it opens a page, and the ways it may take.
#include "repair/PageRoutes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using R = PageRoute;

struct RouteCase {
    bool desktopShell;
    bool iexploreDefault;
    bool perUserHandler;
    std::vector<PageRoute> expected;
};

bool Elevated(PageRoute r)
{
    return r == R::ElevatedIexplore || r == R::ElevatedDefault;
}

class PageRoutesTest : public ::testing::TestWithParam<RouteCase> {};

TEST_P(PageRoutesTest, OpensAsTheDesktopsUserOrNeverThroughTheUsersHandler)
{
    const RouteCase &c = GetParam();
    const std::vector<PageRoute> routes = ChoosePageRoutes({c.desktopShell, c.iexploreDefault, c.perUserHandler});
    EXPECT_EQ(routes, c.expected);
    for (PageRoute r : routes) {
        if (c.perUserHandler)
            EXPECT_FALSE(Elevated(r)) << "an elevated start with a command the user's programs can set";
        if (c.desktopShell)
            EXPECT_FALSE(Elevated(r) || r == R::ShowAddress) << "the desktop answers: it opens the page";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PageRoutesTest,
    ::testing::Values(
        // desktop shell, IE default, per-user handler -> routes in order
        RouteCase{true, true, false, {R::DesktopIexplore, R::DesktopDefault}},
        RouteCase{true, true, true, {R::DesktopIexplore, R::DesktopDefault}},
        RouteCase{true, false, false, {R::DesktopDefault}},
        RouteCase{true, false, true, {R::DesktopDefault}},
        RouteCase{false, true, false, {R::ElevatedIexplore, R::ElevatedDefault}},
        RouteCase{false, true, true, {R::ShowAddress}},
        RouteCase{false, false, false, {R::ElevatedDefault}},
        RouteCase{false, false, true, {R::ShowAddress}}),
    [](const ::testing::TestParamInfo<RouteCase> &info) {
        const RouteCase &c = info.param;
        return std::string(c.desktopShell ? "Desktop" : "NoDesktop") + (c.iexploreDefault ? "Iexplore" : "Other")
               + (c.perUserHandler ? "UserHandler" : "MachineHandler");
    });

} // namespace
