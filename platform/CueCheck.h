#pragma once

#include <string>
#include <vector>

#include "SdlSoundDevice.h"

// Whether the two cue sounds can be heard: the output device is open and each cue file in the
// current folder loads as "open" takes it. Without them every trial would still be recorded as
// valid, with no cue at all, so start-up and the self-check both ask.
class CueCheck {
  public:
    struct File {
        std::string name;
        SdlSoundDevice::CueFileInfo info;
    };

    explicit CueCheck(const SdlSoundDevice& device);

    bool deviceOpen() const { return m_deviceOpen; }
    const std::vector<File>& files() const { return m_files; }

    // One English sentence per fault; empty when both cues can sound.
    std::vector<std::string> problems() const;
    // The start-up message box, naming every fault; empty when there is none.
    std::string japaneseMessage() const;

  private:
    bool m_deviceOpen;
    std::string m_deviceError;
    std::string m_folder;
    std::vector<File> m_files;
};
