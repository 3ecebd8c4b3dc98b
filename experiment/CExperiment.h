#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ExperimentPlatform.h"
#include "FileSystem.h"
#include "RecordLineParser.h"
#include "ScheduleSlot.h"
#include "TrialItem.h"
#include "TrialRecord.h"

// Bookkeeping of one experiment: settings, the order of the 16 items, the trial records and
// the record file. The view holds one by value and reads its members directly.
class CExperiment {
  public:
    // OpenRecordFile: another instance holds the file.
    static constexpr int kRecordFileInUse = -2;

    CExperiment(ExperimentPlatform& platform, FileSystem& files);
    virtual ~CExperiment();
    CExperiment(const CExperiment&) = delete;
    CExperiment& operator=(const CExperiment&) = delete;

    // Settings file
    static constexpr int kSettingCount = 6;
    void LoadSettings();
    // The values in effect, in the settings file's order.
    std::array<int, kSettingCount> Settings() const;

    // Item schedule
    void ResetRun();
    void SelectCurrentItem();
    int AdvanceSchedule();
    int IsCorrect() const;

    // Record file
    void StartRun();
    int ChooseRecordFile();
    int OpenRecordFile();
    int CloseRecordFile();
    // Stores trial m_nTrials from m_nResponse (-1: no eye hit), m_dReactionTime and the current
    // item (m_nCurEye, m_nCurViewpoint, the item at schedule position m_nPos), marks that
    // position done or missed, and appends the trial's line. Does not advance the schedule.
    void RecordTrial();
    void WriteRecordLine(int k);

    // Cancellation
    void CancelTrial(int depth);

    int m_nCurEye = 0;
    int m_nCurViewpoint = 0;
    int m_nResponse = -1;
    double m_dReactionTime = 0.0;
    int m_nBeepDelay = 1000;
    int m_nBeepLength = 1000;
    int m_nFaceDelay = 1000;
    int m_nBlinkWhite = 500;
    int m_nBlinkRed = 500;
    int m_nHideCursor = 1;
    int m_nSwapSides = 0;
    ScheduleSlot m_slots[kItemCount] = {};
    int m_nPos = 0;
    std::vector<TrialRecord> m_records;  // grows as trials are made or read back
    int m_nTrials = 0;
    std::string m_strPath;
    RecordStream* m_pFile = nullptr;  // open record file (owned), null when none
    std::string m_szIniPath;

  private:
    void ReadSettings(ByteSource& source);
    void CreateSettingsFile();

    // The steps of OpenRecordFile. LockRecordFile: 0, -1 or kRecordFileInUse; created: the
    // file is new. RestoreRun: 0 or -1; parametersTaken: the file has a parameter line.
    int LockRecordFile(std::unique_ptr<RecordStream>& file, bool& created);
    int RestoreRun(bool& parametersTaken);
    void RestoreTrialLine(const TrialLine& fields);
    void TakeParameterLine(std::string_view line);
    std::string OpeningText(bool created, bool parametersTaken) const;
    void RestoreDoneItem(int item, double reactionTime);
    void StoreRecord(int k, const TrialRecord& record);
    void RewriteCancelledLine(int k);
    [[noreturn]] void FailDiscarding(RecordStream& temp, const std::string& tempPath,
                                     const char* message);
    void AppendToRecordFile(const std::string& text);
    void SyncFolder(const std::string& path);
    void ReleaseRecordFile();
    [[noreturn]] void Fail(const char* message, MessageIcon icon, int exitCode);

    ExperimentPlatform& m_platform;
    FileSystem& m_files;
    bool m_bCrlf = false;  // the open record file ends its lines with CR LF
};
