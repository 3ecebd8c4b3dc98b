#include "CExperiment.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "LineReader.h"
#include "LineSplitter.h"
#include "PathName.h"
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
const char kMsgInUse[] =
    "その記録ファイルは他のorviが使用中です。\n別のファイルを指定してください。";

// A cancellation copies the record file in pieces of about this size.
constexpr std::size_t kCopyChunkBytes = 65536;

const char kOpenMarker[] = "### open trial  : ";
const char kCloseMarker[] = "### close trial : ";

// The program's name with "ini" after its last "."; a name without one gets ".ini" added.
// A "." in a folder name is not the extension.
std::string SettingsPathFor(const std::string& programPath) {
    const std::size_t dot = programPath.rfind('.');
    if (dot != std::string::npos && dot >= PathName::FileNameStart(programPath)) {
        return programPath.substr(0, dot + 1) + "ini";
    }
    return programPath + ".ini";
}

// The record path with the last three bytes of its file name replaced by "$$$", so that the
// temporary file lies in the same folder and the rename over the record file is atomic. A file
// name shorter than three bytes, or one that already ends in "$$$" (the temporary path would be
// the record file itself), gets "$$$" appended instead.
std::string TemporaryPathFor(const std::string& recordPath) {
    const std::size_t nameLength = recordPath.size() - PathName::FileNameStart(recordPath);
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
int FromFileNumber(int value) { return static_cast<int>(static_cast<unsigned>(value) - 1u); }
int ToFileNumber(int value) { return static_cast<int>(static_cast<unsigned>(value) + 1u); }

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

// The line as the rewritten record file holds it: trial `number`'s line flagged as cancelled,
// any other line as it was. A last line without an end gets the file's kind: every earlier line
// end has been seen, so crlfSoFar knows it.
std::string RewrittenLine(const LinePiece& line, int number, bool crlfSoFar) {
    TrialLine fields{};
    if (line.text.empty() ||
        RecordLineParser::ScanTrialFields(line.text, fields) != RecordLineParser::kTrialFields ||
        fields.number != number) {
        return std::string(line.text) + std::string(line.lineEnd);
    }
    fields.cancelled = 1;
    const std::string lineEnd =
        line.lineEnd.empty() ? (crlfSoFar ? "\r\n" : "\n") : std::string(line.lineEnd);
    return fields.Format() + lineEnd;
}

// Copies the record file from `source` to `to` with trial `number`'s line flagged as cancelled,
// and syncs `to`. Returns the failure's message, or null; crlf: the file's kind of line end.
const char* CopyCancelling(ByteSource& source, int number, RecordStream& to, bool& crlf) {
    LineReader reader(source, LineSplitter::kRecordBuffer);
    std::string chunk;
    LinePiece line;
    while (reader.next(line)) {
        chunk += RewrittenLine(line, number, reader.usesCrlf());
        if (chunk.size() >= kCopyChunkBytes) {
            if (!to.write(chunk)) {
                return kMsgTempFile;
            }
            chunk.clear();
        }
    }
    if (reader.failed()) {
        return kMsgAbnormal;
    }
    crlf = reader.usesCrlf();
    if (!to.write(chunk) || !to.sync()) {
        return kMsgTempFile;
    }
    return nullptr;
}

// The six settings and the swap flag, in the order the parameter line holds them.
constexpr int CExperiment::*kParameters[RecordLineParser::kParameterCount] = {
    &CExperiment::m_nBeepDelay,  &CExperiment::m_nBeepLength, &CExperiment::m_nFaceDelay,
    &CExperiment::m_nBlinkWhite, &CExperiment::m_nBlinkRed,   &CExperiment::m_nHideCursor,
    &CExperiment::m_nSwapSides};

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
    FileSystem::Opened opened = m_files.openForReading(m_szIniPath);
    if (opened.result == FileSystem::Opened::Result::Ok) {
        ReadSettings(*opened.source);
    } else if (opened.result == FileSystem::Opened::Result::Missing) {
        CreateSettingsFile();
    }
    // Otherwise there, but not a file that can be read: never overwrite it.
}

