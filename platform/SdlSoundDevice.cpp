#include "SdlSoundDevice.h"

#include <SDL.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <QMetaObject>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sstream>

#include "MonotonicClock.h"

namespace {

constexpr int kChannels = 2;
constexpr int kRequestedRate = 48000;
constexpr int kRequestedFrames = 256;
constexpr double kTwoPi = 6.283185307179586;

extern "C" void DiscardAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// Without a sound card libasound prints its configuration errors to stderr while SDL probes
// it. A missing device is an ordinary, silent condition here, so mute those messages. The
// library stays loaded so SDL's own dlopen gets the same instance and handler.
void MuteAlsaDiagnostics() {
    static const bool done = [] {
        void* lib = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
        if (lib == nullptr) {
            return true;
        }
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (auto set = reinterpret_cast<SetHandler>(dlsym(lib, "snd_lib_error_set_handler"))) {
            set(&DiscardAlsaMessage);
        }
        return true;
    }();
    (void)done;
}

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The first `bytes` of data in the device's format and rate, in `work`, which holds
// convertedBytes of them.
bool ConvertWhole(const SDL_AudioSpec& src, const Uint8* data, int bytes, int rate,
                  std::vector<Uint8>& work, std::size_t& convertedBytes) {
    SDL_AudioCVT cvt;
    const int needed =
        SDL_BuildAudioCVT(&cvt, src.format, src.channels, src.freq, AUDIO_S16SYS, kChannels, rate);
    if (needed < 0) {
        return false;
    }
    cvt.len = bytes;
    work.resize(static_cast<std::size_t>(cvt.len) * std::max(cvt.len_mult, 1));
    std::memcpy(work.data(), data, static_cast<std::size_t>(cvt.len));
    cvt.buf = work.data();
    convertedBytes = static_cast<std::size_t>(cvt.len);
    if (needed == 1) {
        if (SDL_ConvertAudio(&cvt) != 0) {
            return false;
        }
        convertedBytes = static_cast<std::size_t>(cvt.len_cvt);
    }
    return true;
}

// SDL_AudioStream loses the tail of a resampled sound, so convert in one piece with
// SDL_AudioCVT and then fix the length to the exact rate ratio (SDL floors it, which can be a
// frame short).
bool ConvertToDevice(const SDL_AudioSpec& src, const Uint8* data, Uint32 bytes, int rate,
                     std::vector<std::int16_t>& out) {
    const int frameBytes = static_cast<int>(SDL_AUDIO_BITSIZE(src.format) / 8) * src.channels;
    if (frameBytes <= 0 || src.freq <= 0) {
        return false;
    }
    const std::uint64_t inFrames = bytes / static_cast<Uint32>(frameBytes);
    const std::uint64_t outFrames =
        (inFrames * static_cast<std::uint64_t>(rate) + static_cast<std::uint64_t>(src.freq) / 2) /
        static_cast<std::uint64_t>(src.freq);
    // A sound without a frame cannot loop (and its empty buffers are null pointers to memcpy).
    if (outFrames == 0) {
        return false;
    }

    std::vector<Uint8> work;
    std::size_t convertedBytes = 0;
    if (!ConvertWhole(src, data, static_cast<int>(inFrames) * frameBytes, rate, work,
                      convertedBytes)) {
        return false;
    }
    const std::size_t frameOut = kChannels * sizeof(std::int16_t);
    const std::size_t keep = std::min<std::size_t>(convertedBytes / frameOut, outFrames);
    out.assign(outFrames * kChannels, 0);
    std::memcpy(out.data(), work.data(), keep * frameOut);
    return true;
}

std::string FormatName(SDL_AudioFormat format) {
    return std::to_string(SDL_AUDIO_BITSIZE(format)) + "-bit " +
           (SDL_AUDIO_ISFLOAT(format)    ? "float"
            : SDL_AUDIO_ISSIGNED(format) ? "signed"
                                         : "unsigned");
}

void Judge(SdlSoundDevice::CueFileInfo& info, bool converted) {
    using State = SdlSoundDevice::CueFileInfo::State;
    if (info.frames == 0) {
        info.state = State::Empty;
    } else if (!converted) {
        info.state = State::Undecodable;
        info.detail = "cannot be converted to the output format";
    } else {
        info.state = State::Ok;
    }
}

// The one loader of sound files: "open" keeps its samples, the cue check only its verdict.
SdlSoundDevice::CueFileInfo LoadCue(const std::string& file, int rate,
                                    std::vector<std::int16_t>& samples) {
    using State = SdlSoundDevice::CueFileInfo::State;
    SdlSoundDevice::CueFileInfo info;
    struct stat status;
    if (stat(file.c_str(), &status) != 0 && errno == ENOENT) {
        return info;  // Missing
    }
    SDL_AudioSpec spec;
    Uint8* data = nullptr;
    Uint32 bytes = 0;
    if (SDL_LoadWAV(file.c_str(), &spec, &data, &bytes) == nullptr) {
        info.state = State::Undecodable;
        info.detail = SDL_GetError();
        return info;
    }
    info.format = FormatName(spec.format);
    info.rateHz = spec.freq;
    info.channels = spec.channels;
    const Uint32 frameBytes = SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels;
    info.frames = frameBytes > 0 ? static_cast<long>(bytes / frameBytes) : 0;
    // An empty sound would end again at once, in a loop inside one callback.
    const bool converted = info.frames > 0 && ConvertToDevice(spec, data, bytes, rate, samples);
    SDL_FreeWAV(data);
    Judge(info, converted && !samples.empty());
    return info;
}

}  // namespace

