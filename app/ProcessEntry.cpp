// The exe's entry point, linked in place of the runtime's: it limits where libraries come
// from before anything else runs. The runtime's start-up, static constructors included (the
// framework's objects touch the shell and COM), comes after it, and so does every library
// that a system DLL pulls in later. The exe starts from a Downloads folder any program of the
// user can write to, with administrator rights.
#include "repair/SystemLibrary.h"

extern "C" int WinMainCRTStartup(void);

extern "C"
#if defined(__i386__)
    __attribute__((force_align_arg_pointer))
#endif
    int HalvexEntry(void)
{
    LimitLibrarySearch();
    return WinMainCRTStartup();
}
