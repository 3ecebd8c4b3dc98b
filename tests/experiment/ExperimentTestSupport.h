#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "CExperiment.h"
#include "FailingFileSystem.h"
#include "FakePlatform.h"
#include "PosixFileSystem.h"
#include "TempDir.h"
#include "TestFiles.h"

namespace fs = std::filesystem;

// Markers carry local time: pinned to UTC.
inline const bool kUtc = (setenv("TZ", "UTC0", 1), tzset(), true);

using Lines = std::vector<std::string>;
const char kMsgWrite[] = "stop 記録ファイルに書き込めません。終了します。";
const char kMsgTemp[] =
    "stop 一時ファイルが削除または作成できないため取り消しできません。\n"
    "拡張子が$$$のファイルを削除してから再起動してください。";

template <class Files = PosixFileSystem>
class ExperimentTest : public ::testing::Test {
  protected:
    TempDir dir;
    FakePlatform platform;
    Files files;
    CExperiment e{platform, files};
};

// A marker line: "### <kind> : <asctime text>" and the line end.
inline std::string Marker(const char* kind, std::time_t t, const char* lineEnd = "\n") {
    char text[64];
    std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", std::gmtime(&t));
    return std::string("### ") + kind + " : " + text + lineEnd;
}

// The six values of the settings file, in its order.
using Values = std::array<int, CExperiment::kSettingCount>;
const Values kDefaults = {1000, 1000, 1000, 500, 500, 1};

// Makes one trial: the click's eye (-1 none) and reaction time, stored and advanced.
inline int Play(CExperiment& experiment, int response, double reactionTime) {
    experiment.m_nResponse = response, experiment.m_dReactionTime = reactionTime;
    experiment.RecordTrial();
    return experiment.AdvanceSchedule();
}

// Chooses the path in the dialog and starts the run.
inline void StartRunOn(CExperiment& experiment, FakePlatform& platform, const std::string& path) {
    platform.choices.push_back(path);
    experiment.StartRun();
}
