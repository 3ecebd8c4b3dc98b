#ifdef ORVI_HAVE_XCB
#include "XcbFrameUploader.h"

#include <QImage>
#include <algorithm>
#include <cstdlib>

bool XcbFrameUploader::Takes32BitPixels(xcb_connection_t* c, std::uint8_t depth) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const auto hostOrder =
        Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != hostOrder) {
        return false;
    }
    bool pixel32 = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == depth) {
            pixel32 = f.data->bits_per_pixel == 32;
        }
    }
    return pixel32;
}

XcbFrameUploader::XcbFrameUploader(xcb_connection_t* c, xcb_window_t window, std::uint8_t depth)
    : m_c(c), m_window(window), m_gc(xcb_generate_id(c)), m_depth(depth) {
    const std::uint32_t noExposures = 0;
    xcb_create_gc(c, m_gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
}

XcbFrameUploader::~XcbFrameUploader() {
    xcb_free_gc(m_c, m_gc);
    xcb_flush(m_c);
}

xcb_pixmap_t XcbFrameUploader::createPixmap(int width, int height) const {
    const xcb_pixmap_t id = xcb_generate_id(m_c);
    xcb_create_pixmap(m_c, m_depth, id, m_window, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height));
    return id;
}

xcb_pixmap_t XcbFrameUploader::createPixmapChecked(int width, int height) const {
    const xcb_pixmap_t id = xcb_generate_id(m_c);
    xcb_generic_error_t* error =
        xcb_request_check(m_c, xcb_create_pixmap_checked(m_c, m_depth, id, m_window,
                                                         static_cast<std::uint16_t>(width),
                                                         static_cast<std::uint16_t>(height)));
    const bool refused = error != nullptr;
    std::free(error);
    return refused ? 0 : id;
}

void XcbFrameUploader::put(xcb_pixmap_t pixmap, const QImage& image) const {
    const int w = image.width(), h = image.height();
    const int stride = static_cast<int>(image.bytesPerLine());
    const std::uint64_t maxBytes = std::uint64_t{xcb_get_maximum_request_length(m_c)} * 4 - 64;
    const int rows = static_cast<int>(std::clamp<std::uint64_t>(maxBytes / stride, 1, 64));
    for (int y = 0; y < h; y += rows) {
        const int n = std::min(rows, h - y);
        xcb_put_image(m_c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, m_gc, static_cast<std::uint16_t>(w),
                      static_cast<std::uint16_t>(n), 0, static_cast<std::int16_t>(y), 0, m_depth,
                      static_cast<std::uint32_t>(n * stride), image.constScanLine(y));
    }
}
#endif
