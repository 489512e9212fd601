// The GIF block walk and frame cutting over byte buffers: the spinner the tool ships, the
// structures other encoders write, and damaged data cut at every offset. Every buffer is an
// allocation of its exact size, so the sanitizer sees any read past the data.
#include "gif/FrameSchedule.h"
#include "gif/GifBlockWalker.h"
#include "tests/gif/GifBuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

const std::vector<uint32_t> PALETTE = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};

struct Frame {
    uint32_t width, height, left, top, delay, disposal;
    bool operator==(const Frame &o) const
    {
        return width == o.width && height == o.height && left == o.left && top == o.top && delay == o.delay &&
               disposal == o.disposal;
    }
};

void PrintTo(const Frame &f, std::ostream *os)
{
    *os << f.width << "x" << f.height << "@" << f.left << "," << f.top << " delay " << f.delay << " disposal "
        << f.disposal;
}

Frame FrameOf(const GifFrameCut &c)
{
    return {c.nWidth, c.nHeight, c.nLeft, c.nTop, c.nDelay, c.nDisposal};
}

// The data in a heap block of exactly its size.
struct ExactCopy {
    explicit ExactCopy(const std::vector<uint8_t> &bytes, size_t size)
        : data(new uint8_t[size ? size : 1]), size(size)
    {
        std::copy(bytes.begin(), bytes.begin() + static_cast<long>(size), data.get());
    }
    std::unique_ptr<uint8_t[]> data;
    size_t size;
};

// What a walk of the data finds: its path, the frames it cuts and their stand-alone files.
struct Walk {
    GifLoadPath path = GIF_LOAD_STILL;
    size_t counted = 0;
    std::vector<GifFrameCut> cuts;
    std::vector<std::vector<uint8_t>> files;
    uint32_t screenWidth = 0, screenHeight = 0;
    size_t colourTableSize = 0;
    bool hasBackground = false;
    uint32_t background = 0;
};

Walk WalkData(const std::vector<uint8_t> &bytes, size_t size)
{
    ExactCopy copy(bytes, size);
    GifBlockWalker walker;
    walker.Attach(copy.data.get(), copy.size);
    Walk w;
    w.path = walker.Plan(&w.counted);
    w.screenWidth = walker.ScreenWidth();
    w.screenHeight = walker.ScreenHeight();
    w.colourTableSize = walker.ColourTableSize();
    w.hasBackground = walker.BackgroundColour(&w.background);
    GifFrameCut cut;
    while (walker.ExtractFrame(&cut)) {
        w.cuts.push_back(cut);
        std::unique_ptr<uint8_t[]> file(new uint8_t[walker.FrameFileSize(cut)]);
        EXPECT_TRUE(walker.WriteFrameFile(cut, file.get()));
        w.files.emplace_back(file.get(), file.get() + walker.FrameFileSize(cut));
    }
    return w;
}

Walk WalkData(const std::vector<uint8_t> &bytes)
{
    return WalkData(bytes, bytes.size());
}

// The kinds of the blocks after the global table, up to and including the trailer.
std::vector<GifBlockKind> BlockKinds(const std::vector<uint8_t> &bytes)
{
    ExactCopy copy(bytes, bytes.size());
    GifBlockWalker walker;
    walker.Attach(copy.data.get(), copy.size);
    std::vector<GifBlockKind> kinds;
    for (;;) {
        kinds.push_back(walker.BlockKindAt());
        if (kinds.back() == GIF_BLOCK_TRAILER || !walker.SkipBlock())
            return kinds;
    }
}

// A stand-alone frame file is a GIF of exactly that one frame, with the same screen.
void ExpectStandsAlone(const Walk &whole, size_t i)
{
    SCOPED_TRACE("frame file " + std::to_string(i));
    const Walk one = WalkData(whole.files[i]);
    EXPECT_EQ(one.path, GIF_LOAD_ONE_FRAME);
    ASSERT_EQ(one.cuts.size(), 1u);
    EXPECT_EQ(FrameOf(one.cuts[0]), FrameOf(whole.cuts[i]));
    EXPECT_EQ(one.cuts[0].nLength, whole.cuts[i].nLength);
    EXPECT_EQ(one.screenWidth, whole.screenWidth);
    EXPECT_EQ(one.screenHeight, whole.screenHeight);
    EXPECT_EQ(one.files[0], whole.files[i]);
}

const GifBlockKind C = GIF_BLOCK_CONTROL, I = GIF_BLOCK_IMAGE, T = GIF_BLOCK_TRAILER, M = GIF_BLOCK_COMMENT,
                   P = GIF_BLOCK_PLAIN_TEXT;

struct WalkCase {
    const char *name;
    std::function<std::vector<uint8_t>()> make;
    GifLoadPath path;
    std::vector<Frame> frames;
    // Blocks of each frame's stand-alone file; empty: not checked.
    std::vector<std::vector<GifBlockKind>> frameBlocks;
    // Anything else the case is about.
    std::function<void(const Walk &)> check;
};

void PrintTo(const WalkCase &c, std::ostream *os) { *os << c.name; }

std::vector<uint8_t> Spinner()
{
    return ReadFileBytes(HALVEX_SOURCE_DIR "/res/scan.gif");
}

const uint32_t NONE = GIF_NO_CONTROL_DELAY;

const WalkCase WALK_CASES[] = {
    {"Spinner", Spinner, GIF_LOAD_FRAMES,
     {{17, 17, 0, 0, 0, 1}, {1, 1, 0, 0, 0, 1}, {14, 14, 1, 1, 0, 1}, {14, 14, 1, 1, 0, 1}, {14, 14, 1, 1, 0, 1},
      {14, 14, 1, 1, 0, 1}, {14, 14, 1, 1, 0, 1}, {14, 14, 1, 1, 0, 1}},
     // The looping application extension belongs to no frame.
     std::vector<std::vector<GifBlockKind>>(8, {C, I, T}),
     [](const Walk &w) {
         EXPECT_EQ(w.screenWidth, 17u);
         EXPECT_EQ(w.screenHeight, 17u);
         EXPECT_EQ(w.colourTableSize, 768u);
         EXPECT_TRUE(w.hasBackground);
         EXPECT_EQ(w.background, 0xFFFFFFu);
         for (const std::vector<uint8_t> &file : w.files) {
             // Each control extension marks index 207, the white background entry, transparent.
             const size_t control = 13 + 768;
             EXPECT_EQ(file[control + 3] & 1, 1);
             EXPECT_EQ(file[control + 6], 207);
         }
     }},
    {"OneFrameIsAStillAtTheScreenSize",
     [] { return GifBuilder(5, 4, PALETTE).Control(0, 10).Fill(1, 1, 2, 2, 1).Trailer().Bytes(); },
     GIF_LOAD_ONE_FRAME, {{2, 2, 1, 1, 10, 0}}, {}, [](const Walk &w) {
         EXPECT_EQ(w.screenWidth, 5u);
         EXPECT_EQ(w.screenHeight, 4u);
     }},
    {"UnknownVersionIsStill",
     [] { return GifBuilder(4, 4, PALETTE, 0, "88a").Control(0, 10).Fill(0, 0, 4, 4, 1).Fill(0, 0, 4, 4, 2).Trailer().Bytes(); },
     GIF_LOAD_STILL, {}, {}, nullptr},
    {"OtherDataIsStill", [] { return std::vector<uint8_t>{'B', 'M', 0x3A, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0}; },
     GIF_LOAD_STILL, {}, {}, nullptr},
    {"NothingIsStill", [] { return std::vector<uint8_t>(); }, GIF_LOAD_STILL, {}, {}, nullptr},
    {"CommentBetweenControlAndImage",
     [] {
         return GifBuilder(8, 8, PALETTE)
             .Loop()
             .Control(2, 7)
             .Comment("between")
             .Fill(1, 2, 3, 4, 1)
             .Comment("after")
             .Control(3, 9)
             .Fill(0, 0, 8, 8, 2)
             .Trailer()
             .Bytes();
     },
     GIF_LOAD_FRAMES, {{3, 4, 1, 2, 7, 2}, {8, 8, 0, 0, 9, 3}},
     // The comment after the first image belongs to no frame.
     {{C, M, I, T}, {C, I, T}}, nullptr},
    {"FramesWithoutControlExtension",
     [] { return GifBuilder(6, 6, PALETTE).Fill(0, 0, 6, 6, 1).Fill(2, 2, 2, 2, 3).Trailer().Bytes(); },
     GIF_LOAD_FRAMES, {{6, 6, 0, 0, NONE, 0}, {2, 2, 2, 2, NONE, 0}}, {{I, T}, {I, T}}, nullptr},
    {"UnknownExtensionLabelStopsTheWalk",
     [] {
         return GifBuilder(4, 4, PALETTE)
             .Control(1, 5)
             .Fill(0, 0, 4, 4, 1)
             .Control(1, 6)
             .Fill(0, 0, 4, 4, 2)
             .Raw({0x21, 0x02, 0x03, 'a', 'b', 'c', 0x00})
             .Control(1, 7)
             .Fill(0, 0, 4, 4, 3)
             .Trailer()
             .Bytes();
     },
     GIF_LOAD_FRAMES, {{4, 4, 0, 0, 5, 1}, {4, 4, 0, 0, 6, 1}}, {}, nullptr},
    {"UnknownExtensionAfterTheFirstFrame",
     [] {
         return GifBuilder(4, 4, PALETTE)
             .Fill(0, 0, 4, 4, 1)
             .Raw({0x21, 0x02, 0x00})
             .Fill(0, 0, 4, 4, 2)
             .Trailer()
             .Bytes();
     },
     GIF_LOAD_ONE_FRAME, {{4, 4, 0, 0, NONE, 0}}, {}, nullptr},
    {"SecondControlExtensionBelongsToTheFrame",
     [] { return GifBuilder(4, 4, PALETTE).Control(2, 5).Control(3, 8).Fill(0, 0, 4, 4, 1).Fill(0, 0, 1, 1, 2).Trailer().Bytes(); },
     GIF_LOAD_FRAMES, {{4, 4, 0, 0, 5, 2}, {1, 1, 0, 0, NONE, 0}}, {{C, C, I, T}, {I, T}}, nullptr},
    {"PlainTextFrameCoversTheScreen",
     [] { return GifBuilder(64, 64, PALETTE).Control(1, 10).PlainText("hi").Control(1, 20).Fill(3, 4, 5, 6, 1).Trailer().Bytes(); },
     GIF_LOAD_FRAMES, {{64, 64, 0, 0, 10, 1}, {5, 6, 3, 4, 20, 1}}, {{C, P, T}, {C, I, T}}, nullptr},
    {"LocalColourTableIsPartOfTheImage",
     [] {
         // Descriptor with a 4-entry local table (12 bytes), then code size and data.
         return GifBuilder(4, 4, PALETTE)
             .Raw({0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x81, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 2, 2, 0x4C, 0x01, 0})
             .Fill(1, 1, 1, 1, 1)
             .Trailer()
             .Bytes();
     },
     GIF_LOAD_FRAMES, {{2, 2, 0, 0, NONE, 0}, {1, 1, 1, 1, NONE, 0}}, {{I, T}, {I, T}}, nullptr},
    {"NoGlobalColourTable",
     [] { return GifBuilder(3, 3, {}).Control(1, 10).Fill(0, 0, 3, 3, 0).Control(1, 10).Fill(0, 0, 3, 3, 1).Trailer().Bytes(); },
     GIF_LOAD_FRAMES, {{3, 3, 0, 0, 10, 1}, {3, 3, 0, 0, 10, 1}}, {}, [](const Walk &w) {
         EXPECT_EQ(w.colourTableSize, 0u);
         EXPECT_FALSE(w.hasBackground);
     }},
    {"BackgroundIndexPastASmallTable",
     [] { return GifBuilder(3, 3, {0x112233, 0x445566}, 200).Fill(0, 0, 3, 3, 1).Fill(0, 0, 3, 3, 0).Trailer().Bytes(); },
     GIF_LOAD_FRAMES, {{3, 3, 0, 0, NONE, 0}, {3, 3, 0, 0, NONE, 0}}, {}, [](const Walk &w) {
         EXPECT_EQ(w.colourTableSize, 6u);
         EXPECT_FALSE(w.hasBackground);
     }},
    {"BackgroundEntryOfTheTable",
     [] { return GifBuilder(3, 3, {0x112233, 0x445566}, 1).Fill(0, 0, 3, 3, 1).Trailer().Bytes(); },
     GIF_LOAD_ONE_FRAME, {{3, 3, 0, 0, NONE, 0}}, {}, [](const Walk &w) {
         EXPECT_TRUE(w.hasBackground);
         EXPECT_EQ(w.background, 0x665544u);
     }},
    {"GlobalTableCutShort",
     [] {
         // The background entry (index 50) lies past the bytes that are there.
         std::vector<uint8_t> b = GifBuilder(3, 3, std::vector<uint32_t>(256, 0), 50).Bytes();
         b.resize(13 + 100);
         return b;
     },
     GIF_LOAD_NOTHING, {}, {}, [](const Walk &w) { EXPECT_FALSE(w.hasBackground); }},
    {"NoFrameAtAll", [] { return GifBuilder(3, 3, PALETTE).Loop().Comment("x").Trailer().Bytes(); },
     GIF_LOAD_NOTHING, {}, {}, nullptr},
    {"ControlExtensionWithoutImage", [] { return GifBuilder(3, 3, PALETTE).Control(1, 10).Trailer().Bytes(); },
     GIF_LOAD_NOTHING, {}, {}, nullptr},
};

class GifWalkTable : public testing::TestWithParam<WalkCase> {};

TEST_P(GifWalkTable, FindsTheFrames)
{
    const WalkCase &c = GetParam();
    const std::vector<uint8_t> bytes = c.make();
    const Walk w = WalkData(bytes);
    EXPECT_EQ(w.path, c.path);
    std::vector<Frame> frames;
    for (const GifFrameCut &cut : w.cuts)
        frames.push_back(FrameOf(cut));
    if (c.path == GIF_LOAD_STILL) {
        EXPECT_TRUE(frames.empty());
    } else {
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(w.counted, frames.size());
    }
    for (size_t i = 0; i < w.files.size(); ++i) {
        // Header, screen and global table unchanged; the frame's own bytes; the trailer.
        const size_t header = 13 + w.colourTableSize;
        const std::vector<uint8_t> &file = w.files[i];
        ASSERT_EQ(file.size(), header + w.cuts[i].nLength + 1);
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + static_cast<long>(header), bytes.begin()));
        EXPECT_TRUE(std::equal(file.begin() + static_cast<long>(header), file.end() - 1,
                               bytes.begin() + static_cast<long>(w.cuts[i].nStart)));
        EXPECT_EQ(file.back(), 0x3B);
        ExpectStandsAlone(w, i);
        if (i < c.frameBlocks.size())
            EXPECT_EQ(BlockKinds(file), c.frameBlocks[i]) << "frame " << i;
    }
    if (c.check)
        c.check(w);
}

INSTANTIATE_TEST_SUITE_P(Walk, GifWalkTable, testing::ValuesIn(WALK_CASES),
                         [](const testing::TestParamInfo<WalkCase> &info) { return std::string(info.param.name); });

// Cut off at every offset, a GIF yields exactly the frames that lie wholly before the cut,
// and never a read past it.
TEST(GifTruncation, EveryOffsetYieldsOnlyWholeFrames)
{
    const std::vector<uint8_t> bytes = GifBuilder(16, 16, PALETTE)
                                           .Loop()
                                           .Control(2, 7, 0)
                                           .Comment("frame one")
                                           .Fill(0, 0, 16, 16, 1)
                                           .Fill(4, 4, 8, 8, 2)
                                           .Comment("between frames")
                                           .Control(3, 5)
                                           .PlainText("text")
                                           .Control(1, 4)
                                           .Raw({0x2C, 1, 0, 1, 0, 2, 0, 2, 0, 0x80, 9, 8, 7, 6, 5, 4, 2, 2,
                                                 0x4C, 0x01, 0})
                                           .Trailer()
                                           .Bytes();
    const Walk whole = WalkData(bytes);
    ASSERT_EQ(whole.cuts.size(), 4u);
    for (size_t n = 0; n <= bytes.size(); ++n) {
        SCOPED_TRACE("cut at " + std::to_string(n));
        const Walk part = WalkData(bytes, n);
        size_t whole_before = 0;
        while (whole_before < whole.cuts.size() &&
               whole.cuts[whole_before].nStart + whole.cuts[whole_before].nLength <= n)
            ++whole_before;
        ASSERT_EQ(part.cuts.size(), whole_before);
        EXPECT_EQ(part.counted, whole_before);
        for (size_t i = 0; i < whole_before; ++i) {
            EXPECT_EQ(FrameOf(part.cuts[i]), FrameOf(whole.cuts[i]));
            EXPECT_EQ(part.files[i], whole.files[i]);
        }
        GifLoadPath expected = GIF_LOAD_FRAMES;
        if (n < 6)
            expected = GIF_LOAD_STILL;
        else if (whole_before == 0)
            expected = GIF_LOAD_NOTHING;
        else if (whole_before == 1)
            expected = GIF_LOAD_ONE_FRAME;
        EXPECT_EQ(part.path, expected);
    }
}

