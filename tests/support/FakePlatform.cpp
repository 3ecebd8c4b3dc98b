#include "FakePlatform.h"

#include <cstdio>
#include <cstdlib>

bool FakePlatform::chooseRecordFile(std::string& path) {
    if (choices.empty()) return false;
    path = choices.front();
    choices.pop_front();
    return !path.empty();
}

bool FakePlatform::askYesNo(const std::string& text, const std::string& caption) {
    questions.push_back(text + "|" + caption);
    return noes-- <= 0;
}

void FakePlatform::showMessage(const std::string& text, MessageIcon icon) {
    messages.push_back((icon == MessageIcon::Stop ? "stop " : "information ") + text);
    if (realExit) std::fprintf(stderr, "%s\n", messages.back().c_str());
}

void FakePlatform::exitProcess(int code) {
    if (realExit) std::exit(code);
    messages.push_back("exit " + std::to_string(code));
    throw ProcessExit{code};
}
