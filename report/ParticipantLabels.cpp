#include "ParticipantLabels.h"

#include <map>
#include <regex>
#include <set>

#include "PathName.h"

namespace {

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string SafeName(std::string name) {
    for (char& c : name) {
        if (!IsAsciiAlnum(c) && c != '.' && c != '-' && c != '_') {
            c = '_';
        }
    }
    return name.empty() ? "participant" : name;
}

// Hands out ids from names, keeping "group" for the pooled outputs.
class IdPool {
  public:
    std::string Take(const std::string& name) {
        std::string id = name;
        for (int k = 2; m_taken.count(id) != 0; ++k) {
            id = name + "_" + std::to_string(k);
        }
        m_taken.insert(id);
        return id;
    }

  private:
    std::set<std::string> m_taken = {"group"};
};

}  // namespace

std::string CheckParticipantPattern(const std::string& pattern) {
    try {
        const std::regex regex(pattern, std::regex::ECMAScript);
        if (regex.mark_count() == 0) {
            return "--participant '" + pattern + "' has no capture group ( )";
        }
    } catch (const std::regex_error& e) {
        return "--participant '" + pattern + "' is not a regular expression (" + e.what() + ")";
    }
    return std::string();
}

ParticipantLabels LabelParticipants(const std::vector<std::string>& paths,
                                    const std::optional<std::string>& pattern) {
    ParticipantLabels labels;
    IdPool pool;
    if (!pattern) {
        std::map<std::string, std::string> firstPath;  // safe name -> the file that took it
        for (const std::string& path : paths) {
            std::string base = PathName::FileName(path);
            const std::size_t dot = base.find_last_of('.');
            if (dot != std::string::npos && dot > 0) {
                base.erase(dot);
            }
            const std::string name = SafeName(base);
            const std::string id = pool.Take(name);
            const auto [first, isNew] = firstPath.emplace(name, path);
            if (!isNew) {
                labels.notes.push_back(path + " is participant " + id + ", not the same as " +
                                       first->second + " (" + name + ")");
            }
            labels.ids.push_back(id);
        }
        return labels;
    }
    const std::regex regex(*pattern, std::regex::ECMAScript);
    std::map<std::string, std::string> idOfLabel;
    for (const std::string& path : paths) {
        std::smatch match;
        const std::string name = PathName::FileName(path);
        if (!std::regex_search(name, match, regex) || match[1].length() == 0) {
            labels.ids.emplace_back();
            continue;
        }
        const std::string label = match[1].str();
        auto found = idOfLabel.find(label);
        if (found == idOfLabel.end()) {
            found = idOfLabel.emplace(label, pool.Take(SafeName(label))).first;
        }
        labels.ids.push_back(found->second);
    }
    return labels;
}

std::string BidsLabel(const std::string& id) {
    std::string label;
    for (char c : id) {
        if (IsAsciiAlnum(c)) {
            label += c;
        }
    }
    return label;
}

std::string CheckBidsLabels(const std::vector<std::string>& ids) {
    std::map<std::string, std::string> idOfLabel;
    for (const std::string& id : ids) {
        const std::string label = BidsLabel(id);
        if (label.empty()) {
            return "participant '" + id + "' gives an empty BIDS label (letters and digits only)";
        }
        const auto [other, isNew] = idOfLabel.emplace(label, id);
        if (!isNew && other->second != id) {
            return "participants '" + other->second + "' and '" + id +
                   "' give the same BIDS label 'sub-" + label + "'";
        }
    }
    return std::string();
}