// Lines the file does not have leave their settings at the defaults; what follows the sixth
// line is never read. The first six parameters are the settings, in the file's order.
void CExperiment::ReadSettings(ByteSource& source) {
    LineReader reader(source, LineSplitter::kSettingsBuffer);
    LinePiece line;
    for (int i = 0; i < kSettingCount && reader.next(line); ++i) {
        RecordLineParser::ScanIntegers(line.text, &(this->*kParameters[i]), 1);
    }
}

void CExperiment::CreateSettingsFile() {
    std::string text;
    for (int i = 0; i < kSettingCount; ++i) {
        text += std::to_string(this->*kParameters[i]) + "\t; " + kSjisSettingsComments[i] + "\n";
    }
    if (std::unique_ptr<RecordStream> file =
            m_files.open(m_szIniPath, FileSystem::OpenMode::CreateNew)) {
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
    for (;;) {
        if (ChooseRecordFile() == -1) {
            Fail(kMsgNoRecordFile, MessageIcon::Information, 0);
        }
        const int opened = OpenRecordFile();
        if (opened == 0) {
            return;
        }
        if (opened != kRecordFileInUse) {
            Fail(kMsgCannotCreate, MessageIcon::Stop, 1);
        }
        // The operator most likely chose the neighbouring station's file: let them choose again.
        m_platform.showMessage(kMsgInUse, MessageIcon::Stop);
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
    std::unique_ptr<RecordStream> file;
    bool created = false;
    const int locked = LockRecordFile(file, created);
    if (locked != 0) {
        return locked;
    }
    bool parametersTaken = false;
    m_bCrlf = false;
    if (created) {
        SyncFolder(m_strPath);
    } else if (RestoreRun(parametersTaken) != 0) {
        return -1;  // continuing from a file that cannot be read back would lose the run
    }
    m_pFile = file.release();
    AppendToRecordFile(OpeningText(created, parametersTaken));
    return 0;
}

// Locked before reading, so that no other instance writes between the read and the run.
int CExperiment::LockRecordFile(std::unique_ptr<RecordStream>& file, bool& created) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        file = m_files.open(m_strPath, FileSystem::OpenMode::CreateNew);
        created = file != nullptr;
        if (!file) {
            file = m_files.open(m_strPath, FileSystem::OpenMode::Append);
        }
        if (!file) {
            return -1;
        }
        if (!file->tryLock()) {
            return kRecordFileInUse;
        }
        if (file->isAt(m_strPath)) {
            return 0;
        }
        file.reset();  // replaced by its owner's cancellation before the lock was taken
    }
    return -1;
}

// Reads the continued record file back: its trials, the items done and the first parameter
// line. -1 when it cannot be read to its end.
int CExperiment::RestoreRun(bool& parametersTaken) {
    FileSystem::Opened opened = m_files.openForReading(m_strPath);
    if (opened.result != FileSystem::Opened::Result::Ok) {
        return -1;
    }
    LineReader reader(*opened.source, LineSplitter::kRecordBuffer);
    LinePiece line;
    while (reader.next(line)) {
        TrialLine fields{};
        if (RecordLineParser::ParseTrialLine(line.text, fields)) {
            RestoreTrialLine(fields);
        } else if (!parametersTaken && RecordLineParser::IsParameterLine(line.text)) {
            TakeParameterLine(line.text);
            parametersTaken = true;
        }
    }
    if (reader.failed()) {
        return -1;
    }
    m_bCrlf = reader.usesCrlf();
    if (m_nPos < kItemCount) {
        SelectCurrentItem();
    }
    return 0;
}

void CExperiment::RestoreTrialLine(const TrialLine& fields) {
    const TrialRecord record{FromFileNumber(fields.item),
                             FromFileNumber(fields.eye),
                             FromFileNumber(fields.viewpoint),
                             fields.reactionTime,
                             FromFileNumber(fields.response),
                             fields.correct,
                             fields.valid,
                             fields.cancelled};
    StoreRecord(m_nTrials, record);
    ++m_nTrials;
    if (record.cancelled == 0 && record.valid == 1) {
        RestoreDoneItem(record.item, record.reactionTime);
    }
}

// Values the line lacks keep those in force.
void CExperiment::TakeParameterLine(std::string_view line) {
    int values[RecordLineParser::kParameterCount];
    for (int i = 0; i < RecordLineParser::kParameterCount; ++i) {
        values[i] = this->*kParameters[i];
    }
    RecordLineParser::ScanParameters(line, values);
    for (int i = 0; i < RecordLineParser::kParameterCount; ++i) {
        this->*kParameters[i] = values[i];
    }
}

