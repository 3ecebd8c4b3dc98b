#pragma once

// Test doubles for the controller and the renderer: a canvas that logs its calls, a host with a
// clock the test advances and a sound device that records its commands.

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "COrviView.h"
#include "Canvas.h"
#include "FaceRenderer.h"
#include "SoundDevice.h"
#include "ViewHost.h"

using Calls = std::vector<std::string>;

// Logs every call as its name and its numbers in order; a colour is one number, rrrgggbbb.
class RecordingCanvas : public Canvas {
  public:
    int width() const override { return w; }
    int height() const override { return h; }
    void fillRect(int l, int t, int r, int b, Rgb c) override { Log("fill", {l, t, r, b, C(c)}); }
    void ellipse(int l, int t, int r, int b, Rgb c, int p) override {
        Log("ellipse", {l, t, r, b, p, C(c)});
    }
    void rectangle(int l, int t, int r, int b, Rgb c) override { Log("rect", {l, t, r, b, C(c)}); }
    void polyline(const std::vector<PixelPoint>& points, int pen) override {
        Log("polyline", {pen});
        for (PixelPoint p : points)
            calls.back() += " " + std::to_string(p.x) + " " + std::to_string(p.y);
    }
    void arc(int l, int t, int r, int b, PixelPoint s, PixelPoint e, int p) override {
        Log("arc", {l, t, r, b, s.x, s.y, e.x, e.y, p});
    }
    void floodFill(int x, int y, Rgb a, Rgb b) override { Log("flood", {x, y, C(a), C(b)}); }
    void text(int x, int y, const std::string& s) override { Log("text", {x, y}, " [" + s + "]"); }

    int w = 1024, h = 768;
    Calls calls;

  private:
    static int C(Rgb c) { return c.r * 1000000 + c.g * 1000 + c.b; }
    void Log(const char* name, const std::vector<int>& numbers, const std::string& text = "") {
        calls.push_back(name);
        for (int v : numbers) calls.back() += " " + std::to_string(v);
        calls.back() += text;
    }
};

class RecordingSound : public SoundDevice {
  public:
    std::vector<std::string> commands;
    std::vector<std::pair<int, int>> beeps;
    std::function<void(int)> handler;
    std::function<void(int)> onBeep;  // lets the host's clock run during the blocking beep

    int sendCommand(const std::string& command) override {
        commands.push_back(command);
        return 0;
    }
    void setNotifyHandler(std::function<void(int)> h) override { handler = std::move(h); }
    void beep(int frequencyHz, int lengthMs) override {
        beeps.emplace_back(frequencyHz, lengthMs);
        if (onBeep) onBeep(lengthMs);
    }
    void cueEnded(int code = kNotifySuccessful) { handler(code); }
    std::string last() const { return commands.empty() ? "" : commands.back(); }
};

class ClockedHost : public ViewHost {
  public:
    double now = 1000.0;
    std::map<int, double> timers;              // id -> due time
    std::vector<std::pair<int, int>> started;  // (id, delay) in order
    int invalidates = 0, erases = 0;
    // Every stimulus frame handed over, in order; timerId 0 for one shown at once.
    struct Frame {
        int what;
        SceneState scene;
        int timerId;
    };
    std::vector<Frame> frames;
    std::set<int> frameTimers;  // timers that bring a frame
    double frameLagMs = 0.0;    // from a frame's deadline to its onset on the display
    std::vector<std::string> messages;
    bool blankCursor = false, dirty = false;
    COrviView* view = nullptr;
    RecordingCanvas canvas;
    double pressAt = -1;  // when the press being handled arrived; -1: none
    std::vector<std::pair<std::string, double>> traced;

    void SetTimer(int id, int delayMs) override {
        timers[id] = now + delayMs;
        started.emplace_back(id, delayMs);
        frameTimers.erase(id);
    }
    void KillTimer(int id) override {
        timers.erase(id);
        frameTimers.erase(id);
    }
    void Invalidate(bool erase) override {
        ++invalidates;
        erases += erase;
        dirty = true;
    }
    void ShowFrame(int what, const SceneState& scene) override {
        frames.push_back({what, scene, 0});
    }
    void SetFrameTimer(int id, int delayMs, int what, const SceneState& scene) override {
        SetTimer(id, delayMs);
        frameTimers.insert(id);
        frames.push_back({what, scene, id});
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void SetBlankCursor(bool blank) override { blankCursor = blank; }
    double NowMs() override { return now; }
    double InputTimeMs() override { return pressAt >= 0 ? pressAt : now; }
    void Trace(const char* event, double ms) override { traced.emplace_back(event, ms); }
    double last(const std::string& event) const {
        for (auto it = traced.rbegin(); it != traced.rend(); ++it)
            if (it->first == event) return it->second;
        return -1;
    }

    void paint() {
        if (dirty) view->DrawScene(canvas);
        dirty = false;
    }
    // Fires the earliest timer due by `limit`, moving the clock to it; false when none is due.
    bool fireDue(double limit) {
        auto next = timers.end();
        for (auto it = timers.begin(); it != timers.end(); ++it)
            if (it->second <= limit && (next == timers.end() || it->second < next->second))
                next = it;
        if (next == timers.end()) return false;
        if (next->second > now) now = next->second;
        const int id = next->first;
        timers.erase(next);
        if (frameTimers.erase(id)) {
            now += frameLagMs;
            view->OnFrameShown(id, now);
        } else {
            view->OnTimer(id);
        }
        paint();
        return true;
    }
    // The event loop for ms: pending paints, then every timer due in that time, in order.
    void advance(double ms) {
        paint();
        const double end = now + ms;
        while (fireDue(end)) {
        }
        if (now < end) now = end;
    }
};
