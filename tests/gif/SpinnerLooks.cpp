#include "tests/gif/SpinnerLooks.h"

#include <algorithm>

SpinnerLooks::SpinnerLooks(const std::vector<PictureChange> &changes)
{
    // When each look was entered, in the order of looks.
    std::vector<std::vector<DWORD>> entered;
    for (const PictureChange &c : changes) {
        auto it = std::find(looks.begin(), looks.end(), c.pixels);
        if (it == looks.end()) {
            looks.push_back(c.pixels);
            entered.emplace_back();
            it = looks.end() - 1;
        }
        entered[static_cast<size_t>(it - looks.begin())].push_back(c.ms);
    }
    for (const std::vector<DWORD> &times : entered)
        for (size_t i = 1; i < times.size(); ++i)
            turns.push_back(times[i] - times[i - 1]);
    std::sort(turns.begin(), turns.end());
}
