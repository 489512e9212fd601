// Which way a web page may be opened, for a tool that runs as administrator. Plain C++.
#pragma once

#include <vector>

enum class PageRoute {
    DesktopIexplore,    // the desktop's shell starts Internet Explorer with the page
    DesktopDefault,     // the desktop's shell opens the page with the user's default browser
    ElevatedIexplore,   // the tool itself starts Internet Explorer
    ElevatedDefault,    // the tool itself opens the page through the shell's default handler
    ShowAddress         // nothing is started; the user is shown the address
};

struct PageSituation {
    bool desktopShell;    // the running desktop's shell answers
    bool iexploreDefault; // the http command names iexplore.exe and its path is known
    bool perUserHandler;  // the user's own classes override the http open verb
};

// The routes to try in this order until one opens the page. A page opens with the tool's
// own rights only when no desktop shell answers, and never through a handler that any
// program of the user could have set.
std::vector<PageRoute> ChoosePageRoutes(const PageSituation &situation);
