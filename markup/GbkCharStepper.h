// Character stepping by the rules of GBK: a byte 0x81-0xFE leads a two-byte character (when a
// byte follows it); every other byte is a character of its own. Plain C++.
#pragma once

#include "markup/CharStepper.h"

class GbkCharStepper : public CharStepper {
public:
    static bool IsLeadByte(unsigned char ch) { return ch >= 0x81 && ch <= 0xFE; }
    const char *Next(const char *p, const char *end) const override;
};
