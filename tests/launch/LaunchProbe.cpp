// Stand-in for a browser or the product: appends one line to the file named by
// HALVEX_LAUNCH_LOG: its own path, then each argument as it received it, tab-separated.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    char log[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("HALVEX_LAUNCH_LOG", log, MAX_PATH))
        return 1;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::FILE *f = std::fopen(log, "ab");
    if (!f)
        return 1;
    std::fputs(self, f);
    for (int i = 1; i < argc; ++i) {
        std::fputc('\t', f);
        std::fputs(argv[i], f);
    }
    std::fputc('\n', f);
    std::fclose(f);
    return 0;
}
