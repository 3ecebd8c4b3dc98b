#include "CExperiment.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "LineSplitter.h"
#include "RecordLineParser.h"
#include "ShiftJisText.h"
#include "TrialItem.h"
#include "TrialLine.h"

namespace {

const char kMsgNoRecordFile[] = "記録ファイルが指定されなかったので終了します。";
const char kMsgCannotCreate[] = "記録ファイルが作成できません。終了します。";
const char kMsgCannotWrite[] = "記録ファイルに書き込めません。終了します。";
const char kMsgContinueQuestion[] = "そのファイルは既に存在しています。続きを実行しますか?";
const char kMsgContinueCaption[] = "続行確認";
const char kMsgTempFile[] =
    "一時ファイルが削除または作成できないため取り消しできません。\n"
    "拡張子が$$$のファイルを削除してから再起動してください。";
const char kMsgAbnormal[] = "これが表示されたら異常";
const char kMsgCannotRebuild[] = "記録ファイルを再構成できません。終了します。";

const char kOpenMarker[] = "### open trial  : ";
const char kCloseMarker[] = "### close trial : ";
const char kParameterPrefix[] = "# param:";

std::size_t FileNameStart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// The program's name with "ini" after its last "."; a name without one gets ".ini" added.
// A "." in a folder name is not the extension.
std::string SettingsPathFor(const std::string& programPath) {
    const std::size_t dot = programPath.rfind('.');
    if (dot != std::string::npos && dot >= FileNameStart(programPath)) {
        return programPath.substr(0, dot + 1) + "ini";
    }
    return programPath + ".ini";
}

// The record path with the last three bytes of its file name replaced by "$$$", so that the
// temporary file lies in the same folder and the rename over the record file is atomic. A file
// name shorter than three bytes, or one that already ends in "$$$" (the temporary path would be
// the record file itself), gets "$$$" appended instead.
std::string TemporaryPathFor(const std::string& recordPath) {
    const std::size_t nameLength = recordPath.size() - FileNameStart(recordPath);
    if (nameLength >= 3 && recordPath.compare(recordPath.size() - 3, 3, "$$$") != 0) {
        return recordPath.substr(0, recordPath.size() - 3) + "$$$";
    }
    return recordPath + "$$$";
}

// What asctime writes ("Wed Jun 30 21:49:08 1993\n"), in English whatever the locale, and
// without asctime's undefined behaviour for years beyond four digits.
std::string AsctimeText(std::time_t t) {
    static const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr || local.tm_wday < 0 || local.tm_wday > 6 ||
        local.tm_mon < 0 || local.tm_mon > 11) {
        return "???\n";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %lld\n", kDays[local.tm_wday],
                  kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  1900LL + local.tm_year);
    return text;
}

// File values count items, eyes, viewpoints and responses from 1; wrap instead of overflowing
// for values that were never written by the program.
int MinusOne(int value) { return static_cast<int>(static_cast<unsigned>(value) - 1u); }
int PlusOne(int value) { return static_cast<int>(static_cast<unsigned>(value) + 1u); }

std::string WithLineEnds(const std::string& text, bool crlf) {
    if (!crlf) {
        return text;
    }
    std::string converted;
    converted.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    return converted;
}

}  // namespace

CExperiment::CExperiment(ExperimentPlatform& platform, FileSystem& files)
    : m_platform(platform), m_files(files) {
    LoadSettings();
    std::srand(static_cast<unsigned>(m_platform.calendarTime()));
    m_nSwapSides = std::rand() % 2 == 0 ? 1 : 0;
}

// No close marker here: the file already holds every line on disk.
CExperiment::~CExperiment() { ReleaseRecordFile(); }

void CExperiment::LoadSettings() {
    m_szIniPath = m_platform.programPath();
    if (m_szIniPath.empty()) {
        return;
    }
    m_szIniPath = SettingsPathFor(m_szIniPath);

    int* const settings[6] = {&m_nBeepDelay,  &m_nBeepLength, &m_nFaceDelay,
                              &m_nBlinkWhite, &m_nBlinkRed,   &m_nHideCursor};
    std::string content;
    switch (m_files.readFile(m_szIniPath, content)) {
        case FileSystem::ReadResult::Ok: {
            // Lines the file does not have leave their settings at the defaults.
            const std::vector<LinePiece> lines =
                LineSplitter::Split(content, LineSplitter::kSettingsBuffer);
            for (std::size_t i = 0; i < 6 && i < lines.size(); ++i) {
                RecordLineParser::ScanIntegers(lines[i].text, settings[i], 1);
            }
            return;
        }
        case FileSystem::ReadResult::Error:
            return;  // there, but unreadable: never overwrite the operator's file
        case FileSystem::ReadResult::CannotOpen:
            break;
    }
    std::string text;
    for (int i = 0; i < 6; ++i) {
        text += std::to_string(*settings[i]) + "\t; " + kSjisSettingsComments[i] + "\n";
    }
    if (std::unique_ptr<RecordStream> file =
            m_files.open(m_szIniPath, FileSystem::OpenMode::Truncate)) {
        file->append(text);
        file->close();
    }
}

