#pragma once

// Small helpers every benchmark here uses.
#include "core/common/Files.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillane::bench {

using Clock = std::chrono::steady_clock;

// Seconds since start.
inline double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writes a file, making its folder first.
inline void write(const std::string& path, const std::string& content)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteTextFile(path, content);
}

// Runs a program (looked up on PATH unless args[0] is a path) and waits: true when it exits with 0.
inline bool runProcess(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs a program like runProcess and returns what it wrote to its standard
// output; false when it could not start or did not exit with 0.
inline bool runProcessOutput(const std::vector<std::string>& args, std::string& output)
{
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    output.clear();
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The most memory the calling process has held since it started its
// program, in MiB (VmHWM; ru_maxrss would carry the high-water mark of the
// process that spawned it across exec).
inline double peakMemoryMiB()
{
    std::string status;
    if (!TryReadFile("/proc/self/status", status)) {
        return 0;
    }
    const std::size_t at = status.find("VmHWM:");
    return at == std::string::npos ? 0 : std::strtod(status.c_str() + at + 6, nullptr) / 1024.0;
}

// The processor time the calling process has used, user and system, in seconds.
inline double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace quillane::bench
