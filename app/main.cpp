#include <iostream>
#include <string>
#include <vector>

#include "COrviApp.h"
#include "CommandLine.h"
#include "OrviVersion.h"
#include "SelfCheck.h"

int main(int argc, char** argv) {
    const CommandLine command = CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.action()) {
        case CommandLine::Action::Run: break;
        case CommandLine::Action::Check: return SelfCheck::Run(std::cout);
        case CommandLine::Action::Help: std::cout << CommandLine::Usage(); return 0;
        case CommandLine::Action::Version: std::cout << "orvi " << ORVI_VERSION << "\n"; return 0;
        case CommandLine::Action::UsageError:
            std::cerr << "orvi: " << command.error()
                      << "\nTry 'orvi --help' for more information.\n";
            return CommandLine::kExitUsage;
    }
    COrviApp app(argc, argv);
    if (!app.InitInstance()) {
        return 0;
    }
    return app.Run();
}
