// What ends the program when an exception escapes everything. The default handler prints the
// exception's demangled type to standard error, which a GUI program does not have; ending at
// once, as it does after printing, keeps its demangler (about 46 KiB) out of the shipped exe.
// Linked into the exe itself: a library object would come too late to replace the runtime's.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx
