// Any bytes: the walk stays inside the data, counts what it cuts, and every frame it cuts is a
// GIF of exactly that one frame.
#include "gif/GifBlockWalker.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

bool SameFrame(const GifFrameCut &a, const GifFrameCut &b)
{
    return a.nLength == b.nLength && a.nWidth == b.nWidth && a.nHeight == b.nHeight && a.nLeft == b.nLeft &&
           a.nTop == b.nTop && a.nDelay == b.nDelay && a.nDisposal == b.nDisposal;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    GifBlockWalker walker;
    walker.Attach(data, size);
    uint32_t colour = 0;
    walker.BackgroundColour(&colour);
    size_t counted = 0;
    const GifLoadPath path = walker.Plan(&counted);
    if (path == GIF_LOAD_STILL && (walker.IsGif() || counted != 0))
        abort();
    if (path == GIF_LOAD_ONE_FRAME && counted != 1)
        abort();

    const size_t header = 13 + walker.ColourTableSize();
    size_t cuts = 0;
    size_t end = header;
    GifFrameCut cut;
    while (walker.ExtractFrame(&cut)) {
        ++cuts;
        // In file order, after the header, inside the data.
        if (cut.nStart < end || cut.nLength == 0 || cut.nLength > size || cut.nStart > size - cut.nLength)
            abort();
        end = cut.nStart + cut.nLength;

        const size_t fileSize = walker.FrameFileSize(cut);
        std::unique_ptr<uint8_t[]> file(new uint8_t[fileSize]);
        if (fileSize != header + cut.nLength + 1 || !walker.WriteFrameFile(cut, file.get()))
            abort();
        GifBlockWalker one;
        one.Attach(file.get(), fileSize);
        size_t oneCount = 0;
        GifFrameCut again;
        if (one.Plan(&oneCount) != GIF_LOAD_ONE_FRAME || !one.ExtractFrame(&again) || !SameFrame(again, cut) ||
            one.ExtractFrame(&again))
            abort();
    }
    if (cuts != counted)
        abort();
    // A cut that is not one of this data's is refused, not copied.
    GifFrameCut bogus = {};
    bogus.nStart = size;
    bogus.nLength = 1;
    std::unique_ptr<uint8_t[]> sink(new uint8_t[walker.FrameFileSize(bogus)]);
    if (walker.WriteFrameFile(bogus, sink.get()))
        abort();
    return 0;
}
