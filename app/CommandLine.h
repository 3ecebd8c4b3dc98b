#pragma once

#include <string>
#include <vector>

// What the arguments ask for. No argument runs the experiment; one of --check, --help and
// --version asks for that alone; anything else is a usage error (exit status 2).
class CommandLine {
  public:
    enum class Action { Run, Check, Help, Version, UsageError };

    static CommandLine Parse(const std::vector<std::string>& args);

    Action action() const { return m_action; }
    // For a usage error: what is wrong, in one line.
    const std::string& error() const { return m_error; }

    static const char* Usage();
    static constexpr int kExitUsage = 2;

  private:
    Action m_action = Action::Run;
    std::string m_error;
};