// Each block measured on its own, at the edges of the data.
TEST(GifBlocks, LengthsStopAtTheEndOfTheData)
{
    struct Case {
        const char *name;
        std::vector<uint8_t> block;   // placed right after a 13-byte screen without a table
        GifBlockKind kind;
        long long length;
    } cases[] = {
        {"trailer", {0x3B}, GIF_BLOCK_TRAILER, 1},
        {"control extension, fixed length", {0x21, 0xF9, 0x04, 0, 0, 0, 0, 0}, GIF_BLOCK_CONTROL, 8},
        {"control extension cut short still measures 8", {0x21, 0xF9, 0x04, 0}, GIF_BLOCK_CONTROL, 8},
        {"comment", {0x21, 0xFE, 2, 'h', 'i', 0}, GIF_BLOCK_COMMENT, 6},
        {"comment without terminator", {0x21, 0xFE, 2, 'h', 'i'}, GIF_BLOCK_COMMENT, -1},
        {"comment whose sub-block runs past the end", {0x21, 0xFE, 9, 'h', 'i', 0}, GIF_BLOCK_COMMENT, -1},
        {"introducer alone", {0x21}, GIF_BLOCK_UNRECOGNISED, -1},
        {"unknown label", {0x21, 0x02, 0}, GIF_BLOCK_UNRECOGNISED, -1},
        {"unknown byte", {0x00}, GIF_BLOCK_UNRECOGNISED, -1},
        {"image descriptor cut before its packed byte", {0x2C, 0, 0, 0, 0, 1, 0, 1, 0}, GIF_BLOCK_IMAGE, -1},
        {"image with local table cut short", {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x87, 1, 2, 3}, GIF_BLOCK_IMAGE, -1},
        {"image", {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 1, 0x44, 0}, GIF_BLOCK_IMAGE, 14},
        {"application extension cut inside its fixed part", {0x21, 0xFF, 0x0B, 'N', 'E'}, GIF_BLOCK_APPLICATION, -1},
        {"plain text extension", {0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 0}, GIF_BLOCK_PLAIN_TEXT,
         16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = GifBuilder(1, 1, {}).Bytes();
        bytes.insert(bytes.end(), c.block.begin(), c.block.end());
        ExactCopy copy(bytes, bytes.size());
        GifBlockWalker walker;
        walker.Attach(copy.data.get(), copy.size);
        EXPECT_EQ(walker.BlockKindAt(), c.kind);
        EXPECT_EQ(walker.BlockLengthAt(), c.length);
        const bool fits = c.length > 0 && static_cast<size_t>(c.length) <= c.block.size();
        EXPECT_EQ(walker.SkipBlock(), fits);
        EXPECT_EQ(walker.ReadOffset(), 13 + (fits ? c.block.size() : 0));
    }
}

TEST(FrameSchedule, DelaysAndTheirTiming)
{
    struct Case {
        uint32_t delay;
        uint32_t ms;
    } delays[] = {{0, 100}, {4, 100}, {5, 50}, {7, 70}, {10, 100}, {65535, 655350}, {GIF_NO_CONTROL_DELAY, 4294967286u}};
    for (const Case &c : delays)
        EXPECT_EQ(FrameSchedule::DelayToMs(c.delay), c.ms) << "delay " << c.delay;

    FrameSchedule schedule;
    EXPECT_EQ(schedule.WaitAfterFrame(1000, 0), 100u);
    // Drawing took 3 ms: the next frame is still due 100 ms after this one was.
    EXPECT_EQ(schedule.WaitAfterFrame(1103, 0), 97u);
    EXPECT_EQ(schedule.WaitAfterFrame(1200, 7), 70u);
    // A stall of more than a whole frame: no burst, the schedule starts again from now.
    EXPECT_EQ(schedule.WaitAfterFrame(1500, 5), 50u);
    EXPECT_EQ(schedule.WaitAfterFrame(1551, 5), 49u);
    schedule.Restart();
    EXPECT_EQ(schedule.WaitAfterFrame(1560, 5), 50u);
    // The longest delay never turns into a wait without end.
    schedule.Restart();
    EXPECT_EQ(schedule.WaitAfterFrame(2000, GIF_NO_CONTROL_DELAY), 4294967286u);
}

} // namespace
