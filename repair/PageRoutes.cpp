#include "repair/PageRoutes.h"

std::vector<PageRoute> ChoosePageRoutes(const PageSituation &situation)
{
    if (situation.desktopShell) {
        if (situation.iexploreDefault)
            return {PageRoute::DesktopIexplore, PageRoute::DesktopDefault};
        return {PageRoute::DesktopDefault};
    }
    // The user's override runs as administrator when started from here: neither Internet
    // Explorer chosen through it nor the handler itself.
    if (situation.perUserHandler)
        return {PageRoute::ShowAddress};
    if (situation.iexploreDefault)
        return {PageRoute::ElevatedIexplore, PageRoute::ElevatedDefault};
    return {PageRoute::ElevatedDefault};
}
