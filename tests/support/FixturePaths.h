// Where the tests find the signed fixture programs that the build makes.
#pragma once

#include "tests/support/TestRoot.h"

#include <string>

// The Windows path of a file made by signing/make-fixtures.sh (maker.exe, other.exe, ...).
// HALVEX_SIGNING_DIR is the build tree's directory as a Unix path; Wine maps "/" to Z:.
inline std::string SigningFixturePath(const char *name)
{
    std::string path = std::string("Z:") + HALVEX_SIGNING_DIR + "/" + name;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// Trusts the root that issued the signed fixtures, so that they verify as genuine.
inline bool TrustSigningRoot()
{
    return TrustTestRoot(SigningFixturePath("root.cer"));
}
