#include "BidsDataset.h"

#include <filesystem>
#include <map>
#include <set>

#include "ParticipantLabels.h"

namespace {

constexpr const char* kTask = "orvi";

// Every column of the _beh.tsv files, as JSON members. The columns follow the trial table
// without its participant and file.
constexpr const char* kColumnDictionary = R"json(
  "line": {
    "LongName": "Line number",
    "Description": "Line of the record file that holds the trial, counted from 1.",
    "Units": "1"
  },
  "run": {
    "LongName": "Run within the record file",
    "Description": "Open markers of the record file up to this line, counted from 1 (0: none). orvi writes an open marker each time it opens the file, so a continued file holds several runs. Not the BIDS run entity, which numbers the record files of a participant.",
    "Units": "1"
  },
  "run_opened": {
    "LongName": "Run opened at",
    "Description": "Local date and time of the open marker of this run, as the experiment computer's clock showed it, without a time zone.",
    "Units": "ISO 8601 local date and time (YYYY-MM-DDThh:mm:ss)"
},
  "trial": {
    "LongName": "Trial number",
    "Description": "Trial number as written in the record file: position of the trial within its run, counted from 1, misses and cancelled trials included.",
    "Units": "1"
  },
  "item": {
    "LongName": "Item",
    "Description": "One of the 16 items of a run: (target_eye - 1) * 8 + viewpoint.",
    "Units": "1"
  },
  "target_eye": {
    "LongName": "Target eye",
    "Description": "The eye that the cue named, numbered as in the record file.",
    "Levels": {
      "1": "the face's own right eye: on the viewer's left when the face is upright",
      "2": "the face's own left eye: on the viewer's right when the face is upright"
    }
  },
  "viewpoint": {
    "LongName": "Viewpoint",
    "Description": "Rotation of the face in steps of 45 degrees, as numbered in the record file; 5 is upright, 1 upside down.",
    "Levels": {
      "1": "upside down (180 degrees)",
      "2": "turned 135 degrees clockwise from upright",
      "3": "turned 90 degrees clockwise: the top of the head to the viewer's right",
      "4": "turned 45 degrees clockwise",
      "5": "upright",
      "6": "turned 45 degrees counterclockwise",
      "7": "turned 90 degrees counterclockwise: the top of the head to the viewer's left",
      "8": "turned 135 degrees counterclockwise"
    }
  },
  "disparity_deg": {
    "LongName": "Angular disparity",
    "Description": "Rotation of the face from upright the shorter way round: |viewpoint - 5| * 45.",
    "Units": "deg"
  },
  "cue_file": {
    "LongName": "Cue file",
    "Description": "The cue sound that looped for the target eye from the face's onset to the click, given the file's swap flag. n/a when the record file has no swap flag.",
    "Levels": {
      "sound1.wav": "the cue played under the name 'left': target eye 1 when swap is 0, target eye 2 when swap is not 0",
      "sound2.wav": "the cue played under the name 'right': target eye 2 when swap is 0, target eye 1 when swap is not 0"
    }
  },
  "rt_ms": {
    "LongName": "Reaction time",
    "Description": "Time from the face's onset to the click, rounded to whole milliseconds by the record file; also written for a click that hit no eye.",
    "Units": "ms"
  },
  "response": {
    "LongName": "Eye clicked",
    "Description": "The eye the click hit.",
    "Levels": {
      "0": "no eye (a miss: the item is presented again)",
      "1": "eye 1",
      "2": "eye 2"
    }
  },
  "correct": {
    "LongName": "Correct",
    "Description": "Whether the click hit the target eye.",
    "Levels": {"0": "no", "1": "yes"}
  },
  "valid": {
    "LongName": "Valid",
    "Description": "Whether the click hit an eye.",
    "Levels": {"0": "no eye hit", "1": "an eye hit"}
  },
  "cancelled": {
    "LongName": "Cancelled",
    "Description": "Whether the operator cancelled the trial afterwards; its item was presented again.",
    "Levels": {"0": "kept", "1": "cancelled"}
  },
  "swap": {
    "LongName": "Cue swap flag",
    "Description": "The swap flag of the record file's parameter line, drawn at random when the experiment starts: which cue file each eye gets (see cue_file). Any non-zero value acts as 1. n/a when the record file has no parameter line.",
    "Levels": {
      "0": "eye 1 gets sound1.wav, eye 2 sound2.wav",
      "1": "eye 1 gets sound2.wav, eye 2 sound1.wav"
    }
  },
  "beep_delay_ms": {
    "LongName": "Beep delay",
    "Description": "From the operator's start command to the warning beep (parameter line).",
    "Units": "ms"
  },
  "beep_length_ms": {
    "LongName": "Beep length",
    "Description": "Length of the 2048 Hz warning beep (parameter line).",
    "Units": "ms"
  },
  "face_delay_ms": {
    "LongName": "Face delay",
    "Description": "From the end of the beep to the face's onset (parameter line).",
    "Units": "ms"
  },
  "blink_white_ms": {
    "LongName": "Blink practice, white phase",
    "Description": "White phase of the blink practice (parameter line); no effect on trials.",
    "Units": "ms"
  },
  "blink_red_ms": {
    "LongName": "Blink practice, red phase",
    "Description": "Red phase of the blink practice (parameter line); no effect on trials.",
    "Units": "ms"
  },
  "hide_cursor": {
    "LongName": "Cursor hidden",
    "Description": "Whether the mouse cursor was hidden (parameter line).",
    "Levels": {"0": "shown", "1": "hidden"}
  },
  "rt_used": {
    "LongName": "Reaction time used",
    "Description": "Whether the trial enters the reaction-time statistics of orvi-report after trimming.",
    "Levels": {"0": "left out (see excluded_by)", "1": "used"}
  },
  "excluded_by": {
    "LongName": "Left out by",
    "Description": "Why the trial is left out of the reaction-time statistics; n/a when it is used.",
    "Levels": {
      "cancelled": "cancelled by the operator",
      "miss": "the click hit no eye",
      "error": "the click hit the other eye",
      "min_rt": "faster than orvi-report's --min-rt",
      "sd_cut": "beyond orvi-report's --sd-cut from its cell mean"
    }
  })json";

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

}  // namespace

