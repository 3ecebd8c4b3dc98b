#include "BenchFailure.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

namespace {
pid_t g_orvi = -1;
}

void SetProgramUnderTest(pid_t pid) { g_orvi = pid; }

void Die(const std::string& what) {
    std::fprintf(stderr, "orvi-bench: %s\n", what.c_str());
    if (g_orvi > 0) {
        kill(g_orvi, SIGTERM);
        waitpid(g_orvi, nullptr, 0);
    }
    std::exit(1);
}
