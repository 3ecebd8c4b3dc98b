#pragma once

#include <sys/types.h>

#include <string>

// The program under test, ended when the bench gives up; -1 when none runs.
void SetProgramUnderTest(pid_t pid);

// Says what went wrong, ends the program under test and exits with status 1.
[[noreturn]] void Die(const std::string& what);