std::vector<DatasetFile> BidsDataset(const std::vector<TrialTableFile>& files,
                                     const std::string& version) {
    // The trial table's participant and file columns become the path.
    constexpr std::size_t kFirstColumn = 2;
    std::vector<std::string> order;
    std::map<std::string, std::vector<const TrialTableFile*>> filesOf;
    for (const TrialTableFile& file : files) {
        if (file.file->trials.empty()) {
            continue;
        }
        auto& list = filesOf[file.participant];
        if (list.empty()) {
            order.push_back(file.participant);
        }
        list.push_back(&file);
    }

    std::vector<DatasetFile> dataset;
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
    std::string participants = "participant_id\torvi_label\trecord_files\n";
    for (const std::string& id : order) {
        participants +=
            "sub-" + BidsLabel(id) + "\t" + id + "\t" + std::to_string(filesOf[id].size()) + "\n";
    }
    dataset.push_back({"participants.tsv", participants});
    dataset.push_back(
        {"participants.json",
         "{\n"
         "  \"participant_id\": {\n    \"LongName\": \"Participant\",\n"
         "    \"Description\": \"sub- and the letters and digits of orvi_label.\"\n  },\n"
         "  \"orvi_label\": {\n    \"LongName\": \"orvi-report participant label\",\n"
         "    \"Description\": \"The participant as orvi-report names it in its tables: the "
         "record file's name, or the part that --participant picked out of it.\"\n  },\n"
         "  \"record_files\": {\n    \"LongName\": \"Record files\",\n"
         "    \"Description\": \"Record files pooled for this participant, one BIDS run each "
         "in the order given to orvi-report.\",\n    \"Units\": \"1\"\n  }\n}\n"});
    dataset.push_back(
        {std::string("task-") + kTask + "_beh.json",
         std::string("{\n  \"TaskName\": \"") + kTask + "\"," + kColumnDictionary + "\n}\n"});

    std::string header;
    for (std::size_t i = kFirstColumn; i < TrialColumns().size(); ++i) {
        header += (i == kFirstColumn ? "" : "\t") + TrialColumns()[i];
    }
    header += "\n";
    for (const std::string& id : order) {
        const std::string sub = "sub-" + BidsLabel(id);
        dataset.push_back({sub, std::string(), true});
        dataset.push_back({sub + "/beh", std::string(), true});
        const std::vector<const TrialTableFile*>& list = filesOf[id];
        for (std::size_t r = 0; r < list.size(); ++r) {
            std::string tsv = header;
            for (const std::vector<std::string>& row : TrialRows(*list[r])) {
                tsv += TsvRow(row, kFirstColumn);
            }
            dataset.push_back({BehPath(id, list.size() > 1 ? static_cast<int>(r) + 1 : 0), tsv});
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
