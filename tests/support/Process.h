#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace varnet::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when killed by a signal
    std::string out;
    std::string err;
};

inline std::string readAll(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
    return s;
}

// Starts a program with stdout and stderr sent to files (so a large output
// cannot block it); returns its pid.
inline pid_t spawn(const std::vector<std::string>& argv, const std::string& outFile,
                   const std::string& errFile) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

inline int waitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline ProcessResult run(const std::vector<std::string>& argv, const std::string& scratchDir) {
    const std::string outFile = scratchDir + "/.stdout", errFile = scratchDir + "/.stderr";
    ProcessResult r;
    r.exitCode = waitExit(spawn(argv, outFile, errFile));
    const int out = open(outFile.c_str(), O_RDONLY), err = open(errFile.c_str(), O_RDONLY);
    r.out = readAll(out);
    r.err = readAll(err);
    close(out);
    close(err);
    return r;
}

}  // namespace varnet::test
