#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SoundDevice.h"

// SoundDevice on one SDL output device (48 kHz, stereo, 16-bit, 256-frame callbacks requested).
//
// Construct it on the UI thread: completion reports are queued to this object, so the notify
// handler runs in that thread's event loop. When SDL or the device cannot be opened the object
// stays usable and silent: "open" and "play" fail, "stop all"/"close all" do nothing, and
// beep() just waits its length.
//
// Looping: the caller loops a cue by playing it again from its completion report. Restarting
// only then would leave a gap of the rest of a buffer plus the event latency, so a cue played
// with notify that reaches its end goes on from its own start in the same buffer and the report
// is posted. A play of that alias from within the handler adopts the running repetition instead
// of restarting it: the loop is seamless. If the handler plays another alias, stops, or does
// nothing, the repetition is replaced or cut when the handler returns (after a few ms of it
// have sounded). A repetition nobody adopts (the UI thread is busy) stops at its own end and
// reports nothing more. Every play, stop and close invalidates reports still queued, so none
// arrives after "stop all".
class SdlSoundDevice : public QObject, public SoundDevice {
  public:
    explicit SdlSoundDevice(QObject* parent = nullptr);
    ~SdlSoundDevice() override;
    SdlSoundDevice(const SdlSoundDevice&) = delete;
    SdlSoundDevice& operator=(const SdlSoundDevice&) = delete;

    int sendCommand(const std::string& command) override;
    void setNotifyHandler(std::function<void(int code)> handler) override;
    void beep(int frequencyHz, int lengthMs) override;

    bool isOpen() const { return m_device != 0; }
    int sampleRate() const { return m_rate; }
    int bufferFrames() const { return m_bufferFrames; }
    // SDL's audio driver and the output device's name (empty when unknown), and why the device
    // did not open (empty when it did).
    const std::string& driverName() const { return m_driverName; }
    const std::string& deviceName() const { return m_deviceName; }
    const std::string& openError() const { return m_openError; }

    // A sound file as "open" loads it, and whether "open" would take it.
    struct CueFileInfo {
        enum class State { Ok, Missing, Undecodable, Empty };
        State state = State::Missing;
        std::string detail;  // why it does not load, in SDL's words
        std::string format;  // the samples as loaded, e.g. "16-bit signed"
        int rateHz = 0;
        int channels = 0;
        long frames = 0;  // at the file's own rate
    };
    // Loads the file as "open" would (at the device's rate, 48 kHz when there is no device)
    // and keeps nothing.
    CueFileInfo inspectCue(const std::string& file) const;

    // Length in device frames of an opened sound; -1 for an unknown alias.
    long cueFrames(const std::string& alias) const;

    // When the latest commanded play's first sample went to the device, in ms on
    // MonotonicClock, the clock of the trace and the presses; -1 before any play has started.
    // Seamless repetitions do not count as new starts.
    double lastCueStartMs() const override;

    // Frames handed to the device since it was opened.
    std::uint64_t framesRendered() const { return m_framesRendered.load(); }

    // Amplitude of the beep tone, as a fraction of full scale.
    static constexpr double kBeepAmplitude = 0.3;

  private:
    struct Cue {
        std::vector<std::int16_t> samples;  // interleaved stereo, device rate
        std::size_t frames = 0;
    };
    // Armed: reports its end. Repeating: began by itself after a report, not yet adopted.
    enum class Pass { Idle, Armed, Repeating };

    static void audioCallback(void* self, std::uint8_t* stream, int bytes);
    bool openDevice();
    void render(std::int16_t* out, int frames);
    void mixBeep(std::int16_t* out, int frames);
    void deliverCompletion(std::uint64_t token);
    bool handOver(std::uint64_t token);
    int openSound(const std::string& file, const std::string& alias);
    int playSound(const std::string& alias);
    void stopPlayback();
    void switchCue(const Cue* cue);

    std::uint32_t m_device = 0;
    bool m_sdlAudioInit = false;
    std::string m_driverName;
    std::string m_deviceName;
    std::string m_openError;
    int m_rate = 0;
    int m_bufferFrames = 0;
    std::map<std::string, std::unique_ptr<Cue>> m_cues;
    std::function<void(int)> m_handler;

    // Shared with the audio callback; written under the SDL device lock.
    const Cue* m_cue = nullptr;
    std::size_t m_cuePos = 0;
    Pass m_pass = Pass::Idle;
    bool m_startPending = false;
    std::uint64_t m_generation = 0;
    std::int64_t m_beepTotal = 0;
    std::int64_t m_beepIndex = 0;
    double m_beepStep = 0.0;

    // UI thread only: the report being handed to the handler and whether it adopted the repeat.
    std::uint64_t m_deliveringToken = 0;
    bool m_delivering = false;
    bool m_adopted = false;

    std::atomic<double> m_cueStartMs{-1.0};
    std::atomic<std::uint64_t> m_framesRendered{0};
};
