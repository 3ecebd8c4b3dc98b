#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FrameGrid.h"

class PreciseTimer;
class QSocketNotifier;
struct xcb_ge_generic_event_t;
struct xcb_present_complete_notify_event_t;

// A child window of the program's top-level window that Qt knows nothing of and so never paints
// into, shown to through the X Present extension:
// each frame is uploaded to a pixmap of the server ahead of time and presented on a vertical
// blank of the display's own counter, and its completion tells when and how it was shown.
// Runs on its own xcb connection, whose events a socket notifier reads. It takes no input:
// presses go on to the top-level window, as if it were not there.
class PresentSurface : public QObject {
    Q_OBJECT
  public:
    // Which display path this connection offers: "X11+Present", "X11 without Present" or
    // "XWayland" (whose timestamps are software timers, not scanout). Only the first has
    // vertical-blank timing.
    static std::string Probe(void* xcbConnection);
    // The refresh period of the first active CRTC's mode; 0 where the dot clock is unknown.
    static double RandrPeriodUs(void* xcbConnection, std::uint32_t root);
    // Sets _NET_WM_BYPASS_COMPOSITOR=1 on a top-level window.
    static void AskToBypassCompositor(void* xcbConnection, std::uint32_t window);

    // Null, with the reason in `why`, when the display offers no vertical-blank timing.
    // Covers `area` (device pixels) of the top-level X window `topLevel`.
    static std::unique_ptr<PresentSurface> Open(std::uint32_t topLevel, const QRect& area,
                                                std::string& why);
    ~PresentSurface() override;

    // How a frame ended: its onset (ust, ms on the monotonic clock), the blank it was aimed at
    // and the one it landed on, and how the server showed it.
    struct Shown {
        std::uint32_t serial;
        double onsetMs;
        std::uint64_t target, msc;
        const char* mode;  // "flip", "copy" or "skip"
        bool missed;
    };
    std::function<void(const Shown&)> onShown;
    // A frame's request went to the server: from here on it is the picture of record.
    std::function<void(std::uint32_t serial)> onSent;
    std::function<void()> onExposed;  // the window lost its picture and needs the latest again
    // The startup check went wrong: no more frames can be trusted to this surface.
    std::function<void(const std::string& why)> onFailed;

    // Uploads the frame now and shows it at the first blank at or after deadlineMs, sent at
    // least a frame plus 2 ms ahead. With afterSerial, the deadline counts delayMs from that
    // frame's onset once it is known. Returns the frame's serial.
    std::uint32_t schedule(const QImage& image, double deadlineMs);
    std::uint32_t scheduleAfter(const QImage& image, std::uint32_t afterSerial, double delayMs);
    // Shows the frame delayMs after the blank `msc` (one that a frame landed on), in whole frames.
    std::uint32_t scheduleAfterBlank(const QImage& image, std::uint64_t msc, double delayMs);
    // Uploads and shows the frame as soon as the display can: at the next blank that a request
    // sent now can reach, or at once when no frame is on its way.
    std::uint32_t showSoon(const QImage& image);
    // Withdraws a frame: unsent, it is dropped; sent, the next frame takes its blank.
    void withdraw(std::uint32_t serial);
    // A frame is scheduled or on its way whose onset is not known yet.
    bool pending(std::uint32_t serial) const;

    // Rectangles that hold every pixel that differs, banded row by row (runs a few pixels
    // apart are joined); none when no pixel differs, the whole of `after` when the two cannot
    // be compared.
    static std::vector<QRect> ChangedAreas(const QImage& before, const QImage& after);

    void setGeometry(const QRect& area);
    // Qt's pointer tracking stops at this window, so it carries the blank cursor itself.
    void setBlankCursor(bool blank);

  private:
    struct Connection;
    struct Frame;
    PresentSurface();
    bool start(std::uint32_t topLevel, const QRect& area, std::string& why);
    std::uint32_t openWindow(std::uint32_t topLevel, const QRect& area, std::string& why);
    void listen();
    std::uint32_t enqueue(const QImage& image, double deadlineUs, std::uint32_t after,
                          double delayUs, bool soon, std::uint64_t baseMsc = 0);
    int freePixmap(int width, int height);
    int upload(const QImage& image);
    std::uint64_t aim(const Frame& frame, double nowUs) const;
    double sendLeadUs() const;
    double sendTimeUs(const Frame& frame, double nowUs) const;
    void armSend();
    void askForBlank();
    void sendDue();
    void send(Frame& frame, double nowUs);
    std::uint32_t updateRegion(Frame& frame);
    void readEvents();
    // False when the surface failed and reads no further.
    bool presentEvent(const xcb_ge_generic_event_t& event);
    // A blank notification: the clock check's answer, or a blank that teaches the grid.
    bool blankNotified(const xcb_present_complete_notify_event_t& done);
    void frameCompleted(const xcb_present_complete_notify_event_t& done);
    void timeFollowers(std::uint32_t serial, const xcb_present_complete_notify_event_t& done);
    void readQueuedLater();
    void fail(const std::string& why);

    std::unique_ptr<Connection> m_x;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<PreciseTimer> m_sendTimer;
    std::vector<std::unique_ptr<Frame>> m_frames;  // scheduled or on the way, oldest first
    FrameGrid m_grid;
    std::uint32_t m_nextSerial = 1;
    std::uint64_t m_lastTarget = 0;  // the blank the latest sent frame was aimed at
    bool m_ticking = false;          // a blank notification is on its way
    double m_clockCheckSentUs = 0;
    bool m_failed = false;
    bool m_readPosted = false;
    QImage m_lastSent;        // the latest frame sent, against which the next one is compared
    bool m_wholeNext = true;  // the window's picture may be lost: the next frame goes whole
};