SdlSoundDevice::SdlSoundDevice(QObject* parent) : QObject(parent) {
    MuteAlsaDiagnostics();
    // SDL would otherwise turn SIGINT/SIGTERM into quit events that nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        m_openError = SDL_GetError();
        return;
    }
    m_sdlAudioInit = true;
    if (const char* driver = SDL_GetCurrentAudioDriver()) {
        m_driverName = driver;
    }
    if (!openDevice()) {
        m_openError = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_sdlAudioInit = false;
        return;
    }
    // The device was opened as the default one; not every driver can name it.
    char* name = nullptr;
    SDL_AudioSpec defaultSpec;
    if (SDL_GetDefaultAudioInfo(&name, &defaultSpec, 0) == 0 && name != nullptr) {
        m_deviceName = name;
    }
    SDL_free(name);
    SDL_PauseAudioDevice(m_device, 0);
}

bool SdlSoundDevice::openDevice() {
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = kRequestedRate;
    want.format = AUDIO_S16SYS;
    want.channels = kChannels;
    want.samples = kRequestedFrames;
    want.callback = &SdlSoundDevice::audioCallback;
    want.userdata = this;
    SDL_AudioSpec have;
    SDL_zero(have);
    // Format, channels and callback size stay as asked (SDL converts behind us if it must);
    // a native rate is taken rather than resampled so no extra buffering sits in the path.
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (m_device == 0) {
        return false;
    }
    m_rate = have.freq;
    m_bufferFrames = have.samples;
    return true;
}

