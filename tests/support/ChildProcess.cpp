#include "ChildProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

std::string runInChild(const std::function<std::string()>& work) {
    int channel[2];
    if (::pipe(channel) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const std::string result = work();
        for (size_t written = 0; written < result.size();) {
            const ssize_t got =
                ::write(channel[1], result.data() + written, result.size() - written);
            if (got <= 0)
                break;
            written += static_cast<size_t>(got);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}
