#include "FileOperations.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "runtime/ErrorTrap.h"
#include "runtime/EventPump.h"

namespace Main {

namespace {

std::string systemError(const QString& what, int error) {
    return what.toStdString() + ": " + std::strerror(error);
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

void copyContent(int in, int out, const QString& source, const QString& destination) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw std::runtime_error(systemError("Cannot read " + source, errno));
        if (got == 0)
            break;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(out, buffer + written, static_cast<size_t>(got - written));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                throw std::runtime_error(systemError("Cannot write " + destination, errno));
            written += put;
        }
    }
}

// Copies a file to a new file and flushes it; throws with the system's reason.
void copyFlushed(const QString& source, const QString& destination) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    struct stat sourceInfo {};
    if (::stat(from.constData(), &sourceInfo) != 0)
        throw std::runtime_error(systemError("Cannot read " + source, errno));
    struct stat destinationInfo {};
    if (::stat(to.constData(), &destinationInfo) == 0 &&
        destinationInfo.st_dev == sourceInfo.st_dev && destinationInfo.st_ino == sourceInfo.st_ino)
        throw std::runtime_error("Cannot copy " + source.toStdString() + " onto itself");
    Descriptor in(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        throw std::runtime_error(systemError("Cannot read " + source, errno));
    Descriptor out(
        ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, sourceInfo.st_mode & 0777));
    if (out.get() < 0)
        throw std::runtime_error(systemError("Cannot create " + destination, errno));
    try {
        copyContent(in.get(), out.get(), source, destination);
        if (::fsync(out.get()) != 0 || ::close(out.release()) != 0)
            throw std::runtime_error(systemError("Cannot write " + destination, errno));
    } catch (...) {
        // A partly written copy must not be left behind.
        ::unlink(to.constData());
        throw;
    }
}

}  // namespace

QString DeleteFileForced(const QString& path) {
    LetEventsRun();
    if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT)
        return {};
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool RenameFile(const std::vector<std::pair<QString, QString>>& moves, Dialogs& dialogs,
                QWidget* owner) {
    ErrorTrap trap(dialogs, owner, QStringLiteral("Main.RenameFile"));
    std::vector<QString> copied;
    const bool allCopied = trap.step(100, [&] {
        for (const auto& [source, destination] : moves) {
            copyFlushed(source, destination);
            copied.push_back(destination);
        }
    });
    if (!allCopied) {
        for (const QString& copy : copied)
            ::unlink(QFile::encodeName(copy).constData());
        return false;
    }
    trap.step(102, [&] {
        for (const auto& move : moves)
            DeleteFileForced(move.first);
    });
    return true;
}

}  // namespace Main
