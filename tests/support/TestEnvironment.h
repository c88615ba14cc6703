#pragma once

// Helpers every test executable may use: scoped environment overrides, event-loop spinning, whole files
// read and written, and the descriptors left open on a file.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QThread>

#include <QStringList>

#include <sys/stat.h>

#include <functional>
#include <optional>
#include <ostream>

namespace test_support {

// Sets (or with nullopt unsets) an environment variable for one scope and puts the old value back.
class EnvOverride {
public:
    EnvOverride(const char* name, const std::optional<QString>& value)
        : name(name), hadValue(qEnvironmentVariableIsSet(name)), old(qgetenv(name)) {
        if (value)
            qputenv(name, value->toLocal8Bit());
        else
            qunsetenv(name);
    }
    ~EnvOverride() {
        if (hadValue)
            qputenv(name, old);
        else
            qunsetenv(name);
    }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    const char* name;
    bool hadValue;
    QByteArray old;
};

// Runs the main event loop until `done` holds or a generous deadline passes; answers `done()`.
inline bool spinUntil(const std::function<bool()>& done, int deadlineMs = 10000) {
    const QDeadlineTimer deadline(deadlineMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Waits until `done` holds, through work of other threads, without running the event loop, or until a
// generous deadline passes; answers `done()`. What those threads hand to the main thread stays queued.
inline bool waitWithoutEvents(const std::function<bool()>& done, int deadlineMs = 10000) {
    const QDeadlineTimer deadline(deadlineMs);
    while (!done() && !deadline.hasExpired())
        QThread::msleep(1);
    return done();
}

// Runs the main event loop for a while whatever happens, to let anything queued show itself.
inline void spinFor(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A file's bytes; empty when it cannot be read.
inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// The kind of the entry at path itself (S_IFREG, S_IFDIR, S_IFIFO, S_IFLNK, ...), a link not followed; 0
// where there is none.
inline unsigned entryKind(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? unsigned(st.st_mode & S_IFMT) : 0u;
}

// This process's descriptors open on the file.
inline int descriptorsOpenOn(const QString& path) {
    const QString target = QFileInfo(path).absoluteFilePath();
    int count = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System))
        count += fd.symLinkTarget() == target ? 1 : 0;
    return count;
}

} // namespace test_support

// Texts as text in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '{' << texts.join(QStringLiteral(", ")).toStdString() << '}';
}
