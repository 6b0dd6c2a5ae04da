// Test helper: starts a program with its standard output on a pipe and reads the first line
// it prints (ombrix-devsim prints its pseudo-terminal's path there).
#pragma once

#include <poll.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace ombrix::testkit {

// Starts args[0] with the arguments that follow. Returns its pid (-1 when it could not be
// started) and puts the first line it printed, without the line feed, in `firstLine`; waits
// at most `timeoutMs` for each character.
inline pid_t spawnReadingFirstLine(std::vector<std::string> args, std::string& firstLine,
                                   int timeoutMs = 20000) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char c = 0;
    for (;;) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0 || read(out[0], &c, 1) != 1 || c == '\n')
            break;
        firstLine.push_back(c);
    }
    close(out[0]);
    return pid;
}

} // namespace ombrix::testkit
