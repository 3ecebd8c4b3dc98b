// orvi-bench: measures orvi from outside, as a photodiode and a button box would.
//
// It starts the program on an X server whose screen Xvfb keeps in a file (-fbdir), watches the
// pixels of that file for the face, clicks an eye through XTest a chosen delay D after it saw
// the face, and compares what orvi recorded with what happened on the screen. The sound goes
// to SDL's disk driver and is analysed in samples afterwards.
//
//   orvi-bench --orvi-dir DIR --fb FILE [--runs N] [--out DIR] [--seed S] [--blink-phases N]
//              [--poll-us US]
//
// DIR holds the program, orvi.ini and the cue sounds; FILE is Xvfb's screen file.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "FaceGeometry.h"
#include "FaceRenderer.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Clock

double NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

void SleepMs(double ms) {
    if (ms <= 0) return;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000.0);
    ts.tv_nsec = static_cast<long>((ms - static_cast<double>(ts.tv_sec) * 1000.0) * 1e6);
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}

// Sleeps to just short of the deadline, then spins: the click must leave on time.
void WaitUntilMs(double deadline) {
    const double coarse = deadline - NowMs() - 0.3;
    SleepMs(coarse);
    while (NowMs() < deadline) {
    }
}

pid_t g_orvi = -1;  // the program under test, ended when the bench gives up

[[noreturn]] void Die(const std::string& what) {
    std::fprintf(stderr, "orvi-bench: %s\n", what.c_str());
    if (g_orvi > 0) {
        kill(g_orvi, SIGTERM);
        waitpid(g_orvi, nullptr, 0);
    }
    std::exit(1);
}

// ---------------------------------------------------------------------------------------------
// Xvfb's screen file: an XWD header (big-endian) followed by the live framebuffer.

class ScreenFile {
  public:
    explicit ScreenFile(const std::string& path) {
        const int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0) Die("cannot open the screen file " + path);
        struct stat st {};
        fstat(fd, &st);
        m_size = static_cast<std::size_t>(st.st_size);
        void* map = mmap(nullptr, m_size, PROT_READ, MAP_SHARED, fd, 0);
        close(fd);
        if (map == MAP_FAILED) Die("cannot map the screen file");
        m_base = static_cast<const std::uint8_t*>(map);
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
    int width() const { return m_width; }
    int height() const { return m_height; }
    Rgb at(int x, int y) const {
        std::uint32_t p;
        std::memcpy(&p, m_base + m_offset + static_cast<std::size_t>(y) * m_stride + 4u * x, 4);
        return Rgb{Channel(p, m_masks[0]), Channel(p, m_masks[1]), Channel(p, m_masks[2])};
    }

  private:
    static std::uint8_t Channel(std::uint32_t p, std::uint32_t mask) {
        int shift = 0;
        while (mask && !(mask & 1u)) {
            mask >>= 1;
            ++shift;
        }
        return static_cast<std::uint8_t>((p >> shift) & mask);  // 8-bit channels at depth 24
    }
    const std::uint8_t* m_base = nullptr;
    std::size_t m_size = 0, m_offset = 0, m_stride = 0;
    int m_width = 0, m_height = 0, m_bpp = 0;
    std::uint32_t m_masks[3] = {0, 0, 0};
};

// ---------------------------------------------------------------------------------------------
// Where the face's telltale pixels are, computed from the same table the renderer draws from.

struct FaceAt {
    int viewpoint = -1;
    int eyeX[2] = {0, 0}, eyeY[2] = {0, 0};
    int seedX = 0, seedY = 0;
};

FaceAt Layout(int v, int w, int h) {
    SceneState placed{};
    FaceRenderer::PlaceEyes(w, h, v, placed);
    const PixelPoint seed =
        FaceRenderer::ToPixel(w, h, kFaceGeometry[v].fillSeed.x, kFaceGeometry[v].fillSeed.y);
    FaceAt f;
    f.viewpoint = v;
    for (int e = 0; e < 2; ++e) f.eyeX[e] = placed.eyeX[e], f.eyeY[e] = placed.eyeY[e];
    f.seedX = seed.x;
    f.seedY = seed.y;
    return f;
}

constexpr Rgb kWhite = FaceRenderer::kWhite, kRed = FaceRenderer::kRed,
              kBlack = FaceRenderer::kBlack;

bool IsEye(Rgb c) { return c == kWhite || c == kRed; }