// The open marker; the parameter line unless the file has one; a new file's column header.
std::string CExperiment::OpeningText(bool created, bool parametersTaken) const {
    std::string text = kOpenMarker + AsctimeText(m_platform.calendarTime());
    if (!parametersTaken) {
        text += RecordLineParser::kParameterPrefix;
        const char* separator = "";
        for (int CExperiment::*parameter : kParameters) {
            text += separator + std::to_string(this->*parameter);
            separator = " ";
        }
        text += "\n";
    }
    if (created) {
        text += std::string(kSjisColumnHeader) + "\n";
    }
    return text;
}

std::array<int, CExperiment::kSettingCount> CExperiment::Settings() const {
    std::array<int, kSettingCount> values{};
    for (int i = 0; i < kSettingCount; ++i) {
        values[static_cast<std::size_t>(i)] = this->*kParameters[i];
    }
    return values;
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
    const TrialLine line{
        ToFileNumber(k), ToFileNumber(r.item),     ToFileNumber(r.eye), ToFileNumber(r.viewpoint),
        r.reactionTime,  ToFileNumber(r.response), r.correct,           r.valid,
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
// the record path always holds either the whole old or the whole new content. The record file
// stays locked throughout, and the temporary file is locked from its creation. Failures:
//   (a) the temporary file cannot be made (a leftover one cannot be removed, or another
//       instance holds it), or the new content cannot be written and synced to it;
//   (b) the record file cannot be read back, which nothing but outside interference causes;
//   (c) the rename over the record file fails.
// Before the rename the record file is untouched; after it the record file holds the whole new
// content. The open, locked temporary file follows the rename and becomes the record stream.
void CExperiment::RewriteCancelledLine(int k) {
    // A link stays a link: the file it names is replaced, beside itself.
    const std::string recordPath = m_files.finalPath(m_strPath);
    RecordStream::Permissions permissions;
    if (!m_pFile->isAt(recordPath) || !m_pFile->permissions(permissions)) {
        Fail(kMsgCannotWrite, MessageIcon::Stop, 1);
    }
    const std::string tempPath = TemporaryPathFor(recordPath);
    std::unique_ptr<RecordStream> temp = m_files.createLocked(tempPath);
    if (!temp) {
        Fail(kMsgTempFile, MessageIcon::Stop, 1);
    }
    if (!temp->setPermissions(permissions)) {
        FailDiscarding(*temp, tempPath, kMsgTempFile);
    }
    FileSystem::Opened old = m_files.openForReading(recordPath);
    if (old.result != FileSystem::Opened::Result::Ok) {
        FailDiscarding(*temp, tempPath, kMsgAbnormal);
    }
    bool crlf = false;
    if (const char* failure = CopyCancelling(*old.source, k + 1, *temp, crlf)) {
        FailDiscarding(*temp, tempPath, failure);
    }
    if (!m_files.rename(tempPath, recordPath)) {
        FailDiscarding(*temp, tempPath, kMsgCannotRebuild);
    }
    SyncFolder(recordPath);
    ReleaseRecordFile();
    m_pFile = temp.release();
    m_bCrlf = crlf;
}

// Removed while still locked, so that no other instance's file of that name is touched.
void CExperiment::FailDiscarding(RecordStream& temp, const std::string& tempPath,
                                 const char* message) {
    m_files.remove(tempPath);
    temp.close();
    Fail(message, MessageIcon::Stop, 1);
}

// The file is complete on disk already; a folder sync that fails only leaves the entry's
// durability to the file system. EINVAL: the file system does not sync folders at all.
void CExperiment::SyncFolder(const std::string& path) {
    const int error = m_files.syncDirectory(path);
    if (error != 0 && error != EINVAL) {
        std::fprintf(stderr, "orvi: %s: cannot sync the folder: %s\n", path.c_str(),
                     std::strerror(error));
    }
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
    // Lines written after the file was replaced (an editor's save, a sync tool) would be lost
    // with the old file.
    if (!m_pFile->isAt(m_strPath) || !m_pFile->append(WithLineEnds(text, m_bCrlf))) {
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
