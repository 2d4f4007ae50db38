#include "Unprivileged.h"

#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

std::string runUnprivileged(const std::function<std::string()>& work)
{
    if (!runningAsRoot())
        return work();
    int channel[2];
    if (::pipe(channel) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        constexpr uid_t kNobody = 65534;
        std::string result = "could not drop privileges";
        if (::setgid(kNobody) == 0 && ::setuid(kNobody) == 0)
            result = work();
        ssize_t ignored = ::write(channel[1], result.data(), result.size());
        (void)ignored;
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
