#include "BidsDataset.h"

#include <filesystem>
#include <map>
#include <set>

#include "ParticipantLabels.h"

namespace {

constexpr const char* kTask = "orvi";

using Levels = std::vector<std::pair<const char*, const char*>>;  // value, meaning

// One column of a BIDS data dictionary; its texts hold no '"' or '\\'.
struct ColumnEntry {
    const char* name;
    const char* longName;
    const char* units;  // nullptr when there are levels instead
    const char* description;
    Levels levels = {};
};

// The levels of a 0/1 column.
Levels Flag(const char* zero, const char* one) { return {{"0", zero}, {"1", one}}; }

// Every column of the _beh.tsv files. The columns follow the trial table without its
// participant and file.
const std::vector<ColumnEntry> kTrialColumnEntries = {
    {"line", "Line number", "1", "Line of the record file that holds the trial, counted from 1."},
    {"run", "Run within the record file", "1",
     "Open markers of the record file up to this line, counted from 1 (0: none). orvi writes "
     "an open marker each time it opens the file, so a continued file holds several runs. Not "
     "the BIDS run entity, which numbers the record files of a participant."},
    {"run_opened", "Run opened at", "ISO 8601 local date and time (YYYY-MM-DDThh:mm:ss)",
     "Local date and time of the open marker of this run, as the experiment computer's clock "
     "showed it, without a time zone."},
    {"trial", "Trial number", "1",
     "Trial number as written in the record file: position of the trial within its run, "
     "counted from 1, misses and cancelled trials included."},
    {"item", "Item", "1", "One of the 16 items of a run: (target_eye - 1) * 8 + viewpoint."},
    {"target_eye",
     "Target eye",
     nullptr,
     "The eye that the cue named, numbered as in the record file.",
     {{"1", "the face's own right eye: on the viewer's left when the face is upright"},
      {"2", "the face's own left eye: on the viewer's right when the face is upright"}}},
    {"viewpoint",
     "Viewpoint",
     nullptr,
     "Rotation of the face in steps of 45 degrees, as numbered in the record file; 5 is "
     "upright, 1 upside down.",
     {{"1", "upside down (180 degrees)"},
      {"2", "turned 135 degrees clockwise from upright"},
      {"3", "turned 90 degrees clockwise: the top of the head to the viewer's right"},
      {"4", "turned 45 degrees clockwise"},
      {"5", "upright"},
      {"6", "turned 45 degrees counterclockwise"},
      {"7", "turned 90 degrees counterclockwise: the top of the head to the viewer's left"},
      {"8", "turned 135 degrees counterclockwise"}}},
    {"disparity_deg", "Angular disparity", "deg",
     "Rotation of the face from upright the shorter way round: |viewpoint - 5| * 45."},
    {"cue_file",
     "Cue file",
     nullptr,
     "The cue sound that looped for the target eye from the face's onset to the click, given "
     "the file's swap flag. n/a when the record file has no swap flag.",
     {{"sound1.wav",
       "the cue played under the name 'left': target eye 1 when swap is 0, target eye 2 when "
       "swap is not 0"},
      {"sound2.wav",
       "the cue played under the name 'right': target eye 2 when swap is 0, target eye 1 when "
       "swap is not 0"}}},
    {"rt_ms", "Reaction time", "ms",
     "Time from the face's onset to the click, rounded to whole milliseconds by the record "
     "file; also written for a click that hit no eye."},
    {"response",
     "Eye clicked",
     nullptr,
     "The eye the click hit.",
     {{"0", "no eye (a miss: the item is presented again)"}, {"1", "eye 1"}, {"2", "eye 2"}}},
    {"correct", "Correct", nullptr, "Whether the click hit the target eye.", Flag("no", "yes")},
    {"valid", "Valid", nullptr, "Whether the click hit an eye.", Flag("no eye hit", "an eye hit")},
    {"cancelled", "Cancelled", nullptr,
     "Whether the operator cancelled the trial afterwards; its item was presented again.",
     Flag("kept", "cancelled")},
    {"swap", "Cue swap flag", nullptr,
     "The swap flag of the record file's parameter line, drawn at random when the experiment "
     "starts: which cue file each eye gets (see cue_file). Any non-zero value acts as 1. n/a "
     "when the record file has no parameter line.",
     Flag("eye 1 gets sound1.wav, eye 2 sound2.wav", "eye 1 gets sound2.wav, eye 2 sound1.wav")},
    {"beep_delay_ms", "Beep delay", "ms",
     "From the operator's start command to the warning beep (parameter line)."},
    {"beep_length_ms", "Beep length", "ms", "Length of the 2048 Hz warning beep (parameter line)."},
    {"face_delay_ms", "Face delay", "ms",
     "From the end of the beep to the face's onset (parameter line)."},
    {"blink_white_ms", "Blink practice, white phase", "ms",
     "White phase of the blink practice (parameter line); no effect on trials."},
    {"blink_red_ms", "Blink practice, red phase", "ms",
     "Red phase of the blink practice (parameter line); no effect on trials."},
    {"hide_cursor", "Cursor hidden", nullptr,
     "Whether the mouse cursor was hidden (parameter line).", Flag("shown", "hidden")},
    {"rt_used", "Reaction time used", nullptr,
     "Whether the trial enters the reaction-time statistics of orvi-report after trimming.",
     Flag("left out (see excluded_by)", "used")},
    {"excluded_by",
     "Left out by",
     nullptr,
     "Why the trial is left out of the reaction-time statistics; n/a when it is used.",
     {{"cancelled", "cancelled by the operator"},
      {"miss", "the click hit no eye"},
      {"error", "the click hit the other eye"},
      {"min_rt", "faster than orvi-report's --min-rt"},
      {"sd_cut", "beyond orvi-report's --sd-cut from its cell mean"}}},
};

const std::vector<ColumnEntry> kParticipantColumnEntries = {
    {"participant_id", "Participant", nullptr, "sub- and the letters and digits of orvi_label."},
    {"orvi_label", "orvi-report participant label", nullptr,
     "The participant as orvi-report names it in its tables: the record file's name, or the "
     "part that --participant picked out of it."},
    {"record_files", "Record files", "1",
     "Record files pooled for this participant, one BIDS run each in the order given to "
     "orvi-report."},
};

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

// Short lists of levels stay on one line.
constexpr std::size_t kInlineLevelsWidth = 80;

std::string LevelsJson(const Levels& levels) {
    std::string inlined = "{";
    std::string lines = "{";
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const std::string member = Quoted(levels[i].first) + ": " + Quoted(levels[i].second);
        inlined += (i == 0 ? "" : ", ") + member;
        lines += (i == 0 ? "\n      " : ",\n      ") + member;
    }
    const std::string prefix = "    \"Levels\": ";
    return prefix.size() + inlined.size() + 1 <= kInlineLevelsWidth ? inlined + "}"
                                                                    : lines + "\n    }";
}

