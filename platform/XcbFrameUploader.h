#pragma once

#include <xcb/xcb.h>

#include <cstdint>

class QImage;

// Puts frames into pixmaps of the X server through one graphics context, in the depth of one
// window: the upload that the stimulus surface and the old path's staged frame share. Only
// built with X.
class XcbFrameUploader {
  public:
    // True when pixels of `depth` are 32 bits in this host's byte order, so that a
    // QImage::Format_RGB32 row goes to the server as it is.
    static bool Takes32BitPixels(xcb_connection_t* c, std::uint8_t depth);

    XcbFrameUploader(xcb_connection_t* c, xcb_window_t window, std::uint8_t depth);
    ~XcbFrameUploader();  // while the connection is still open
    XcbFrameUploader(const XcbFrameUploader&) = delete;
    XcbFrameUploader& operator=(const XcbFrameUploader&) = delete;

    xcb_pixmap_t createPixmap(int width, int height) const;
    // 0 when the server refuses it (short of memory); waits for the server's answer.
    xcb_pixmap_t createPixmapChecked(int width, int height) const;
    // In strips that fit a request; queued, not flushed.
    void put(xcb_pixmap_t pixmap, const QImage& image) const;

    xcb_connection_t* connection() const { return m_c; }
    xcb_window_t window() const { return m_window; }
    xcb_gcontext_t gc() const { return m_gc; }

  private:
    xcb_connection_t* m_c;
    xcb_window_t m_window;
    xcb_gcontext_t m_gc;
    std::uint8_t m_depth;
};
