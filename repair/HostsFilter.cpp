#include "repair/HostsFilter.h"

#include <string.h>

#include <algorithm>

HostsFilterResult FilterHostsText(const char *data, size_t size, const char *domain,
                                  std::vector<std::string> *removed)
{
    HostsFilterResult result;
    if (!data)
        size = 0;
    const char *pattern = domain ? domain : "";
    const size_t patternSize = strlen(pattern);
    result.strKept.reserve(size + size / 16 + 2);

    size_t pos = 0;
    while (pos < size) {
        const char *lineStart = data + pos;
        const char *lf = static_cast<const char *>(memchr(lineStart, '\n', size - pos));
        size_t lineSize = lf ? static_cast<size_t>(lf - lineStart) : size - pos;
        pos += lineSize + (lf ? 1 : 0);
        // CR LF is one line feed; any other CR stays in the line (CR CR LF keeps one CR).
        if (lf && lineSize > 0 && lineStart[lineSize - 1] == '\r')
            --lineSize;

        const char *lineEnd = lineStart + lineSize;
        const char *found = std::search(lineStart, lineEnd, pattern, pattern + patternSize);
        if (found != lineEnd && found != lineStart) {
            ++result.nRemoved;
            if (removed)
                removed->emplace_back(lineStart, lineSize);
            continue;
        }
        result.strKept.append(lineStart, lineSize);
        result.strKept.append("\r\n", 2);
    }
    return result;
}
