#include "CueCheck.h"

#include <filesystem>
#include <system_error>

#include "CueSounds.h"

using State = SdlSoundDevice::CueFileInfo::State;

CueCheck::CueCheck(const SdlSoundDevice& device)
    : m_deviceOpen(device.isOpen()), m_deviceError(device.openError()) {
    std::error_code error;
    m_folder = std::filesystem::current_path(error).string();
    for (const char* name : kCueFiles) {
        m_files.push_back({name, device.inspectCue(name)});
    }
}

std::vector<std::string> CueCheck::problems() const {
    std::vector<std::string> out;
    if (!m_deviceOpen) {
        out.push_back("no audio output device opens" +
                      (m_deviceError.empty() ? std::string() : " (" + m_deviceError + ")") +
                      ": both cues are silent");
    }
    for (const File& file : m_files) {
        switch (file.info.state) {
            case State::Ok: break;
            case State::Missing:
                out.push_back(file.name + " is not in the current folder " + m_folder +
                              ": its cue is silent");
                break;
            case State::Undecodable:
                out.push_back(file.name + " does not load as a sound (" + file.info.detail +
                              "): its cue is silent");
                break;
            case State::Empty:
                out.push_back(file.name + " holds no sound (0 frames): its cue is silent");
                break;
        }
    }
    return out;
}

std::string CueCheck::japaneseMessage() const {
    std::string lines;
    if (!m_deviceOpen) {
        lines += "・音声出力装置を開けません。\n";
    }
    for (const File& file : m_files) {
        switch (file.info.state) {
            case State::Ok: break;
            case State::Missing:
                lines += "・" + file.name + " が現在のフォルダ（" + m_folder + "）にありません。\n";
                break;
            case State::Undecodable:
                lines += "・" + file.name +
                         " を音声として読み込めません（WAVファイルでないか、壊れています）。\n";
                break;
            case State::Empty:
                lines += "・" + file.name + " に音が入っていません（長さ0）。\n";
                break;
        }
    }
    if (lines.empty()) {
        return {};
    }
    return "合図音が鳴りません。このまま実験すると、合図音のない試行も有効として記録されます。\n"
           "\n" +
           lines + "\nOKを押すと、このまま続けます。";
}