std::string EntryJson(const ColumnEntry& entry) {
    std::string json = "  " + Quoted(entry.name) +
                       ": {\n    \"LongName\": " + Quoted(entry.longName) +
                       ",\n    \"Description\": " + Quoted(entry.description);
    if (entry.units != nullptr) {
        json += ",\n    \"Units\": " + Quoted(entry.units);
    }
    if (!entry.levels.empty()) {
        json += ",\n    \"Levels\": " + LevelsJson(entry.levels);
    }
    return json + "\n  }";
}

// A data dictionary: `lead` (members of its own, each followed by ",\n") and the columns.
std::string DictionaryJson(const std::string& lead, const std::vector<ColumnEntry>& entries) {
    std::string json = "{\n" + lead;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        json += (i == 0 ? "" : ",\n") + EntryJson(entries[i]);
    }
    return json + "\n}\n";
}

std::string BehPath(const std::string& id, int run) {
    const std::string sub = "sub-" + BidsLabel(id);
    return sub + "/beh/" + sub + "_task-" + kTask + (run > 0 ? "_run-" + std::to_string(run) : "") +
           "_beh.tsv";
}

std::string TsvRow(const std::vector<std::string>& fields, std::size_t first) {
    std::string row;
    for (std::size_t i = first; i < fields.size(); ++i) {
        row += (i == first ? "" : "\t") + (fields[i].empty() ? std::string("n/a") : fields[i]);
    }
    return row + "\n";
}

// The trial table's participant and file columns become the path.
constexpr std::size_t kFirstColumn = 2;

std::string BehTsv(const TrialTableFile& file) {
    std::string tsv = TsvRow(TrialColumns(), kFirstColumn);
    for (const std::vector<std::string>& row : TrialRows(file)) {
        tsv += TsvRow(row, kFirstColumn);
    }
    return tsv;
}

