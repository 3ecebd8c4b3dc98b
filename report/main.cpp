#include <iostream>
#include <string>
#include <vector>

#include "PosixFileSystem.h"
#include "ReportCommand.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    PosixFileSystem files;
    return RunReport(args, std::cout, std::cerr, files);
}
