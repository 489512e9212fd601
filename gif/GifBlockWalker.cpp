#include "gif/GifBlockWalker.h"

#include <cstring>

namespace {

const size_t HEADER_SIZE = 6;          // "GIF89a"
const size_t SCREEN_END = 13;          // header and logical screen descriptor
const size_t APPLICATION_FIXED = 14;   // introducer, label, size byte and 11 bytes
const size_t COMMENT_FIXED = 2;
const size_t CONTROL_LENGTH = 8;       // introducer, label, size 4, 4 bytes, terminator
const size_t PLAIN_TEXT_FIXED = 15;    // introducer, label, size 12, 12 bytes
const size_t IMAGE_FIXED = 11;         // descriptor (10) and the LZW code size byte

// Bytes of a colour table that the packed byte announces.
size_t ColourTableBytes(uint8_t packed)
{
    return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0;
}

} // namespace

GifBlockWalker::GifBlockWalker()
    : m_pData(nullptr), m_nDataSize(0), m_nReadOffset(0), m_nColourTableSize(0), m_bIsGif(false),
      m_nScreenWidth(0), m_nScreenHeight(0), m_nBackgroundIndex(0)
{
}

void GifBlockWalker::Attach(const uint8_t *pData, size_t nSize)
{
    Detach();
    m_bIsGif = pData && nSize >= HEADER_SIZE && memcmp(pData, "GIF", 3) == 0 &&
               (memcmp(pData + 3, "87a", 3) == 0 || memcmp(pData + 3, "89a", 3) == 0);
    if (!m_bIsGif)
        return;   // other data has no blocks to walk
    m_pData = pData;
    m_nDataSize = nSize;
    if (Has(0, SCREEN_END)) {
        m_nScreenWidth = Word(6);
        m_nScreenHeight = Word(8);
        m_nColourTableSize = ColourTableBytes(pData[10]);
        m_nBackgroundIndex = pData[11];
    }
    // A header cut short leaves the read offset past the end: the walk finds no block.
    RewindBlocks();
}

void GifBlockWalker::Detach()
{
    m_pData = nullptr;
    m_nDataSize = 0;
    m_nReadOffset = 0;
    m_nColourTableSize = 0;
    m_bIsGif = false;
    m_nScreenWidth = 0;
    m_nScreenHeight = 0;
    m_nBackgroundIndex = 0;
}

bool GifBlockWalker::Has(size_t nOffset, size_t nCount) const
{
    return nOffset <= m_nDataSize && nCount <= m_nDataSize - nOffset;
}

uint32_t GifBlockWalker::Word(size_t nOffset) const
{
    return static_cast<uint32_t>(m_pData[nOffset]) | static_cast<uint32_t>(m_pData[nOffset + 1]) << 8;
}

bool GifBlockWalker::BackgroundColour(uint32_t *pColour) const
{
    // The index may point past a small table; such an entry does not exist.
    const size_t entry = SCREEN_END + 3u * m_nBackgroundIndex;
    if (!m_bIsGif || !m_nColourTableSize || 3u * m_nBackgroundIndex + 3 > m_nColourTableSize || !Has(entry, 3))
        return false;
    *pColour = static_cast<uint32_t>(m_pData[entry]) | static_cast<uint32_t>(m_pData[entry + 1]) << 8 |
               static_cast<uint32_t>(m_pData[entry + 2]) << 16;
    return true;
}

GifLoadPath GifBlockWalker::Plan(size_t *pFrameCount)
{
    size_t count = 0;
    if (m_bIsGif) {
        RewindBlocks();
        while (SkipFrame())
            ++count;
        RewindBlocks();
    }
    if (pFrameCount)
        *pFrameCount = count;
    if (!m_bIsGif)
        return GIF_LOAD_STILL;
    if (count == 0)
        return GIF_LOAD_NOTHING;
    return count == 1 ? GIF_LOAD_ONE_FRAME : GIF_LOAD_FRAMES;
}

void GifBlockWalker::RewindBlocks()
{
    m_nReadOffset = SCREEN_END + m_nColourTableSize;
}

GifBlockKind GifBlockWalker::BlockKindAt() const
{
    if (!m_pData || !Has(m_nReadOffset, 1))
        return GIF_BLOCK_UNRECOGNISED;
    switch (m_pData[m_nReadOffset]) {
    case 0x2C:
        return GIF_BLOCK_IMAGE;
    case 0x3B:
        return GIF_BLOCK_TRAILER;
    case 0x21:
        break;
    default:
        return GIF_BLOCK_UNRECOGNISED;
    }
    if (!Has(m_nReadOffset, 2))
        return GIF_BLOCK_UNRECOGNISED;
    switch (m_pData[m_nReadOffset + 1]) {
    case 0xFF:
        return GIF_BLOCK_APPLICATION;
    case 0xFE:
        return GIF_BLOCK_COMMENT;
    case 0xF9:
        return GIF_BLOCK_CONTROL;
    case 0x01:
        return GIF_BLOCK_PLAIN_TEXT;
    default:
        return GIF_BLOCK_UNRECOGNISED;
    }
}