// A participant's files with trials, as participants first appear.
using Subjects = std::vector<std::pair<std::string, std::vector<const TrialTableFile*>>>;

Subjects SubjectsOf(const std::vector<TrialTableFile>& files) {
    Subjects subjects;
    std::map<std::string, std::size_t> index;
    for (const TrialTableFile& file : files) {
        if (file.file->trials.empty()) {
            continue;
        }
        const auto [it, added] = index.emplace(file.participant, subjects.size());
        if (added) {
            subjects.emplace_back(file.participant, std::vector<const TrialTableFile*>());
        }
        subjects[it->second].second.push_back(&file);
    }
    return subjects;
}

std::string ParticipantsTsv(const Subjects& subjects) {
    std::string tsv = "participant_id\torvi_label\trecord_files\n";
    for (const auto& [id, files] : subjects) {
        tsv += "sub-" + BidsLabel(id) + "\t" + id + "\t" + std::to_string(files.size()) + "\n";
    }
    return tsv;
}

// The files at the top of the dataset.
void AddDescription(const Subjects& subjects, const std::string& version,
                    std::vector<DatasetFile>& dataset) {
    dataset.push_back({"dataset_description.json",
                       "{\n  \"Name\": \"orvi: reaction time to a rotated face's eyes\",\n"
                       "  \"BIDSVersion\": \"1.9.0\",\n  \"DatasetType\": \"raw\",\n"
                       "  \"GeneratedBy\": [{\"Name\": \"orvi-report\", \"Version\": \"" +
                           version + "\"}]\n}\n"});
    dataset.push_back(
        {"README",
         "Behavioural data of orvi, a reaction-time experiment: a schematic face appears at one\n"
         "of eight rotations, a looping cue sound names one of its eyes, and the participant\n"
         "clicks an eye. Converted from orvi record files by orvi-report --bids; one _beh.tsv\n"
         "per record file, one row per trial. task-orvi_beh.json describes every column.\n"});
    dataset.push_back({"participants.tsv", ParticipantsTsv(subjects)});
    dataset.push_back({"participants.json", DictionaryJson("", kParticipantColumnEntries)});
    dataset.push_back(
        {std::string("task-") + kTask + "_beh.json",
         DictionaryJson(std::string("  \"TaskName\": \"") + kTask + "\",\n", kTrialColumnEntries)});
}

}  // namespace

std::vector<DatasetFile> BidsDataset(const std::vector<TrialTableFile>& files,
                                     const std::string& version) {
    const Subjects subjects = SubjectsOf(files);
    std::vector<DatasetFile> dataset;
    AddDescription(subjects, version, dataset);
    for (const auto& [id, list] : subjects) {
        const std::string sub = "sub-" + BidsLabel(id);
        dataset.push_back({sub, std::string(), true});
        dataset.push_back({sub + "/beh", std::string(), true});
        for (std::size_t r = 0; r < list.size(); ++r) {
            const int run = list.size() > 1 ? static_cast<int>(r) + 1 : 0;
            dataset.push_back({BehPath(id, run), BehTsv(*list[r])});
        }
    }
    return dataset;
}

std::string ForeignSubjectEntry(const std::string& dir, const std::vector<DatasetFile>& dataset) {
    namespace fs = std::filesystem;
    std::set<std::string> planned;
    for (const DatasetFile& file : dataset) {
        planned.insert(file.path);
    }
    std::error_code error;
    for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end;
         it.increment(error)) {
        const std::string relative = fs::path(it->path()).lexically_relative(dir).generic_string();
        if (relative.compare(0, 4, "sub-") == 0 && planned.count(relative) == 0) {
            return relative;
        }
    }
    return std::string();
}

std::vector<std::string> PossibleBidsPaths(const std::vector<std::string>& ids) {
    std::vector<std::string> paths;
    for (const DatasetFile& file : BidsDataset({}, std::string())) {
        paths.push_back(file.path);  // the files every dataset has
    }
    std::map<std::string, int> filesOf;
    for (const std::string& id : ids) {
        ++filesOf[id];
    }
    for (const auto& [id, count] : filesOf) {
        for (int run = 0; run <= (count > 1 ? count : 0); ++run) {
            paths.push_back(BehPath(id, run));
        }
    }
    return paths;
}
