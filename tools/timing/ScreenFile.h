#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Canvas.h"

// Xvfb's screen file (-fbdir), mapped: an XWD header (big-endian) followed by the live
// framebuffer, so that a pixel is read without a round trip to the server.
class ScreenFile {
  public:
    explicit ScreenFile(const std::string& path);
    int width() const { return m_width; }
    int height() const { return m_height; }
    Rgb at(int x, int y) const;

  private:
    void readHeader();
    static std::uint8_t Channel(std::uint32_t p, std::uint32_t mask);

    const std::uint8_t* m_base = nullptr;
    std::size_t m_size = 0, m_offset = 0, m_stride = 0;
    int m_width = 0, m_height = 0, m_bpp = 0;
    std::uint32_t m_masks[3] = {0, 0, 0};
};
