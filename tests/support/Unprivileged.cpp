#include "Unprivileged.h"

#include <unistd.h>

#include "ChildProcess.h"

bool runningAsRoot() {
    return ::geteuid() == 0;
}

std::string runUnprivileged(const std::function<std::string()>& work) {
    if (!runningAsRoot())
        return work();
    return runInChild([&] {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            return std::string("could not drop privileges");
        return work();
    });
}