long long GifBlockWalker::SubBlocksLength(size_t nPosition) const
{
    if (!m_pData || nPosition > m_nDataSize)
        return -1;
    size_t p = nPosition;
    for (;;) {
        if (p >= m_nDataSize)
            return -1;
        const size_t n = m_pData[p++];
        if (n == 0)
            break;
        if (n > m_nDataSize - p)
            return -1;
        p += n;
    }
    return static_cast<long long>(p - nPosition);
}

long long GifBlockWalker::BlockLengthAt() const
{
    const size_t o = m_nReadOffset;
    size_t fixed = 0;
    switch (BlockKindAt()) {
    case GIF_BLOCK_UNRECOGNISED:
        return -1;
    case GIF_BLOCK_CONTROL:
        return CONTROL_LENGTH;   // fixed: the block's own size byte is not trusted
    case GIF_BLOCK_TRAILER:
        return 1;
    case GIF_BLOCK_APPLICATION:
        fixed = APPLICATION_FIXED;
        break;
    case GIF_BLOCK_COMMENT:
        fixed = COMMENT_FIXED;
        break;
    case GIF_BLOCK_PLAIN_TEXT:
        fixed = PLAIN_TEXT_FIXED;
        break;
    case GIF_BLOCK_IMAGE:
        // The packed byte at o + 9 announces a local colour table before the image data.
        if (!Has(o, 10))
            return -1;
        fixed = IMAGE_FIXED + ColourTableBytes(m_pData[o + 9]);
        break;
    }
    if (!Has(o, fixed))
        return -1;
    const long long chain = SubBlocksLength(o + fixed);
    return chain < 0 ? -1 : static_cast<long long>(fixed) + chain;
}

bool GifBlockWalker::SkipBlock()
{
    const long long length = BlockLengthAt();
    if (length <= 0 || !Has(m_nReadOffset, static_cast<size_t>(length)))
        return false;
    m_nReadOffset += static_cast<size_t>(length);
    return true;
}

bool GifBlockWalker::SkipLeadingExtensions()
{
    for (;;) {
        const GifBlockKind kind = BlockKindAt();
        if (kind != GIF_BLOCK_APPLICATION && kind != GIF_BLOCK_COMMENT)
            return true;
        if (!SkipBlock())
            return false;
    }
}

bool GifBlockWalker::SkipToGraphicBlock()
{
    for (;;) {
        switch (BlockKindAt()) {
        case GIF_BLOCK_IMAGE:
        case GIF_BLOCK_PLAIN_TEXT:
            return true;
        case GIF_BLOCK_TRAILER:
        case GIF_BLOCK_UNRECOGNISED:
            return false;
        default:
            // A second control extension is skipped like any other extension.
            if (!SkipBlock())
                return false;
        }
    }
}

bool GifBlockWalker::SkipFrame()
{
    if (!m_pData || !SkipLeadingExtensions())
        return false;
    const GifBlockKind kind = BlockKindAt();
    if (kind == GIF_BLOCK_TRAILER || kind == GIF_BLOCK_UNRECOGNISED)
        return false;
    if (kind == GIF_BLOCK_CONTROL && (!SkipBlock() || !SkipToGraphicBlock()))
        return false;
    return SkipBlock();
}

bool GifBlockWalker::ExtractFrame(GifFrameCut *pCut)
{
    if (!m_pData || !SkipLeadingExtensions())
        return false;
    const GifBlockKind kind = BlockKindAt();
    if (kind == GIF_BLOCK_TRAILER || kind == GIF_BLOCK_UNRECOGNISED)
        return false;

    GifFrameCut cut = {};
    cut.nStart = m_nReadOffset;
    cut.nDelay = GIF_NO_CONTROL_DELAY;
    if (kind == GIF_BLOCK_CONTROL) {
        // Skipping first proves the fixed eight bytes are there before any is read.
        if (!SkipBlock())
            return false;
        cut.nDisposal = (m_pData[cut.nStart + 3] >> 2) & 7;
        cut.nDelay = Word(cut.nStart + 4);
        if (!SkipToGraphicBlock())
            return false;
    }

    const size_t graphic = m_nReadOffset;
    const bool image = BlockKindAt() == GIF_BLOCK_IMAGE;
    if (!SkipBlock())
        return false;
    if (image) {
        cut.nLeft = Word(graphic + 1);
        cut.nTop = Word(graphic + 3);
        cut.nWidth = Word(graphic + 5);
        cut.nHeight = Word(graphic + 7);
    } else {
        // Text drawn on the logical screen: the frame covers all of it.
        cut.nWidth = m_nScreenWidth;
        cut.nHeight = m_nScreenHeight;
    }
    cut.nLength = m_nReadOffset - cut.nStart;
    *pCut = cut;
    return true;
}

size_t GifBlockWalker::FrameFileSize(const GifFrameCut &cut) const
{
    return SCREEN_END + m_nColourTableSize + cut.nLength + 1;
}

bool GifBlockWalker::WriteFrameFile(const GifFrameCut &cut, uint8_t *pOut) const
{
    // A cut of this walk lies after the header and the global table, and inside the data.
    const size_t header = SCREEN_END + m_nColourTableSize;
    if (!m_pData || cut.nStart < header || !Has(cut.nStart, cut.nLength))
        return false;
    memcpy(pOut, m_pData, header);
    memcpy(pOut + header, m_pData + cut.nStart, cut.nLength);
    pOut[header + cut.nLength] = 0x3B;
    return true;
}
