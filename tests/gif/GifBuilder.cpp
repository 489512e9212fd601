#include "tests/gif/GifBuilder.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

const unsigned CODE_SIZE = 8;        // minimum LZW code size: indices 0 to 255
const unsigned CLEAR = 1u << CODE_SIZE;
const unsigned END = CLEAR + 1;
const unsigned CODE_BITS = CODE_SIZE + 1;
// Literals between clear codes: the decoder's table stays below 512 entries, so every code
// keeps CODE_BITS bits.
const size_t RUN = 200;

std::vector<uint8_t> EncodeLiterals(const std::vector<uint8_t> &pixels)
{
    std::vector<uint8_t> out;
    uint32_t acc = 0;
    unsigned bits = 0;
    auto emit = [&](unsigned code) {
        acc |= code << bits;
        bits += CODE_BITS;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % RUN == 0)
            emit(CLEAR);
        emit(pixels[i]);
    }
    emit(END);
    if (bits)
        out.push_back(static_cast<uint8_t>(acc & 0xFF));
    return out;
}

} // namespace

GifBuilder::GifBuilder(uint16_t width, uint16_t height, const std::vector<uint32_t> &palette, uint8_t background,
                       const char *version)
{
    const std::string header = std::string("GIF") + version;
    m_bytes.assign(header.begin(), header.end());
    Word(width);
    Word(height);
    unsigned bits = 1;
    while ((1u << bits) < palette.size())
        ++bits;
    m_bytes.push_back(palette.empty() ? 0x70 : static_cast<uint8_t>(0xF0 | (bits - 1)));
    m_bytes.push_back(background);
    m_bytes.push_back(0);
    if (palette.empty())
        return;
    for (unsigned i = 0; i < (1u << bits); ++i) {
        const uint32_t rgb = i < palette.size() ? palette[i] : 0;
        m_bytes.push_back(static_cast<uint8_t>(rgb >> 16));
        m_bytes.push_back(static_cast<uint8_t>(rgb >> 8));
        m_bytes.push_back(static_cast<uint8_t>(rgb));
    }
}

void GifBuilder::Word(uint16_t value)
{
    m_bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    m_bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void GifBuilder::SubBlocks(const std::vector<uint8_t> &data)
{
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        m_bytes.push_back(static_cast<uint8_t>(n));
        m_bytes.insert(m_bytes.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
    }
    m_bytes.push_back(0);
}

GifBuilder &GifBuilder::Loop()
{
    const std::string id = "NETSCAPE2.0";
    m_bytes.insert(m_bytes.end(), {0x21, 0xFF, 0x0B});
    m_bytes.insert(m_bytes.end(), id.begin(), id.end());
    m_bytes.insert(m_bytes.end(), {0x03, 0x01, 0x00, 0x00, 0x00});
    return *this;
}

GifBuilder &GifBuilder::Comment(const std::string &text)
{
    m_bytes.insert(m_bytes.end(), {0x21, 0xFE});
    SubBlocks(std::vector<uint8_t>(text.begin(), text.end()));
    return *this;
}

GifBuilder &GifBuilder::Control(unsigned disposal, uint16_t delay, int transparent)
{
    m_bytes.insert(m_bytes.end(), {0x21, 0xF9, 0x04});
    m_bytes.push_back(static_cast<uint8_t>((disposal & 7) << 2 | (transparent >= 0 ? 1 : 0)));
    Word(delay);
    m_bytes.push_back(static_cast<uint8_t>(transparent >= 0 ? transparent : 0));
    m_bytes.push_back(0);
    return *this;
}

GifBuilder &GifBuilder::Image(uint16_t left, uint16_t top, uint16_t width, uint16_t height,
                              const std::vector<uint8_t> &pixels)
{
    m_bytes.push_back(0x2C);
    Word(left);
    Word(top);
    Word(width);
    Word(height);
    m_bytes.push_back(0);
    m_bytes.push_back(CODE_SIZE);
    SubBlocks(EncodeLiterals(pixels));
    return *this;
}

GifBuilder &GifBuilder::Fill(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t index)
{
    return Image(left, top, width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height, index));
}

GifBuilder &GifBuilder::PlainText(const std::string &text)
{
    // Grid at 0,0 of 8 x 8 cells of 8 x 8 pixels, foreground 1, background 0.
    m_bytes.insert(m_bytes.end(), {0x21, 0x01, 0x0C, 0, 0, 0, 0, 64, 0, 64, 0, 8, 8, 1, 0});
    SubBlocks(std::vector<uint8_t>(text.begin(), text.end()));
    return *this;
}

GifBuilder &GifBuilder::Raw(const std::vector<uint8_t> &bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

GifBuilder &GifBuilder::Trailer()
{
    m_bytes.push_back(0x3B);
    return *this;
}

std::vector<uint8_t> ReadFileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
