// Any byte sequence: the filter stays in bounds, and its output obeys the line rules.
#include "repair/HostsFilter.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char DOMAIN_NAME[] = "ab.c";
    const char *text = reinterpret_cast<const char *>(data);
    HostsFilterResult result = FilterHostsText(text, size, DOMAIN_NAME);

    size_t lines = 0;
    for (size_t i = 0; i < size; ++i)
        lines += text[i] == '\n';
    if (size > 0 && text[size - 1] != '\n')
        ++lines;
    // Kept text ends in CR LF, and never holds more lines than the input.
    const std::string &out = result.strKept;
    if (!out.empty() && (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0))
        abort();
    if (result.nRemoved > lines || out.size() > size + lines + 1)
        abort();
    // Filtering what was kept removes nothing more and changes nothing.
    HostsFilterResult again = FilterHostsText(out.data(), out.size(), DOMAIN_NAME);
    if (again.nRemoved != 0 || again.strKept != out)
        abort();
    return 0;
}