// A face is on screen when some viewpoint's hair seed is black and both its eye centres are
// eye-coloured: three pixels a photodiode could sit on.
int FaceShown(const ScreenFile& screen, const FaceAt (&layouts)[kViewpointCount]) {
    for (int v = 0; v < kViewpointCount; ++v) {
        const FaceAt& f = layouts[v];
        if (screen.at(f.seedX, f.seedY) == kBlack && IsEye(screen.at(f.eyeX[0], f.eyeY[0])) &&
            IsEye(screen.at(f.eyeX[1], f.eyeY[1])))
            return v;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------
// X input and windows.

class XInput {
  public:
    XInput() {
        m_display = XOpenDisplay(nullptr);
        if (!m_display) Die("cannot open the X display");
        int a, b, c, d;
        if (!XTestQueryExtension(m_display, &a, &b, &c, &d)) Die("the X server lacks XTest");
        m_netWmName = XInternAtom(m_display, "_NET_WM_NAME", False);
        m_utf8 = XInternAtom(m_display, "UTF8_STRING", False);
    }
    ~XInput() { XCloseDisplay(m_display); }

    // Sends one key press and release; returns the clock as the press was written out.
    double Key(KeySym sym) {
        const KeyCode code = XKeysymToKeycode(m_display, sym);
        const KeyCode shift = XKeysymToKeycode(m_display, XK_Shift_L);
        const bool shifted = XkbKeycodeToKeysym(m_display, code, 0, 0) != sym;
        if (shifted) XTestFakeKeyEvent(m_display, shift, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        const double sent = NowMs();  // the request leaves in the write below
        XFlush(m_display);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        if (shifted) XTestFakeKeyEvent(m_display, shift, False, CurrentTime);
        XFlush(m_display);
        return sent;
    }

    void Type(const std::string& text) {
        for (char ch : text) {
            Key(static_cast<KeySym>(static_cast<unsigned char>(ch)));  // Latin-1 keysyms
            SleepMs(5);
        }
    }

    void MoveTo(int x, int y) {
        XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
        XFlush(m_display);
    }

    double Press() {
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        const double sent = NowMs();
        XFlush(m_display);
        return sent;
    }

    void Release() {
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
        XSync(m_display, False);
    }

    // A viewable top-level window titled exactly `title`; 0 when there is none yet.
    Window Find(const std::string& title) {
        Window root = DefaultRootWindow(m_display), parent, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, root, &root, &parent, &children, &count)) return 0;
        Window found = 0;
        for (unsigned int i = 0; i < count && !found; ++i) {
            XWindowAttributes attrs;
            if (!XGetWindowAttributes(m_display, children[i], &attrs) ||
                attrs.map_state != IsViewable)
                continue;
            if (Title(children[i]) == title) found = children[i];
        }
        if (children) XFree(children);
        return found;
    }

    Window WaitFor(const std::string& title, double timeoutMs) {
        const double end = NowMs() + timeoutMs;
        for (;;) {
            if (Window w = Find(title)) return w;
            if (NowMs() > end) Die("no window titled '" + title + "'");
            SleepMs(50);
        }
    }

    void Focus(Window w) {
        XRaiseWindow(m_display, w);
        XSetInputFocus(m_display, w, RevertToPointerRoot, CurrentTime);
        XSync(m_display, False);
        SleepMs(300);  // Qt activates the window on FocusIn, through its event loop
    }

  private:
    std::string Title(Window w) {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = nullptr;
        std::string title;
        if (XGetWindowProperty(m_display, w, m_netWmName, 0, 256, False, m_utf8, &type, &format, &n,
                               &after, &data) == Success &&
            data) {
            title.assign(reinterpret_cast<char*>(data), n);
            XFree(data);
        }
        if (title.empty()) {
            char* name = nullptr;
            if (XFetchName(m_display, w, &name) && name) {
                title = name;
                XFree(name);
            }
        }
        return title;
    }

    Display* m_display = nullptr;
    Atom m_netWmName = 0, m_utf8 = 0;
};

// ---------------------------------------------------------------------------------------------
// Statistics.

struct Summary {
    std::size_t n = 0;
    double mean = NAN, sd = NAN, median = NAN, min = NAN, max = NAN;
};

Summary Summarise(std::vector<double> v) {
    Summary s;
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
    s.n = v.size();
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    s.mean = sum / static_cast<double>(s.n);
    double ss = 0;
    for (double x : v) ss += (x - s.mean) * (x - s.mean);
    s.sd = s.n > 1 ? std::sqrt(ss / static_cast<double>(s.n - 1)) : 0.0;
    s.median = s.n % 2 ? v[s.n / 2] : (v[s.n / 2 - 1] + v[s.n / 2]) / 2;
    s.min = v.front();
    s.max = v.back();
    return s;
}

// ---------------------------------------------------------------------------------------------
// What orvi wrote: its timing trace and its record files.

struct TraceEvent {
    std::string name;
    double ms;
    std::vector<std::string> more;  // a present line's what, target_msc, msc, mode
};

std::vector<TraceEvent> ReadTrace(const std::string& path) {
    std::vector<TraceEvent> events;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        TraceEvent e;
        long long us;
        if (!(fields >> e.name >> us)) continue;
        e.ms = static_cast<double>(us) / 1000.0;
        for (std::string f; fields >> f;) e.more.push_back(f);
        events.push_back(std::move(e));
    }
    return events;
}