void CExperiment::ResetRun() {
    if (m_pFile != nullptr) {
        CloseRecordFile();
        m_strPath.clear();
    }
    for (ScheduleSlot& slot : m_slots) {
        slot = {-1, SLOT_PENDING, -1.0};
    }
    m_records.clear();
    std::srand(static_cast<unsigned>(m_platform.calendarTime()));
    for (int i = 0; i < kItemCount; ++i) {
        for (;;) {
            const int item = std::rand() % kItemCount;
            bool taken = false;
            for (int j = 0; j < i; ++j) {
                taken = taken || m_slots[j].item == item;
            }
            if (!taken) {
                m_slots[i].item = item;
                break;
            }
        }
    }
    m_nTrials = 0;
    m_nPos = 0;
    SelectCurrentItem();
}

void CExperiment::SelectCurrentItem() {
    if (m_nPos < 0 || m_nPos >= kItemCount) {
        return;
    }
    const int item = m_slots[m_nPos].item;
    if (item < 0 || item >= kItemCount) {
        return;
    }
    m_nCurEye = kItemTable[item].eye;
    m_nCurViewpoint = kItemTable[item].viewpoint;
}

int CExperiment::AdvanceSchedule() {
    ++m_nTrials;
    const int p = m_nPos;
    if (m_nResponse != -1) {
        if (m_nPos < kItemCount) {
            ++m_nPos;
        }
    } else if (p >= 0 && p < kItemCount) {
        // Re-queue the missed item: swap it with the first slot from a random start that has
        // neither been missed nor moved by an earlier re-queue.
        const int r = p + std::rand() % (kItemCount - p);
        auto eligible = [this](int i) {
            return m_slots[i].status != SLOT_MISSED && m_slots[i].reactionTime != 0.0;
        };
        int partner = -1;
        for (int i = r; i < kItemCount && partner < 0; ++i) {
            if (eligible(i)) {
                partner = i;
            }
        }
        for (int i = r - 1; i >= p && partner < 0; --i) {
            if (eligible(i)) {
                partner = i;
            }
        }
        if (partner < 0) {
            partner = r;
        }
        std::swap(m_slots[p].item, m_slots[partner].item);
        std::swap(m_slots[p].status, m_slots[partner].status);
        m_slots[p].reactionTime = 0.0;
        m_slots[partner].reactionTime = 0.0;
    }
    // A miss with the run complete (only from a hand-edited file) has nothing to re-queue.
    if (m_nPos >= kItemCount) {
        return 0;
    }
    SelectCurrentItem();
    return 1;
}

int CExperiment::IsCorrect() const { return m_nResponse == m_nCurEye ? 1 : 0; }

void CExperiment::StartRun() {
    ResetRun();
    if (ChooseRecordFile() == -1) {
        Fail(kMsgNoRecordFile, MessageIcon::Information, 0);
    }
    if (OpenRecordFile() == -1) {
        Fail(kMsgCannotCreate, MessageIcon::Stop, 1);
    }
}

int CExperiment::ChooseRecordFile() {
    for (;;) {
        std::string path;
        if (!m_platform.chooseRecordFile(path)) {
            return -1;
        }
        m_strPath = path;
        if (!m_files.canOpenForReading(m_strPath)) {
            return 0;
        }
        if (m_platform.askYesNo(kMsgContinueQuestion, kMsgContinueCaption)) {
            return 0;
        }
    }
}

