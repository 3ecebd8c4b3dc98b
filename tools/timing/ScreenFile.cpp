#include "ScreenFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "BenchFailure.h"

ScreenFile::ScreenFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) Die("cannot open the screen file " + path);
    struct stat st {};
    fstat(fd, &st);
    m_size = static_cast<std::size_t>(st.st_size);
    void* map = mmap(nullptr, m_size, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED) Die("cannot map the screen file");
    m_base = static_cast<const std::uint8_t*>(map);
    readHeader();
}

void ScreenFile::readHeader() {
    const auto field = [&](int i) {
        const std::uint8_t* p = m_base + 4 * i;
        return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
               (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
    };
    const std::uint32_t headerSize = field(0);
    m_width = static_cast<int>(field(4));
    m_height = static_cast<int>(field(5));
    m_bpp = static_cast<int>(field(11));
    m_stride = field(12);
    m_masks[0] = field(14);
    m_masks[1] = field(15);
    m_masks[2] = field(16);
    const std::uint32_t ncolors = field(19);
    m_offset = headerSize + ncolors * 12u;  // 12 bytes per XWDColor
    if (m_bpp != 32 || m_offset + m_stride * static_cast<std::size_t>(m_height) > m_size)
        Die("unexpected screen file layout (need a 24-bit Xvfb screen)");
}

Rgb ScreenFile::at(int x, int y) const {
    std::uint32_t p;
    std::memcpy(&p, m_base + m_offset + static_cast<std::size_t>(y) * m_stride + 4u * x, 4);
    return Rgb{Channel(p, m_masks[0]), Channel(p, m_masks[1]), Channel(p, m_masks[2])};
}

std::uint8_t ScreenFile::Channel(std::uint32_t p, std::uint32_t mask) {
    int shift = 0;
    while (mask && !(mask & 1u)) {
        mask >>= 1;
        ++shift;
    }
    return static_cast<std::uint8_t>((p >> shift) & mask);  // 8-bit channels at depth 24
}
