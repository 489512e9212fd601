// The exe's entry point, linked in place of the runtime's: it limits where libraries come
// from before anything else runs. The runtime's start-up, static constructors included (the
// framework's objects touch the shell and COM), comes after it, and so does every library
// that a system DLL pulls in later. The exe starts from a Downloads folder any program of the
// user can write to, with administrator rights.
#include "fw/SystemLibrary.h"

#include <windows.h>

extern "C" int WinMainCRTStartup(void);

// The exe's load configuration. Its DependentLoadFlags (the word after CSDVersion, which
// older headers call Reserved1) makes Windows 10 and later resolve the exe's load-time
// imports, and theirs, from the system directory only: that happens before any code of
// ours runs. The linker does not set the directory entry; tools/set_pe_directories.py
// points it at this section after the link.
constexpr IMAGE_LOAD_CONFIG_DIRECTORY MakeLoadConfig()
{
    IMAGE_LOAD_CONFIG_DIRECTORY config{};
    config.Size = sizeof(config);
    config.Reserved1 = 0x0800; // DependentLoadFlags: LOAD_LIBRARY_SEARCH_SYSTEM32
    return config;
}

extern "C" __attribute__((section(".ldcfg"), used)) const IMAGE_LOAD_CONFIG_DIRECTORY HalvexLoadConfig =
    MakeLoadConfig();

// The exe imports only kernel32 and the C runtime directly; every other system DLL is
// delay-loaded (cmake/DelayImports.cmake). The linker gathers the delay-import descriptors in
// ".text$2", sorted by section name: this empty one follows them, with no fill between
// (the alignment of theirs), and ends the table.
extern "C" __attribute__((section(".text$3"), used, aligned(4))) const IMAGE_DELAYLOAD_DESCRIPTOR
    HalvexDelayImportsEnd{};

extern "C"
#if defined(__i386__)
    __attribute__((force_align_arg_pointer))
#endif
    int HalvexEntry(void)
{
    // Keeps the section through the link's garbage collection.
    const void *volatile keep[] = {&HalvexLoadConfig, &HalvexDelayImportsEnd};
    (void)keep;
    LimitLibrarySearch();
    return WinMainCRTStartup();
}
