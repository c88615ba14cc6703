#pragma once

#include <sys/types.h>

namespace platform {

// What a new child process is made of, all of it ready before it starts (nothing may be built between the
// fork and the exec).
struct ChildLaunch {
    const char* path = nullptr; // the program's absolute path
    char* const* argv = nullptr;
    char* const* envp = nullptr;
    int input = -1, output = -1;         // become the child's standard input and output
    int error = -1;                      // becomes its error output; -1: its output
    const char* workingFolder = nullptr; // null: ours
    bool ownProcessGroup = false;
};

// Starts the program as a child that dies with this program, however this program ends (a kill too): a child
// left behind would wait for ever on the pipes and files this program was to feed. It keeps its standard
// streams only, with every signal at its default and none blocked. 0 with *pid set, or the error number of
// what failed (the exec's too).
int launchChild(const ChildLaunch& launch, pid_t* pid);

} // namespace platform
