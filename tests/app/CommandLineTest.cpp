#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"

TEST(CommandLine, OneOfThreeArgumentsOrNoneAndEverythingElseIsAUsageError) {
    using Action = CommandLine::Action;
    const struct {
        std::vector<std::string> args;
        Action action;
    } cases[] = {
        {{}, Action::Run},
        {{"--check"}, Action::Check},
        {{"--Check"}, Action::UsageError},
        {{"check"}, Action::UsageError},
        {{"--check=1"}, Action::UsageError},
        {{""}, Action::UsageError},
        {{"--help", "--bogus"}, Action::UsageError},
        {{"-platform", "xcb"}, Action::UsageError},
    };
    for (const auto& c : cases) {
        const std::string args = ::testing::PrintToString(c.args);
        const CommandLine line = CommandLine::Parse(c.args);
        EXPECT_EQ(line.action(), c.action) << args;
        EXPECT_EQ(line.error().empty(), c.action != Action::UsageError) << args;
        if (c.args.size() == 1 && c.action == Action::UsageError) {
            EXPECT_NE(line.error().find("'" + c.args[0] + "'"), std::string::npos) << line.error();
        }
    }
}