// Reaction times (column 5) of a record file's trial lines, in file order.
std::vector<double> ReadRecordTimes(const std::string& path) {
    std::vector<double> times;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] < '0' || line[0] > '9') continue;
        std::istringstream fields(line);
        std::string f[5];
        for (auto& x : f) fields >> x;
        times.push_back(std::atof(f[4].c_str()));
    }
    return times;
}

std::vector<int> ReadSettings(const std::string& path) {
    std::vector<int> values;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line) && values.size() < 6;)
        values.push_back(std::atoi(line.c_str()));
    if (values.size() < 5) Die("cannot read the settings in " + path);
    return values;
}

// ---------------------------------------------------------------------------------------------
// Sound: SDL's disk driver writes the device format, 48 kHz interleaved S16 stereo.

constexpr int kRate = 48000;
constexpr double kFirstRedMs = 500;  // the practice's first red phase is fixed

struct Frames {
    std::vector<std::int16_t> s;  // interleaved L, R
    std::size_t count() const { return s.size() / 2; }
    std::int16_t l(std::size_t i) const { return s[2 * i]; }
    std::int16_t r(std::size_t i) const { return s[2 * i + 1]; }
    bool silent(std::size_t i) const { return l(i) == 0 && r(i) == 0; }
    bool same(std::size_t i, const Frames& o, std::size_t j) const {
        return l(i) == o.l(j) && r(i) == o.r(j);
    }
};

Frames ReadRaw(const std::string& path) {
    Frames f;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    f.s.resize(bytes.size() / 4 * 2);
    std::memcpy(f.s.data(), bytes.data(), f.s.size() * 2);
    return f;
}

// The PCM of a 16-bit stereo 48 kHz WAV file; empty for any other format.
Frames ReadWav(const std::string& path) {
    Frames f;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, b.data() + at, 4);
        return v;
    };
    const auto u16 = [&](std::size_t at) {
        std::uint16_t v;
        std::memcpy(&v, b.data() + at, 2);
        return v;
    };
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4))
        return f;
    bool pcmOk = false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::uint32_t len = u32(at + 4);
        if (!std::memcmp(b.data() + at, "fmt ", 4) && len >= 16)
            pcmOk = u16(at + 8) == 1 && u16(at + 10) == 2 && u32(at + 12) == kRate &&
                    u16(at + 22) == 16;
        if (!std::memcmp(b.data() + at, "data", 4) && pcmOk) {
            const std::size_t n = std::min<std::size_t>(len, b.size() - at - 8) / 4 * 2;
            f.s.resize(n);
            std::memcpy(f.s.data(), b.data() + at + 8, n * 2);
            return f;
        }
        at += 8 + len + (len & 1);
    }
    return f;
}

struct Beep {
    double start;     // sub-sample frame of the tone's zero phase
    std::size_t end;  // frame after its last sounding sample
    double hz;
    double length() const { return static_cast<double>(end) - start; }
};

// The beep is the only sound on both channels at once. Its frequency and start come from a
// straight-line fit to its rising zero crossings, so neither rests on the tone's amplitude.
std::vector<Beep> FindBeeps(const Frames& cap) {
    std::vector<Beep> beeps;
    const std::size_t n = cap.count();
    constexpr std::size_t kSilence = 64;  // longer than any zero inside a tone
    std::size_t i = 0;
    while (i < n) {
        if (cap.silent(i) || cap.l(i) != cap.r(i)) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        std::size_t last = i, quiet = 0;
        for (; i < n && quiet < kSilence; ++i) {
            if (cap.silent(i)) {
                ++quiet;
                continue;
            }
            if (cap.l(i) != cap.r(i)) break;
            quiet = 0;
            last = i;
        }
        if (last - first < 200) continue;
        std::vector<double> crossings;
        const std::size_t from = first > 0 ? first - 1 : 0;
        for (std::size_t k = from; k < last; ++k) {
            const double a = cap.l(k), b = cap.l(k + 1);
            if (a <= 0 && b > 0) crossings.push_back(static_cast<double>(k) + (-a) / (b - a));
        }
        const double m = static_cast<double>(crossings.size());
        if (m < 3) continue;
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (std::size_t k = 0; k < crossings.size(); ++k) {
            const double x = static_cast<double>(k);
            sx += x;
            sy += crossings[k];
            sxx += x * x;
            sxy += x * crossings[k];
        }
        const double period = (m * sxy - sx * sy) / (m * sxx - sx * sx);
        const double t0 = (sy - period * sx) / m;
        beeps.push_back({t0, last + 1, kRate / period});
    }
    return beeps;
}

