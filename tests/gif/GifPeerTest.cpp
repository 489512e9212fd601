// GIFs that other encoders wrote (tests/gif/make-peer-corpus.sh): the walk finds the frames,
// delays, disposal methods, sizes and positions that ImageMagick's identify reads in them.
#include "gif/GifBlockWalker.h"
#include "tests/gif/GifBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// One line of identify -format '%n %T %D %w %h %X %Y'.
struct PeerFrame {
    size_t count = 0;
    uint32_t delay = 0;
    std::string disposal;
    uint32_t width = 0, height = 0;
    long left = 0, top = 0;
};

std::vector<PeerFrame> ReadPeerFrames(const std::string &path)
{
    std::vector<PeerFrame> frames;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::istringstream s(line);
        PeerFrame f;
        s >> f.count >> f.delay >> f.disposal >> f.width >> f.height >> f.left >> f.top;
        if (s)
            frames.push_back(f);
    }
    return frames;
}

// ImageMagick's names of the disposal methods 0 to 3.
std::string DisposalName(uint32_t disposal)
{
    static const char *const NAMES[] = {"Undefined", "None", "Background", "Previous"};
    return disposal < 4 ? NAMES[disposal] : std::to_string(disposal);
}

TEST(GifPeers, WalkReadsWhatImageMagickReads)
{
    std::vector<std::string> gifs;
    for (const auto &entry : std::filesystem::directory_iterator(HALVEX_PEER_CORPUS))
        if (entry.path().extension() == ".gif")
            gifs.push_back(entry.path().string());
    std::sort(gifs.begin(), gifs.end());
    ASSERT_GE(gifs.size(), 10u) << "corpus in " HALVEX_PEER_CORPUS;

    bool sawSubFrame = false, sawNoControl = false;
    for (const std::string &path : gifs) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        const std::vector<PeerFrame> peer = ReadPeerFrames(path + ".frames");
        ASSERT_FALSE(peer.empty());

        GifBlockWalker walker;
        walker.Attach(bytes.data(), bytes.size());
        size_t counted = 0;
        const GifLoadPath loadPath = walker.Plan(&counted);
        EXPECT_EQ(loadPath, peer.size() == 1 ? GIF_LOAD_ONE_FRAME : GIF_LOAD_FRAMES);
        std::vector<GifFrameCut> cuts;
        GifFrameCut cut;
        while (walker.ExtractFrame(&cut))
            cuts.push_back(cut);
        ASSERT_EQ(cuts.size(), peer.size());
        EXPECT_EQ(counted, peer.size());
        for (size_t i = 0; i < cuts.size(); ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            const GifFrameCut &c = cuts[i];
            const PeerFrame &p = peer[i];
            EXPECT_EQ(p.count, peer.size());
            if (c.nDelay == GIF_NO_CONTROL_DELAY) {
                // No control extension: ImageMagick reads no delay and no disposal method.
                sawNoControl = true;
                EXPECT_EQ(p.delay, 0u);
                EXPECT_EQ(c.nDisposal, 0u);
            } else {
                EXPECT_EQ(c.nDelay, p.delay);
            }
            EXPECT_EQ(DisposalName(c.nDisposal), p.disposal);
            EXPECT_EQ(c.nWidth, p.width);
            EXPECT_EQ(c.nHeight, p.height);
            EXPECT_EQ(static_cast<long>(c.nLeft), p.left);
            EXPECT_EQ(static_cast<long>(c.nTop), p.top);
            sawSubFrame = sawSubFrame || c.nLeft != 0 || c.nTop != 0;
        }
    }
    // The corpus covers what it is meant to.
    EXPECT_TRUE(sawSubFrame);
    EXPECT_TRUE(sawNoControl);
}

} // namespace
