// The settings reader: each of the six settings is what sscanf("%d") reads from the line that
// fgets() gives, or its default; the file is never written; a read failure keeps the defaults.
#include "CExperiment.h"
#include "FuzzSupport.h"
#include "LineSplitter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const bool readFails = input.byte() == 0xA5;
    FuzzFiles files;
    files.put("orvi.ini", input.rest);
    files.failAt = readFails ? 0 : -1;
    FuzzPlatform platform;
    platform.program = files.folder + "orvi";
    CExperiment experiment(platform, files);

    const int defaults[6] = {1000, 1000, 1000, 500, 500, 1};
    const std::vector<std::string> lines =
        FgetsPieces(input.rest, static_cast<int>(LineSplitter::kSettingsBuffer));
    const int got[6] = {experiment.m_nBeepDelay, experiment.m_nBeepLength,
                        experiment.m_nFaceDelay, experiment.m_nBlinkWhite,
                        experiment.m_nBlinkRed,  experiment.m_nHideCursor};
    for (std::size_t i = 0; i < 6; ++i) {
        const ScannedField field =
            readFails || i >= lines.size() ? ScannedField{} : ScanField(lines[i].c_str(), false);
        const long long want = field.ok ? field.integer : defaults[i];
        FUZZ_CHECK(got[i] == want, "setting %zu is %d, sscanf reads %lld", i + 1, got[i], want);
    }
    FUZZ_CHECK(files.contentOf("orvi.ini") == input.rest, "the settings file was changed");
    FUZZ_CHECK(std::distance(std::filesystem::directory_iterator(files.folder),
                             std::filesystem::directory_iterator()) == 1,
               "the settings reader made a file");
    return 0;
}