int CExperiment::OpenRecordFile() {
    ReleaseRecordFile();
    std::string content;
    const FileSystem::ReadResult read = m_files.readFile(m_strPath, content);
    if (read == FileSystem::ReadResult::Error) {
        return -1;  // continuing from half a file would lose the run's state
    }
    const bool existed = read == FileSystem::ReadResult::Ok;
    bool parametersTaken = false;
    m_bCrlf = LineSplitter::UsesCrlf(content);
    for (const LinePiece& line : LineSplitter::Split(content, LineSplitter::kRecordBuffer)) {
        TrialLine fields{};
        if (!line.text.empty() && line.text[0] >= '0' && line.text[0] <= '9') {
            if (!RecordLineParser::ParseTrialLine(line.text, fields)) {
                continue;
            }
            const TrialRecord record{
                MinusOne(fields.item), MinusOne(fields.eye),      MinusOne(fields.viewpoint),
                fields.reactionTime,   MinusOne(fields.response), fields.correct,
                fields.valid,          fields.cancelled};
            StoreRecord(m_nTrials, record);
            ++m_nTrials;
            if (record.cancelled == 0 && record.valid == 1) {
                RestoreDoneItem(record.item, record.reactionTime);
            }
        } else if (!parametersTaken && RecordLineParser::IsParameterLine(line.text)) {
            int values[RecordLineParser::kParameterCount] = {
                m_nBeepDelay, m_nBeepLength, m_nFaceDelay, m_nBlinkWhite,
                m_nBlinkRed,  m_nHideCursor, m_nSwapSides};
            RecordLineParser::ScanParameters(line.text, values);
            m_nBeepDelay = values[0];
            m_nBeepLength = values[1];
            m_nFaceDelay = values[2];
            m_nBlinkWhite = values[3];
            m_nBlinkRed = values[4];
            m_nHideCursor = values[5];
            m_nSwapSides = values[6];
            parametersTaken = true;
        }
    }
    if (existed && m_nPos < kItemCount) {
        SelectCurrentItem();
    }

    std::unique_ptr<RecordStream> file = m_files.open(m_strPath, FileSystem::OpenMode::Append);
    if (!file) {
        return -1;
    }
    m_pFile = file.release();

    std::string text = kOpenMarker + AsctimeText(m_platform.calendarTime());
    if (!parametersTaken) {
        char line[160];
        std::snprintf(line, sizeof line, "%s %d %d %d %d %d %d %d\n", kParameterPrefix,
                      m_nBeepDelay, m_nBeepLength, m_nFaceDelay, m_nBlinkWhite, m_nBlinkRed,
                      m_nHideCursor, m_nSwapSides);
        text += line;
    }
    if (!existed) {
        text += std::string(kSjisColumnHeader) + "\n";
    }
    AppendToRecordFile(text);
    return 0;
}

int CExperiment::CloseRecordFile() {
    if (m_pFile != nullptr) {
        AppendToRecordFile(kCloseMarker + AsctimeText(m_platform.calendarTime()));
        ReleaseRecordFile();
    }
    return 0;
}

void CExperiment::RecordTrial() {
    const int p = m_nPos;
    const int k = m_nTrials;
    const bool slotInRange = p >= 0 && p < kItemCount;
    TrialRecord record{};
    if (m_nResponse >= 0) {
        if (slotInRange) {
            m_slots[p].status = SLOT_DONE;
            m_slots[p].reactionTime = m_dReactionTime;
        }
        record.valid = 1;
    } else {
        if (slotInRange) {
            m_slots[p].status = SLOT_MISSED;
            m_slots[p].reactionTime = 0.0;
        }
        record.valid = 0;
    }
    record.item = slotInRange ? m_slots[p].item : -1;
    record.eye = m_nCurEye;
    record.viewpoint = m_nCurViewpoint;
    record.reactionTime = m_dReactionTime;
    record.response = m_nResponse;
    record.correct = IsCorrect();
    record.cancelled = 0;
    StoreRecord(k, record);
    WriteRecordLine(k);
}

void CExperiment::WriteRecordLine(int k) {
    if (m_pFile == nullptr || k < 0 || static_cast<std::size_t>(k) >= m_records.size()) {
        return;
    }
    const TrialRecord& r = m_records[static_cast<std::size_t>(k)];
    const TrialLine line{PlusOne(k),     PlusOne(r.item),     PlusOne(r.eye), PlusOne(r.viewpoint),
                         r.reactionTime, PlusOne(r.response), r.correct,      r.valid,
                         r.cancelled};
    AppendToRecordFile(line.Format() + "\n");
}

void CExperiment::CancelTrial(int depth) {
    if (depth < 0 || depth >= m_nTrials) {
        return;
    }
    const int k = m_nTrials - depth - 1;
    if (static_cast<std::size_t>(k) >= m_records.size() ||
        m_records[static_cast<std::size_t>(k)].cancelled == 1) {
        return;
    }
    // Without a record file (no run has opened one) only the bookkeeping changes.
    if (m_pFile != nullptr) {
        RewriteCancelledLine(k);
    }
    TrialRecord& record = m_records[static_cast<std::size_t>(k)];
    record.cancelled = 1;
    // m_nPos > 0 guards against a hand-edited file with more valid lines than items.
    if (record.valid == 1 && m_nPos > 0) {
        --m_nPos;
        m_slots[m_nPos].status = SLOT_MISSED;
        m_slots[m_nPos].reactionTime = 0.0;
    }
    m_nResponse = -1;
    --m_nTrials;
    AdvanceSchedule();
}

