#pragma once

#include <functional>
#include <string>

// Runs `work` in a forked child process and returns the bytes it returned.
std::string runInChild(const std::function<std::string()>& work);
