// The block structure of GIF data in memory: which blocks there are, how long each is, and
// the frames cut out as stand-alone one-frame GIFs that a picture loader can decode. Plain
// C++ over a byte buffer, so it runs under the sanitizers and the fuzzer natively too.
//
// Nothing outside the data is ever read: every block kind, packed byte, control-extension
// field and sub-block length is checked against the bytes that remain, so damaged or hostile
// data ends the walk at the damage and yields only the whole frames before it.
#pragma once

#include <cstddef>
#include <cstdint>

// The kinds of block the walk recognises, by the bytes at the read offset.
enum GifBlockKind {
    GIF_BLOCK_UNRECOGNISED = 0,   // anything else, including 0x21 with another label
    GIF_BLOCK_APPLICATION = 1,    // 0x21 0xFF
    GIF_BLOCK_COMMENT = 2,        // 0x21 0xFE
    GIF_BLOCK_CONTROL = 3,        // 0x21 0xF9, the graphic control extension
    GIF_BLOCK_PLAIN_TEXT = 4,     // 0x21 0x01
    GIF_BLOCK_IMAGE = 5,          // 0x2C, the image descriptor
    GIF_BLOCK_TRAILER = 6,        // 0x3B
};

// The delay of a frame that has no graphic control extension.
const uint32_t GIF_NO_CONTROL_DELAY = 0xFFFFFFFF;

// One frame as it lies in the data.
struct GifFrameCut {
    size_t nStart;        // offset of its first block: the control extension, when it has one
    size_t nLength;       // bytes from there to the end of its image or plain text block
    uint32_t nWidth;      // size and position within the logical screen, from the image
    uint32_t nHeight;     // descriptor; a plain text frame covers the whole logical screen
    uint32_t nLeft;
    uint32_t nTop;
    uint32_t nDelay;      // hundredths of a second; GIF_NO_CONTROL_DELAY without a control extension
    uint32_t nDisposal;   // 0 to 7; 0 without a control extension
};

// How a picture is loaded, decided by the data.
enum GifLoadPath {
    GIF_LOAD_STILL,       // not a GIF: the platform loader gets the whole data
    GIF_LOAD_NOTHING,     // a GIF without a single whole frame
    GIF_LOAD_ONE_FRAME,   // the whole data as one picture, at the logical screen size
    GIF_LOAD_FRAMES,      // two or more frames, each cut out and decoded on its own
};

class GifBlockWalker {
public:
    GifBlockWalker();

    // Takes the data (not copied: it must stay valid until Detach) and reads its header.
    void Attach(const uint8_t *pData, size_t nSize);
    void Detach();

    // "GIF87a" or "GIF89a".
    bool IsGif() const { return m_bIsGif; }
    uint32_t ScreenWidth() const { return m_nScreenWidth; }
    uint32_t ScreenHeight() const { return m_nScreenHeight; }
    // Bytes of the global colour table, 0 when there is none.
    size_t ColourTableSize() const { return m_nColourTableSize; }
    // The global table's entry at the background index as 0x00BBGGRR; false when the table
    // has no such entry.
    bool BackgroundColour(uint32_t *pColour) const;

    // Counts the whole frames and picks the path; the walk is rewound afterwards.
    GifLoadPath Plan(size_t *pFrameCount = nullptr);

    // The walk. Failures are reported as -1 or false and leave the data untouched.
    void RewindBlocks();
    GifBlockKind BlockKindAt() const;
    // Bytes of the data sub-block chain at nPosition, its terminator included; -1 when the
    // chain runs past the end of the data.
    long long SubBlocksLength(size_t nPosition) const;
    // Bytes of the block at the read offset; -1 when it cannot be measured.
    long long BlockLengthAt() const;
    bool SkipBlock();
    bool SkipFrame();
    bool ExtractFrame(GifFrameCut *pCut);
    size_t ReadOffset() const { return m_nReadOffset; }

    // The stand-alone GIF of a frame: the header, logical screen descriptor and global colour
    // table unchanged, the frame's blocks, a trailer.
    size_t FrameFileSize(const GifFrameCut &cut) const;
    // Writes it into pOut, which holds FrameFileSize(cut) bytes; false for a cut that is not
    // one of this data's.
    bool WriteFrameFile(const GifFrameCut &cut, uint8_t *pOut) const;

private:
    bool Has(size_t nOffset, size_t nCount) const;
    uint32_t Word(size_t nOffset) const;
    // Skips application and comment extensions.
    bool SkipLeadingExtensions();
    // After a control extension: skips up to the image descriptor or plain text extension.
    bool SkipToGraphicBlock();

    const uint8_t *m_pData;
    size_t m_nDataSize;
    size_t m_nReadOffset;
    size_t m_nColourTableSize;
    bool m_bIsGif;
    uint32_t m_nScreenWidth;
    uint32_t m_nScreenHeight;
    uint8_t m_nBackgroundIndex;
};