struct CueStart {
    std::size_t at;       // frame of the cue's first sample
    int cue;              // 0, 1
    std::size_t matched;  // frames that equal the cue from there on
};

// Every place where one of the cues starts, found by its exact samples.
std::vector<CueStart> FindCueStarts(const Frames& cap, const Frames (&cues)[2]) {
    std::vector<CueStart> starts;
    for (int c = 0; c < 2; ++c) {
        const Frames& cue = cues[c];
        std::size_t j0 = 0;
        while (j0 < cue.count() && cue.silent(j0)) ++j0;
        if (j0 + 64 > cue.count()) continue;
        for (std::size_t x = j0; x < cap.count(); ++x) {
            if (!cap.same(x, cue, j0)) continue;
            const std::size_t at = x - j0;
            std::size_t k = 0;
            while (k < cue.count() && at + k < cap.count() && cap.same(at + k, cue, k)) ++k;
            if (k < j0 + 64) continue;
            starts.push_back({at, c, k});
            x = at + k - 1;
        }
    }
    std::sort(starts.begin(), starts.end(),
              [](const CueStart& a, const CueStart& b) { return a.at < b.at; });
    return starts;
}

// ---------------------------------------------------------------------------------------------

struct Options {
    std::string orviDir, fb, out = "bench-out";
    int runs = 3;
    unsigned seed = 0;
    int blinkPhases = 17;
    double pollUs = 100;
    double fps = 60;  // the X server's (fake) refresh rate
};

struct Trial {
    int run = 0, index = 0, viewpoint = -1;
    double delay = 0;         // D: the wait the probe chose
    double enterSent = NAN;   // probe clock as the Enter request was written to the server
    double faceSeen = NAN;    // first poll that showed the face
    double faceUnseen = NAN;  // the poll before it
    double clickSent = NAN;   // as the press request was written to the server
    // From the trace.
    double start = NAN, beepStart = NAN, beepEnd = NAN, onsetRequest = NAN, onset = NAN,
           click = NAN;
    double recordRt = NAN;
    // The face's present line: the blank it was aimed at, the one it landed on, the mode.
    long long target = -1, msc = -1;
    std::string mode;
    // From the sound capture.
    double beepFrames = NAN, beepHz = NAN;
};

struct BlinkEdge {
    int run;
    double key;           // when key 1 was sent
    double seen, unseen;  // first poll showing the new colour, and the one before it
    bool red;             // the colour it turned to
};

class Bench {
  public:
    explicit Bench(const Options& o) : m_opt(o), m_screen(o.fb), m_rng(o.seed) {
        for (int v = 0; v < kViewpointCount; ++v)
            m_layouts[v] = Layout(v, m_screen.width(), m_screen.height());
        const std::vector<int> s = ReadSettings(o.orviDir + "/orvi.ini");
        m_beepDelay = s[0];
        m_beepLength = s[1];
        m_faceDelay = s[2];
        m_blinkWhite = s[3];
        m_blinkRed = s[4];
    }

    int Run() {
        Launch();
        AnswerFileDialog(1);
        const Window main = m_x.WaitFor("orvi", 10000);
        m_x.Focus(main);
        for (int run = 1; run <= m_opt.runs; ++run) {
            if (run > 1) {
                m_x.Key(XK_Return);  // a finished run: Enter asks for the next record file
                AnswerFileDialog(run);
                m_x.Focus(m_x.WaitFor("orvi", 10000));
            }
            Blink(run);
            for (int i = 1; i <= kItemCount; ++i) RunTrial(run, i);
        }
        m_x.Key(XK_Escape);
        WaitForExit();
        Analyse();
        return 0;
    }

  private:
    std::string Path(const std::string& name) const { return m_opt.orviDir + "/" + name; }
    std::string RecordPath(int run) const { return Path("run" + std::to_string(run) + ".txt"); }

