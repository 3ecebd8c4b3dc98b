#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "PosixFileSystem.h"
#include "ReportCommand.h"

int main(int argc, char** argv) {
    // Past a file size limit a write then fails like one on a full disk, and is reported,
    // instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    PosixFileSystem files;
    return RunReport(args, std::cout, std::cerr, files);
}
