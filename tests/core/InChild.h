#pragma once

#include <cerrno>
#include <exception>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillane::test {

// Runs body in a child process that is stopped after a few seconds and may
// take little more memory than it starts with, so that a read that never
// ends fails the test instead of hanging it or filling the machine. Gives
// what body returned, or how the child ended.
inline std::string InChild(const std::function<std::string()>& body, unsigned seconds = 10)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        return "no pipe";
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return "no child";
    }
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(seconds);
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t room = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (rlim_t{512} << 20);
        const rlimit limit{room, room};
        ::setrlimit(RLIMIT_AS, &limit);
        std::string result;
        try {
            result = body();
        } catch (const std::exception& e) {
            result = std::string("exception: ") + e.what();
        }
        for (std::size_t done = 0; done < result.size();) {
            const ssize_t n = ::write(fds[1], result.data() + done, result.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        return "the child ended by signal " + std::to_string(WTERMSIG(status)) + " after: " + out;
    }
    return out;
}

} // namespace quillane::test