    void Launch() {
        const std::string trace = Path("trace.tsv"), audio = Path("audio.raw");
        unlink(trace.c_str());
        unlink(audio.c_str());
        m_pid = fork();
        if (m_pid < 0) Die("fork failed");
        if (m_pid > 0) g_orvi = m_pid;
        if (m_pid == 0) {
            if (chdir(m_opt.orviDir.c_str()) != 0) _exit(127);
            setenv("ORVI_TIMING_TRACE", trace.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "disk", 1);
            setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            const int log = open("orvi.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) {
                dup2(log, 1);
                dup2(log, 2);
            }
            execl("./orvi", "orvi", static_cast<char*>(nullptr));
            _exit(127);
        }
    }

    void AnswerFileDialog(int run) {
        const Window dialog = m_x.WaitFor("開く", 20000);
        m_x.Focus(dialog);
        m_x.Type(RecordPath(run));
        m_x.Key(XK_Return);
    }

    void WaitForExit() {
        const double end = NowMs() + 10000;
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (NowMs() > end) Die("orvi did not end after Escape");
            SleepMs(20);
        }
        g_orvi = -1;
    }

    void Poll() const { SleepMs(m_opt.pollUs / 1000.0); }

    // Polls until shown(screen) holds; returns the poll times that bracket the change.
    template <class Shown>
    bool WaitScreen(Shown shown, double timeoutMs, double& seen, double& unseen) const {
        const double end = NowMs() + timeoutMs;
        unseen = NowMs();
        for (;;) {
            const double t = NowMs();
            if (shown()) {
                seen = t;
                return true;
            }
            unseen = t;
            if (t > end) return false;
            Poll();
        }
    }

    void RunTrial(int run, int index) {
        Trial t;
        t.run = run;
        t.index = index;
        std::uniform_real_distribution<double> pause(100, 250), delay(250, 900);
        SleepMs(pause(m_rng));
        double seen, unseen;
        t.enterSent = m_x.Key(XK_Return);
        const auto face = [&] { return FaceShown(m_screen, m_layouts); };
        if (!WaitScreen([&] { return face() < 0; }, 3000, seen, unseen))
            Die("the face did not go after Enter");
        if (!WaitScreen([&] { return face() >= 0; }, 5000, t.faceSeen, t.faceUnseen))
            Die("no face appeared");
        t.viewpoint = face();
        const FaceAt& f = m_layouts[t.viewpoint];
        m_x.MoveTo(f.eyeX[0], f.eyeY[0]);
        t.delay = delay(m_rng);
        WaitUntilMs(t.faceSeen + t.delay);
        t.clickSent = m_x.Press();
        t.delay = t.clickSent - t.faceSeen;  // D as it happened, not as it was planned
        SleepMs(30);
        m_x.Release();
        if (!WaitScreen([&] { return face() < 0; }, 3000, seen, unseen))
            Die("the face did not go after the click");
        m_trials.push_back(t);
        if (index == kItemCount) std::fprintf(stderr, "run %d: 16 trials done\n", run);
    }

    // The blink practice at the start of a run, on the upright face (viewpoint 0): the target
    // eye's centre pixel.
    void Blink(int run) {
        const FaceAt& f = m_layouts[0];
        double seen, unseen;
        if (run == 1 &&
            !WaitScreen([&] { return FaceShown(m_screen, m_layouts) == 0; }, 5000, seen, unseen))
            Die("no upright face at the start");
        SleepMs(200);
        const double key = m_x.Key(XK_1);
        int target = -1;
        if (!WaitScreen(
                [&] {
                    for (int e = 0; e < 2; ++e)
                        if (m_screen.at(f.eyeX[e], f.eyeY[e]) == kRed) target = e;
                    return target >= 0;
                },
                3000, seen, unseen))
            Die("no eye turned red after key 1");
        m_blink.push_back({run, key, seen, unseen, true});
        bool red = true;
        for (int phase = 0; phase < m_opt.blinkPhases; ++phase) {
            const Rgb want = red ? kWhite : kRed;
            if (!WaitScreen([&] { return m_screen.at(f.eyeX[target], f.eyeY[target]) == want; },
                            3000, seen, unseen))
                Die("the blinking stopped");
            red = !red;
            m_blink.push_back({run, key, seen, unseen, red});
        }
        m_x.MoveTo(f.eyeX[target], f.eyeY[target]);
        SleepMs(20);
        m_x.Press();
        SleepMs(30);
        m_x.Release();
        SleepMs(300);
    }

    void Analyse();

    Options m_opt;
    ScreenFile m_screen;
    XInput m_x;
    std::mt19937 m_rng;
    FaceAt m_layouts[kViewpointCount];
    int m_beepDelay = 0, m_beepLength = 0, m_faceDelay = 0, m_blinkWhite = 0, m_blinkRed = 0;
    pid_t m_pid = -1;
    std::vector<Trial> m_trials;
    std::vector<BlinkEdge> m_blink;
};