// Builds the new content in the temporary file and renames it over the record file, so that
// the record path always holds either the whole old or the whole new content. Failures:
//   (a) the stale temporary file cannot be replaced, or the new content cannot be written and
//       synced to it;
//   (b) the record file cannot be read back, which nothing but outside interference causes;
//   (c) the rename over the record file, or syncing its folder, fails.
// Before the rename the record file is untouched; after it the record file holds the whole new
// content. The open temporary file follows the rename and becomes the record stream.
void CExperiment::RewriteCancelledLine(int k) {
    const std::string tempPath = TemporaryPathFor(m_strPath);
    m_files.remove(tempPath);
    std::unique_ptr<RecordStream> temp = m_files.open(tempPath, FileSystem::OpenMode::CreateNew);
    if (!temp) {
        Fail(kMsgTempFile, MessageIcon::Stop, 1);
    }
    auto discardTemp = [&] {
        temp->close();
        m_files.remove(tempPath);
    };

    std::string old;
    if (m_files.readFile(m_strPath, old) != FileSystem::ReadResult::Ok) {
        discardTemp();
        Fail(kMsgAbnormal, MessageIcon::Stop, 1);
    }
    const bool crlf = LineSplitter::UsesCrlf(old);
    std::string rewritten;
    rewritten.reserve(old.size() + 8);
    for (const LinePiece& line : LineSplitter::Split(old, LineSplitter::kRecordBuffer)) {
        TrialLine fields{};
        if (RecordLineParser::ScanTrialFields(line.text, fields) ==
                RecordLineParser::kTrialFields &&
            fields.number == k + 1) {
            fields.cancelled = 1;
            rewritten += fields.Format();
            rewritten += line.lineEnd.empty() ? (crlf ? "\r\n" : "\n") : std::string(line.lineEnd);
        } else {
            rewritten += line.text;
            rewritten += line.lineEnd;
        }
    }
    if (!temp->append(rewritten)) {
        discardTemp();
        Fail(kMsgTempFile, MessageIcon::Stop, 1);
    }
    if (!m_files.rename(tempPath, m_strPath)) {
        discardTemp();
        Fail(kMsgCannotRebuild, MessageIcon::Stop, 1);
    }
    if (!m_files.syncDirectory(m_strPath)) {
        Fail(kMsgCannotRebuild, MessageIcon::Stop, 1);
    }
    ReleaseRecordFile();
    m_pFile = temp.release();
    m_bCrlf = crlf;
}

void CExperiment::RestoreDoneItem(int item, double reactionTime) {
    const int p = m_nPos;
    if (p < 0 || p >= kItemCount) {
        return;  // more restoring lines than items (a hand-edited file): the rest restore none
    }
    for (int j = p + 1; j < kItemCount; ++j) {
        if (m_slots[j].item == item) {
            std::swap(m_slots[j].item, m_slots[p].item);
            break;
        }
    }
    m_slots[p].status = SLOT_DONE;
    m_slots[p].reactionTime = reactionTime;
    ++m_nPos;
}

void CExperiment::StoreRecord(int k, const TrialRecord& record) {
    if (k < 0) {
        return;
    }
    const std::size_t index = static_cast<std::size_t>(k);
    if (m_records.size() <= index) {
        m_records.resize(index + 1, TrialRecord{-1, -1, -1, 0.0, -1, 0, -1, 0});
    }
    m_records[index] = record;
}

// One write per call: the bytes reach the disk whole or the file is cut back to where it was.
void CExperiment::AppendToRecordFile(const std::string& text) {
    if (m_pFile == nullptr) {
        return;
    }
    if (!m_pFile->append(WithLineEnds(text, m_bCrlf))) {
        Fail(kMsgCannotWrite, MessageIcon::Stop, 1);
    }
}

void CExperiment::ReleaseRecordFile() {
    if (m_pFile != nullptr) {
        m_pFile->close();
        delete m_pFile;
        m_pFile = nullptr;
    }
}

void CExperiment::Fail(const char* message, MessageIcon icon, int exitCode) {
    m_platform.showMessage(message, icon);
    m_platform.exitProcess(exitCode);
    std::abort();  // a platform whose exitProcess returns must not let the run go on
}
