#pragma once

#include <functional>
#include <string>

// Runs `work` in a child process as an unprivileged user, so that file permissions hold even
// when the tests run as root; returns what `work` returned.
std::string runUnprivileged(const std::function<std::string()>& work);
// Whether this process ignores file permissions.
bool runningAsRoot();
