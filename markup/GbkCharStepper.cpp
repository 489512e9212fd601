#include "markup/GbkCharStepper.h"

const char *GbkCharStepper::Next(const char *p, const char *end) const
{
    if (p >= end)
        return end;
    if (IsLeadByte(static_cast<unsigned char>(*p)) && end - p >= 2)
        return p + 2;
    return p + 1;
}
