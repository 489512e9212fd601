// Writes the seed inputs of the GIF walk fuzzer: GIFs of the shapes the walker tests use, and
// the tool's own spinner. Also writes seeds.txt, the comma-separated list libFuzzer reads.
//   gif_fuzz_seeds OUTDIR SPINNER_GIF
#include "tests/gif/GifBuilder.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s OUTDIR SPINNER_GIF\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<uint32_t> palette = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
    std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds = {
        {"spinner.gif", ReadFileBytes(argv[2])},
        {"comment-between.gif",
         GifBuilder(8, 8, palette).Loop().Control(2, 7, 0).Comment("between").Fill(1, 2, 3, 4, 1).Comment("after")
             .Control(3, 9).Fill(0, 0, 8, 8, 2).Trailer().Bytes()},
        {"no-control.gif", GifBuilder(6, 6, palette).Fill(0, 0, 6, 6, 1).Fill(2, 2, 2, 2, 3).Trailer().Bytes()},
        {"plain-text.gif",
         GifBuilder(64, 64, palette).Control(1, 10).PlainText("hi").Control(1, 20).Fill(3, 4, 5, 6, 1).Trailer().Bytes()},
        {"local-table.gif",
         GifBuilder(4, 4, {}, 0, "87a")
             .Raw({0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x81, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 2, 2, 0x4C, 0x01, 0})
             .Fill(1, 1, 1, 1, 1).Trailer().Bytes()},
        {"unknown-label.gif",
         GifBuilder(4, 4, palette).Control(1, 5).Fill(0, 0, 4, 4, 1).Raw({0x21, 0x02, 0x01, 'a', 0x00}).Control(1, 7)
             .Fill(0, 0, 4, 4, 3).Trailer().Bytes()},
    };
    std::string list;
    for (const auto &seed : seeds) {
        const std::string path = dir + "/" + seed.first;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char *>(seed.second.data()), static_cast<std::streamsize>(seed.second.size()));
        if (!out || seed.second.empty()) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        list += (list.empty() ? "" : ",") + path;
    }
    std::ofstream(dir + "/seeds.txt") << list;
    return 0;
}
