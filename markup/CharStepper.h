// Steps over one character of the multibyte code page, so a double-byte character is never
// cut in two. Plain C++.
#pragma once

class CharStepper {
public:
    virtual ~CharStepper() = default;

    // The start of the character after the one at p; p < end. Callers do not rely on the
    // answer being sane: the breaker clamps it into (p, end].
    virtual const char *Next(const char *p, const char *end) const = 0;
};