SdlSoundDevice::~SdlSoundDevice() {
    // Joins the audio thread, so nothing posts to this object once it is gone.
    if (m_device != 0) {
        SDL_CloseAudioDevice(m_device);
    }
    if (m_sdlAudioInit) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

int SdlSoundDevice::sendCommand(const std::string& command) {
    std::istringstream in(command);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    const auto keyword = [&](std::size_t i, const char* expected) {
        return Lowered(words[i]) == expected;
    };

    if (words.size() == 4 && keyword(0, "open") && keyword(2, "alias")) {
        return openSound(words[1], Lowered(words[3]));
    }
    if (words.size() == 5 && keyword(0, "play") && keyword(2, "from") && words[3] == "0" &&
        keyword(4, "notify")) {
        return playSound(Lowered(words[1]));
    }
    if (words.size() == 2 && keyword(1, "all")) {
        if (keyword(0, "stop")) {
            stopPlayback();
            return 0;
        }
        if (keyword(0, "close")) {
            stopPlayback();
            m_cues.clear();
            return 0;
        }
    }
    return -1;
}

void SdlSoundDevice::setNotifyHandler(std::function<void(int code)> handler) {
    m_handler = std::move(handler);
}

int SdlSoundDevice::openSound(const std::string& file, const std::string& alias) {
    if (m_device == 0 || m_cues.count(alias) != 0) {
        return -1;
    }
    auto cue = std::make_unique<Cue>();
    if (LoadCue(file, m_rate, cue->samples).state != CueFileInfo::State::Ok) {
        return -1;
    }
    cue->frames = cue->samples.size() / kChannels;
    m_cues.emplace(alias, std::move(cue));
    return 0;
}

SdlSoundDevice::CueFileInfo SdlSoundDevice::inspectCue(const std::string& file) const {
    std::vector<std::int16_t> samples;
    return LoadCue(file, m_device != 0 ? m_rate : kRequestedRate, samples);
}

int SdlSoundDevice::playSound(const std::string& alias) {
    const auto it = m_cues.find(alias);
    if (it == m_cues.end()) {
        return -1;
    }
    const Cue* cue = it->second.get();
    SDL_LockAudioDevice(m_device);
    if (m_delivering && m_generation == m_deliveringToken && m_pass == Pass::Repeating &&
        m_cue == cue) {
        m_pass = Pass::Armed;
        m_adopted = true;
    } else {
        switchCue(cue);
    }
    SDL_UnlockAudioDevice(m_device);
    return 0;
}

void SdlSoundDevice::stopPlayback() {
    if (m_device == 0) {
        return;
    }
    SDL_LockAudioDevice(m_device);
    switchCue(nullptr);
    SDL_UnlockAudioDevice(m_device);
}

// With the device locked: a new play, or a stop (null). Reports of the old play go stale.
void SdlSoundDevice::switchCue(const Cue* cue) {
    ++m_generation;
    m_cue = cue;
    m_cuePos = 0;
    m_pass = cue ? Pass::Armed : Pass::Idle;
    m_startPending = cue != nullptr;
}

void SdlSoundDevice::deliverCompletion(std::uint64_t token) {
    // A play, stop or close since the report was posted makes it stale.
    if (token != m_generation) {
        return;
    }
    if (handOver(token)) {
        return;
    }
    SDL_LockAudioDevice(m_device);
    if (m_generation == token && m_pass == Pass::Repeating) {
        m_cue = nullptr;
        m_cuePos = 0;
        m_pass = Pass::Idle;
    }
    SDL_UnlockAudioDevice(m_device);
}

// Tells the handler; true when it adopted the repeat. A report handed over while the handler
// runs (its event loop may) gets its own state and gives the outer one back.
bool SdlSoundDevice::handOver(std::uint64_t token) {
    const std::uint64_t outerToken = m_deliveringToken;
    const bool outerDelivering = m_delivering;
    const bool outerAdopted = m_adopted;
    m_deliveringToken = token;
    m_delivering = true;
    m_adopted = false;
    if (m_handler) {
        m_handler(kNotifySuccessful);
    }
    const bool adopted = m_adopted;
    m_deliveringToken = outerToken;
    m_delivering = outerDelivering;
    m_adopted = outerAdopted;
    return adopted;
}

void SdlSoundDevice::beep(int frequencyHz, int lengthMs) {
    if (lengthMs <= 0) {
        return;
    }
    // The beep's end paces the face delay, so it is kept on the clock, not on the audio
    // callbacks: those take the tone in whole buffers, a buffer early or late and faster or
    // slower than the clock. The tone itself is rendered to the exact sample count.
    const double end = MonotonicClock::NowMs() + lengthMs;
    if (m_device != 0) {
        SDL_LockAudioDevice(m_device);
        m_beepTotal = (static_cast<std::int64_t>(lengthMs) * m_rate + 500) / 1000;
        m_beepIndex = 0;
        m_beepStep = kTwoPi * std::max(frequencyHz, 0) / m_rate;
        SDL_UnlockAudioDevice(m_device);
    }
    MonotonicClock::SleepUntilMs(end);
}

long SdlSoundDevice::cueFrames(const std::string& alias) const {
    const auto it = m_cues.find(Lowered(alias));
    return it == m_cues.end() ? -1 : static_cast<long>(it->second->frames);
}

double SdlSoundDevice::lastCueStartMs() const { return m_cueStartMs.load(); }

void SdlSoundDevice::audioCallback(void* self, std::uint8_t* stream, int bytes) {
    static_cast<SdlSoundDevice*>(self)->render(
        reinterpret_cast<std::int16_t*>(stream),
        bytes / static_cast<int>(kChannels * sizeof(std::int16_t)));
}

// Audio thread, with the device lock held.
void SdlSoundDevice::render(std::int16_t* out, int frames) {
    std::fill_n(out, static_cast<std::size_t>(frames) * kChannels, std::int16_t{0});

    std::size_t done = 0;
    const std::size_t total = static_cast<std::size_t>(frames);
    while (m_cue != nullptr && done < total) {
        if (m_startPending) {
            m_cueStartMs.store(MonotonicClock::NowMs());
            m_startPending = false;
        }
        const std::size_t n = std::min(total - done, m_cue->frames - m_cuePos);
        std::copy_n(m_cue->samples.data() + m_cuePos * kChannels, n * kChannels,
                    out + done * kChannels);
        done += n;
        m_cuePos += n;
        if (m_cuePos < m_cue->frames) {
            break;
        }
        m_cuePos = 0;
        if (m_pass == Pass::Armed) {
            const std::uint64_t token = m_generation;
            QMetaObject::invokeMethod(
                this, [this, token] { deliverCompletion(token); }, Qt::QueuedConnection);
            m_pass = Pass::Repeating;
        } else {
            m_cue = nullptr;
            m_pass = Pass::Idle;
        }
    }

    mixBeep(out, frames);
    m_framesRendered.fetch_add(total);
}

// Audio thread, with the device lock held: the beep's next samples added over the cue's.
void SdlSoundDevice::mixBeep(std::int16_t* out, int frames) {
    if (m_beepIndex >= m_beepTotal) {
        return;
    }
    const std::int64_t n = std::min<std::int64_t>(frames, m_beepTotal - m_beepIndex);
    const double amplitude = kBeepAmplitude * 32767.0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double phase = m_beepStep * static_cast<double>(m_beepIndex + i);
        const int tone = static_cast<int>(std::lround(amplitude * std::sin(phase)));
        for (int c = 0; c < kChannels; ++c) {
            std::int16_t& sample = out[i * kChannels + c];
            sample = static_cast<std::int16_t>(std::clamp(sample + tone, -32768, 32767));
        }
    }
    m_beepIndex += n;
}
