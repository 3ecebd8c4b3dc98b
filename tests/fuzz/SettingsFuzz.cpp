// The settings reader: each of the six settings is what sscanf("%d") reads from the line that
// fgets() gives, or its default (the file left alone, failures: tests/experiment Settings).
#include "CExperiment.h"
#include "FuzzSupport.h"
#include "LineSplitter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    FuzzFiles files;
    WriteBytes(files.folder + "orvi.ini", std::string(content));
    FakePlatform platform;
    platform.program = files.folder + "orvi";
    CExperiment experiment(platform, files);

    const int defaults[6] = {1000, 1000, 1000, 500, 500, 1};
    const std::vector<std::string> lines =
        FgetsPieces(content, static_cast<int>(LineSplitter::kSettingsBuffer));
    const auto got = experiment.Settings();
    for (std::size_t i = 0; i < 6; ++i) {
        const ScannedField field =
            i >= lines.size() ? ScannedField{} : ScanField(lines[i].c_str(), false);
        const long long want = field.ok ? field.integer : defaults[i];
        FUZZ_CHECK(got[i] == want, "setting %zu is %d, sscanf reads %lld", i + 1, got[i], want);
    }
    return 0;
}
