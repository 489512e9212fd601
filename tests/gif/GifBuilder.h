// Writes GIF files block by block for the tests: real, decodable image data (LZW with a clear
// code often enough that every code stays 9 bits wide), and any raw bytes where a test wants
// a damaged or unusual block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class GifBuilder {
public:
    // Header and logical screen descriptor; palette entries are 0xRRGGBB (none: no global
    // table). The table is padded to a power of two of at least 2 entries.
    GifBuilder(uint16_t width, uint16_t height, const std::vector<uint32_t> &palette, uint8_t background = 0,
               const char *version = "89a");

    // The looping application extension.
    GifBuilder &Loop();
    GifBuilder &Comment(const std::string &text);
    // Graphic control extension; transparent < 0 for none.
    GifBuilder &Control(unsigned disposal, uint16_t delay, int transparent = -1);
    // An image descriptor with its pixels (one palette index each, row by row).
    GifBuilder &Image(uint16_t left, uint16_t top, uint16_t width, uint16_t height,
                      const std::vector<uint8_t> &pixels);
    // An image of one colour.
    GifBuilder &Fill(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t index);
    // A plain text extension with one sub-block of text.
    GifBuilder &PlainText(const std::string &text);
    GifBuilder &Raw(const std::vector<uint8_t> &bytes);
    GifBuilder &Trailer();

    const std::vector<uint8_t> &Bytes() const { return m_bytes; }
    size_t Size() const { return m_bytes.size(); }

private:
    void Word(uint16_t value);
    void SubBlocks(const std::vector<uint8_t> &data);

    std::vector<uint8_t> m_bytes;
};

// A whole file (empty when it cannot be read).
std::vector<uint8_t> ReadFileBytes(const std::string &path);
