#include "Interruption.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <deque>
#include <mutex>

namespace Interruption {

namespace {

std::atomic<int> caught{0};

// The words and the report a second signal leaves, each set whole before it is published: the
// handler reads only published texts, and the last few published live on after the next, so
// that a handler reading one while it is replaced never meets it freed.
constexpr size_t kKept = 8;
struct LastReport {
    std::string path;
    std::string text;
};
std::atomic<const std::string*> lastWords{nullptr};
std::atomic<const LastReport*> lastReport{nullptr};
std::mutex keeping;
std::deque<std::string> keptWords;
std::deque<LastReport> keptReports;

void writeAll(int fd, const std::string& text) {
    for (size_t written = 0; written < text.size();) {
        const ssize_t wrote = ::write(fd, text.data() + written, text.size() - written);
        if (wrote <= 0)
            return;
        written += static_cast<size_t>(wrote);
    }
}

void onSignal(int number) {
    int expected = 0;
    if (caught.compare_exchange_strong(expected, number))
        return;
    // The second signal: the user does not want to wait. Only what is safe in a handler.
    if (const std::string* words = lastWords.load())
        writeAll(STDERR_FILENO, *words);
    if (const LastReport* report = lastReport.load()) {
        const int fd = ::open(report->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            writeAll(fd, report->text);
            ::close(fd);
        }
    }
    ::_exit(128 + number);
}

}  // namespace

void install() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Calls into the drivers go on where the signal met them; the transfer stops between rows.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool requested() {
    return caught.load() != 0;
}

int exitStatus() {
    return 128 + caught.load();
}

void setLastWords(std::string words) {
    const std::lock_guard lock(keeping);
    keptWords.push_back(std::move(words));
    lastWords.store(&keptWords.back());
    if (keptWords.size() > kKept)
        keptWords.pop_front();
}

void setLastReport(std::string path, std::string report) {
    const std::lock_guard lock(keeping);
    keptReports.push_back({std::move(path), std::move(report)});
    lastReport.store(&keptReports.back());
    if (keptReports.size() > kKept)
        keptReports.pop_front();
}

}  // namespace Interruption
