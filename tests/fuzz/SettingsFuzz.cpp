// The settings reader: each of the six settings is what sscanf("%d") reads from the line that
// fgets() gives, or its default; the file is never written; a read failure keeps the defaults.
#include "CExperiment.h"
#include "FuzzSupport.h"
#include "LineSplitter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const bool readFails = input.byte() == 0xA5;
    const std::string content(input.rest());

    FuzzPlatform platform;
    platform.program = "/lab/orvi";
    MemoryFileSystem files;
    files.put("/lab/orvi.ini", content);
    files.failAt = readFails ? 0 : -1;
    CExperiment experiment(platform, files);

    const int defaults[6] = {1000, 1000, 1000, 500, 500, 1};
    const std::vector<std::string> lines =
        FgetsPieces(content, static_cast<int>(LineSplitter::kSettingsBuffer));
    const int got[6] = {experiment.m_nBeepDelay, experiment.m_nBeepLength,
                        experiment.m_nFaceDelay, experiment.m_nBlinkWhite,
                        experiment.m_nBlinkRed,  experiment.m_nHideCursor};
    for (std::size_t i = 0; i < 6; ++i) {
        const ScannedField field =
            readFails || i >= lines.size() ? ScannedField{} : ScanIntField(lines[i].c_str());
        const long long want = field.ok ? field.integer : defaults[i];
        FUZZ_CHECK(got[i] == want, "setting %zu is %d, sscanf reads %lld", i + 1, got[i], want);
    }
    FUZZ_CHECK(files.files.size() == 1 && files.contentOf("/lab/orvi.ini") == content,
               "the settings file was changed");
    return 0;
}
