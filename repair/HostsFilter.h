// Line filter of the hosts repair: which lines of the hosts file redirect the product's web
// domain. Plain bytes in, plain bytes out; the Win32 side only reads and writes the file.
#pragma once

#include <stddef.h>
#include <string>
#include <vector>

struct HostsFilterResult {
    std::string strKept;  // every kept line followed by CR LF, in file order
    size_t nRemoved = 0;  // lines dropped because the domain occurs after their first byte
};

// Splits the file's bytes into lines the way a text-mode read does (a line ends at LF, a
// CR LF pair counts as one LF, a last line without terminator counts) and drops each line in
// which the first occurrence of the domain starts after the line's first byte. A line is
// never edited. Every byte, NUL and Ctrl-Z included, is line content: stopping at a Ctrl-Z as
// a text-mode read does would drop the rest of the file when it is written back.
// removed, when given, receives the dropped lines (without their line ends), in file order.
HostsFilterResult FilterHostsText(const char *data, size_t size, const char *domain,
                                  std::vector<std::string> *removed = nullptr);