struct Row {
    std::string name, unit;
    Summary s;
    std::string target;
};

void PrintTable(const std::vector<Row>& rows, std::FILE* out) {
    std::fprintf(out, "%-56s %4s %9s %8s %9s %9s %9s  %s\n", "measure", "N", "mean", "SD", "median",
                 "min", "max", "target");
    for (const Row& r : rows) {
        std::fprintf(out, "%-56s %4zu %9.3f %8.3f %9.3f %9.3f %9.3f  %s\n",
                     (r.name + " (" + r.unit + ")").c_str(), r.s.n, r.s.mean, r.s.sd, r.s.median,
                     r.s.min, r.s.max, r.target.c_str());
    }
}

void Bench::Analyse() {
    // Trace: one "start" per trial, then its events; blink phases have their own names.
    const std::vector<TraceEvent> trace = ReadTrace(Path("trace.tsv"));
    std::vector<double> traceWhite, traceRed;
    std::size_t k = 0;
    Trial* cur = nullptr;
    for (const TraceEvent& e : trace) {
        if (e.name == "start") cur = k < m_trials.size() ? &m_trials[k++] : nullptr;
        if (e.name == "white") traceWhite.push_back(e.ms);
        if (e.name == "red") traceRed.push_back(e.ms);
        if (!cur) continue;
        if (e.name == "start") cur->start = e.ms;
        if (e.name == "beep_start") cur->beepStart = e.ms;
        if (e.name == "beep_end") cur->beepEnd = e.ms;
        if (e.name == "onset_request") cur->onsetRequest = e.ms;
        if (e.name == "onset") cur->onset = e.ms;
        if (e.name == "click") cur->click = e.ms;
        if (e.name == "present" && e.more.size() == 4 && e.more[0] == "face") {
            cur->target = std::atoll(e.more[1].c_str());
            cur->msc = std::atoll(e.more[2].c_str());
            cur->mode = e.more[3];
        }
    }
    if (k != m_trials.size())
        std::fprintf(stderr, "warning: %zu trials in the trace, %zu run\n", k, m_trials.size());

    for (int run = 1; run <= m_opt.runs; ++run) {
        const std::vector<double> rts = ReadRecordTimes(RecordPath(run));
        std::size_t i = 0;
        for (Trial& t : m_trials)
            if (t.run == run && i < rts.size()) t.recordRt = rts[i++];
    }

    // Sound.
    const Frames cap = ReadRaw(Path("audio.raw"));
    const Frames cues[2] = {ReadWav(Path("sound1.wav")), ReadWav(Path("sound2.wav"))};
    const std::vector<Beep> beeps = FindBeeps(cap);
    const std::vector<CueStart> starts = FindCueStarts(cap, cues);
    for (std::size_t i = 0; i < beeps.size() && i < m_trials.size(); ++i) {
        m_trials[i].beepFrames = beeps[i].length();
        m_trials[i].beepHz = beeps[i].hz;
    }
    // A repeat follows a complete pass of the same cue with no beep in between.
    std::vector<double> gaps;
    std::size_t cuePasses = 0;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const CueStart& a = starts[i];
        const CueStart& b = starts[i + 1];
        const bool complete = a.matched == cues[a.cue].count();
        cuePasses += complete;
        bool beepBetween = false;
        for (const Beep& bp : beeps)
            beepBetween = beepBetween || (bp.start > static_cast<double>(a.at) &&
                                          bp.start < static_cast<double>(b.at));
        if (!complete || beepBetween || a.cue != b.cue) continue;
        gaps.push_back(static_cast<double>(b.at) - static_cast<double>(a.at + cues[a.cue].count()));
    }

    // Figures.
    const double schedule = m_beepDelay + m_beepLength + m_faceDelay;
    std::vector<double> rtTrace, rtRecord, rtOld, onsetErr, keyLatency, beepWall, paint,
        seenAfterOnset, clickLatency, pollGap, beepLen, beepHz;
    for (const Trial& t : m_trials) {
        rtTrace.push_back(t.click - t.onset - t.delay);
        rtRecord.push_back(t.recordRt - t.delay);
        rtOld.push_back(t.click - t.onsetRequest - t.delay);
        onsetErr.push_back(t.faceSeen - t.enterSent - schedule);
        keyLatency.push_back(t.start - t.enterSent);
        beepWall.push_back(t.beepEnd - t.beepStart - m_beepLength);
        paint.push_back(t.onset - t.onsetRequest);
        seenAfterOnset.push_back(t.faceSeen - t.onset);
        clickLatency.push_back(t.click - t.clickSent);
        pollGap.push_back(t.faceSeen - t.faceUnseen);
        beepLen.push_back(t.beepFrames - std::round(m_beepLength * kRate / 1000.0));
        beepHz.push_back(t.beepHz);
    }
    std::vector<double> onTarget, faceMissed;
    for (const Trial& t : m_trials) {
        if (t.target < 0) continue;  // the old path has no present lines
        onTarget.push_back(t.msc == t.target);
        faceMissed.push_back(t.msc > t.target || t.mode == "skip");
    }
    const double periodMs = 1000.0 / m_opt.fps;
    std::vector<double> blinkFirst, blinkWhite, blinkRed, blinkAll, traceBlink, blinkFrames;
    for (std::size_t i = 0; i + 1 < m_blink.size(); ++i) {
        if (m_blink[i + 1].run != m_blink[i].run) continue;
        const bool first = i == 0 || m_blink[i - 1].run != m_blink[i].run;
        const double d = m_blink[i + 1].seen - m_blink[i].seen;
        const double want = first ? kFirstRedMs : m_blink[i].red ? m_blinkRed : m_blinkWhite;
        const double err = d - want;
        (first ? blinkFirst : m_blink[i].red ? blinkRed : blinkWhite).push_back(err);
        blinkAll.push_back(err);
        blinkFrames.push_back(std::round(d / periodMs) - std::ceil(want / periodMs - 1e-6));
    }
    // From the controller's phase change (trace) to the probe seeing it: the paint's latency.
    std::vector<double> blinkPaint;
    for (const BlinkEdge& e : m_blink) {
        double latest = NAN;
        for (double t : e.red ? traceRed : traceWhite)
            if (t <= e.seen && e.seen - t < 50) latest = t;
        blinkPaint.push_back(e.seen - latest);
    }
    // The controller's own phase boundaries, for comparison with the screen.
    {
        std::vector<std::pair<double, bool>> edges;
        for (double w : traceWhite) edges.push_back({w, false});
        for (double r : traceRed) edges.push_back({r, true});
        std::sort(edges.begin(), edges.end());
        for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
            const double err =
                edges[i + 1].first - edges[i].first - (edges[i].second ? m_blinkRed : m_blinkWhite);
            // Consecutive phases of one demonstration; the next one starts after trials.
            if (edges[i + 1].second != edges[i].second && err < 50) traceBlink.push_back(err);
        }
    }

    std::vector<Row> rows = {
        {"RT error, trace: click - onset - D", "ms", Summarise(rtTrace),
         "|mean| <= 0.4, SD <= 0.15"},
        {"RT error, record file: RT (whole ms) - D", "ms", Summarise(rtRecord), ""},
        {"RT error, old order: click - onset_request - D", "ms", Summarise(rtOld), "(comparison)"},
        {"onset schedule error: seen - Enter - schedule", "ms", Summarise(onsetErr),
         "median <= 0.5, max <= 2"},
        {"  Enter sent -> start handled", "ms", Summarise(keyLatency), ""},
        {"  beep wall time - beep length", "ms", Summarise(beepWall), ""},
        {"face on its target blank (present line msc == target)", "1/0", Summarise(onTarget),
         "all 1"},
        {"face missed or skipped", "1/0", Summarise(faceMissed), "all 0"},
        {"  onset - deadline (Present: ust - D; old: paint + round trip)", "ms", Summarise(paint),
         ""},
        {"  face seen by the probe - onset (ust)", "ms", Summarise(seenAfterOnset),
         "median <= 0.2, max <= 1"},
        {"  click sent -> click read", "ms", Summarise(clickLatency), ""},
        {"  probe poll interval at the onset", "ms", Summarise(pollGap), ""},
        {"blink phase error, every phase", "ms", Summarise(blinkAll), "median <= 0.5"},
        {"blink phase in frames - frames its setting rounds up to", "frames",
         Summarise(blinkFrames), "all 0"},
        {"  first red phase (500 ms)", "ms", Summarise(blinkFirst), ""},
        {"  white phases", "ms", Summarise(blinkWhite), ""},
        {"  red phases", "ms", Summarise(blinkRed), ""},
        {"  controller's own phases (trace)", "ms", Summarise(traceBlink), ""},
        {"  phase change (trace) -> seen by the probe", "ms", Summarise(blinkPaint), ""},
        {"gap between cue repeats", "frames", Summarise(gaps), "<= 256, better 0"},
        {"beep length - expected", "frames", Summarise(beepLen), "0 (+-0.5)"},
        {"beep frequency", "Hz", Summarise(beepHz), "2048 +- 1"},
    };

    std::printf(
        "\norvi-bench: %zu trials in %d runs, settings %d/%d/%d ms, blink %d/%d ms, "
        "seed %u; %zu beeps and %zu complete cue passes in the capture\n",
        m_trials.size(), m_opt.runs, m_beepDelay, m_beepLength, m_faceDelay, m_blinkWhite,
        m_blinkRed, m_opt.seed, beeps.size(), cuePasses);
    PrintTable(rows, stdout);

    mkdir(m_opt.out.c_str(), 0755);
    if (std::FILE* f = std::fopen((m_opt.out + "/trials.tsv").c_str(), "w")) {
        std::fprintf(f,
                     "run\ttrial\tviewpoint\tD_ms\tenter_sent\tface_unseen\tface_seen\tclick_sent\t"
                     "start\tbeep_start\tbeep_end\tonset_request\tonset\tclick\trecord_rt_ms\t"
                     "beep_frames\tbeep_hz\tface_target_msc\tface_msc\tface_mode\n");
        for (const Trial& t : m_trials)
            std::fprintf(f,
                         "%d\t%d\t%d\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t"
                         "%.3f\t%.0f\t%.2f\t%.4f\t%lld\t%lld\t%s\n",
                         t.run, t.index, t.viewpoint, t.delay, t.enterSent, t.faceUnseen,
                         t.faceSeen, t.clickSent, t.start, t.beepStart, t.beepEnd, t.onsetRequest,
                         t.onset, t.click, t.recordRt, t.beepFrames, t.beepHz, t.target, t.msc,
                         t.mode.empty() ? "-" : t.mode.c_str());
        std::fclose(f);
    }
    if (std::FILE* f = std::fopen((m_opt.out + "/blink.tsv").c_str(), "w")) {
        std::fprintf(f, "run\tkey_sent\tturned_to\tseen\tunseen\n");
        for (const BlinkEdge& e : m_blink)
            std::fprintf(f, "%d\t%.3f\t%s\t%.3f\t%.3f\n", e.run, e.key, e.red ? "red" : "white",
                         e.seen, e.unseen);
        std::fclose(f);
    }
    if (std::FILE* f = std::fopen((m_opt.out + "/audio.tsv").c_str(), "w")) {
        std::fprintf(f, "kind\tframe\tlength_frames\thz_or_cue\n");
        for (const Beep& b : beeps)
            std::fprintf(f, "beep\t%.2f\t%.2f\t%.4f\n", b.start, b.length(), b.hz);
        for (const CueStart& c : starts)
            std::fprintf(f, "cue\t%zu\t%zu\t%d\n", c.at, c.matched, c.cue + 1);
        std::fclose(f);
    }
    if (std::FILE* f = std::fopen((m_opt.out + "/summary.tsv").c_str(), "w")) {
        std::fprintf(f, "measure\tunit\tN\tmean\tsd\tmedian\tmin\tmax\n");
        for (const Row& r : rows)
            std::fprintf(f, "%s\t%s\t%zu\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\n", r.name.c_str(),
                         r.unit.c_str(), r.s.n, r.s.mean, r.s.sd, r.s.median, r.s.min, r.s.max);
        std::fclose(f);
    }
}

