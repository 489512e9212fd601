// TrustRoot.exe CERT.cer: trusts the test PKI's root in the Wine prefix it runs in (the demo
// does this before it starts the tool on a machine with signed fixtures).
#include "tests/support/TestRoot.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: TrustRoot CERT.cer\n");
        return 2;
    }
    if (!TrustTestRoot(argv[1])) {
        std::fprintf(stderr, "cannot trust %s\n", argv[1]);
        return 1;
    }
    return 0;
}
