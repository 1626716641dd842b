#pragma once

// A command run in a process of its own for the benchmarks: its time and peak memory.

#include <QElapsedTimer>

#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct Run {
    bool ok = false;
    double seconds = 0;
    long peakKib = 0;
};

// `command`, with its standard output into the file `out` when one is named.
inline Run run(const std::vector<std::string>& command, const std::string& out = {}) {
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!out.empty()) {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0)
                _exit(126);
        }
        std::vector<char*> args;
        for (const std::string& a : command)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return {};
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, double(timer.nsecsElapsed()) / 1e9,
            usage.ru_maxrss};
}