int Usage() {
    std::fprintf(stderr,
                 "usage: orvi-bench --orvi-dir DIR --fb XVFB_SCREEN_FILE [--runs N] [--out DIR] "
                 "[--seed S] [--blink-phases N] [--poll-us US] [--fps HZ]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    o.seed = static_cast<unsigned>(NowMs());
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i], v = argv[i + 1];
        if (k == "--orvi-dir")
            o.orviDir = v;
        else if (k == "--fb")
            o.fb = v;
        else if (k == "--runs")
            o.runs = std::max(1, std::atoi(v.c_str()));
        else if (k == "--out")
            o.out = v;
        else if (k == "--seed")
            o.seed = static_cast<unsigned>(std::strtoul(v.c_str(), nullptr, 10));
        else if (k == "--blink-phases")
            o.blinkPhases = std::max(2, std::atoi(v.c_str()));
        else if (k == "--fps")
            o.fps = std::max(1.0, std::atof(v.c_str()));
        else if (k == "--poll-us")
            o.pollUs = std::max(0.0, std::atof(v.c_str()));
        else
            return Usage();
    }
    if (argc % 2 == 0 || o.orviDir.empty() || o.fb.empty()) return Usage();
    // The probe's own sleeps must not be stretched: a late poll is a late observation.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    Bench bench(o);
    return bench.Run();
}
