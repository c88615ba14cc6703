#include "platform/disc/DiscLibrary.h"

#include <libburn/libburn.h>

#include <condition_variable>
#include <deque>
#include <thread>
#include <utility>

namespace platform::disc {

namespace {

// The library's message "Write thread on drive N ended", sent as the writer's last act.
constexpr int writerEndedCode = 0x00020178;
constexpr std::size_t logLimit = 256;
constexpr auto pumpInterval = std::chrono::milliseconds(10);

// sessionMutex guards the start and end of sessions. A handle may be ending on one thread while
// acquire() starts a new one on another, so the library is finished only when no handle is left.
std::mutex sessionMutex;
std::weak_ptr<DiscLibrary> currentSession;
int liveHandles = 0;

std::mutex libraryMutex;
int openDrives = 0; // guarded by libraryMutex

std::mutex logMutex;
std::deque<std::pair<std::uint64_t, QString>> messageLog; // guarded by logMutex
std::uint64_t lastMessage = 0;                            // guarded by logMutex
std::uint64_t endedWriters = 0;                           // guarded by logMutex

std::mutex writerMutex;
std::condition_variable writerFree;
bool writerTaken = false; // guarded by writerMutex

// The library's severity texts are passed as non-const char*.
void setMessageSeverities() {
    char queue[] = "DEBUG"; // the writer's end is a DEBUG message
    char print[] = "NEVER";
    char prefix[] = "libburn: ";
    burn::burn_msgs_set_severities(queue, print, prefix);
}

bool isReported(const char* severity) {
    QByteArray name(severity);
    return name == "SORRY" || name == "FAILURE" || name == "FATAL" || name == "ABORT";
}

void logMessage(int code, const char* severity, const char* text) {
    std::lock_guard<std::mutex> guard(logMutex);
    if (code == writerEndedCode)
        ++endedWriters;
    if (!isReported(severity))
        return;
    messageLog.emplace_back(++lastMessage, QString::fromLocal8Bit(text).trimmed());
    if (messageLog.size() > logLimit)
        messageLog.pop_front();
}

QString driveAddress(burn::burn_drive_info* info) {
    char address[BURN_DRIVE_ADR_LEN] = {};
    if (burn::burn_drive_get_adr(info, address) <= 0)
        return {};
    return QString::fromLocal8Bit(address);
}

} // namespace

std::shared_ptr<DiscLibrary> DiscLibrary::acquire(QString* error) {
    std::lock_guard<std::mutex> guard(sessionMutex);
    if (auto session = currentSession.lock())
        return session;
    if (burn::burn_initialize() != 1) {
        if (error)
            *error = QStringLiteral("The disc-recording library could not be started.");
        return nullptr;
    }
    // No burn_set_signal_handling(): the library's own handler would exit the whole application.
    setMessageSeverities();
    auto session = std::make_shared<DiscLibrary>(Key{});
    ++liveHandles;
    currentSession = session;
    return session;
}

DiscLibrary::DiscLibrary(Key) {}

DiscLibrary::~DiscLibrary() {
    std::lock_guard<std::mutex> guard(sessionMutex);
    if (--liveHandles > 0)
        return;
    pumpMessages();
    auto libraryGuard = lock();
    burn::burn_finish();
}

std::unique_lock<std::mutex> DiscLibrary::lock() {
    return std::unique_lock<std::mutex>(libraryMutex);
}

bool DiscLibrary::listDrives(std::vector<DriveInfo>* drives, QString* error) {
    auto guard = lock();
    drives->clear();
    if (openDrives > 0) {
        if (error)
            *error = QStringLiteral("Drives cannot be listed while a drive is in use.");
        return false;
    }
    burn::burn_drive_info* infos = nullptr;
    unsigned int count = 0;
    int status = 0;
    while ((status = burn::burn_drive_scan(&infos, &count)) == 0)
        std::this_thread::sleep_for(pumpInterval); // the scan runs on the library's own thread
    if (status < 0) {
        if (error)
            *error = QStringLiteral("The drive scan failed.");
        return false;
    }
    for (unsigned int i = 0; i < count; ++i) {
        drives->push_back({driveAddress(&infos[i]), QString::fromLatin1(infos[i].vendor).trimmed(),
                           QString::fromLatin1(infos[i].product).trimmed(),
                           QString::fromLatin1(infos[i].revision).trimmed()});
        // The scan locks each drive; listing must leave them free for open() and for other programs.
        burn::burn_drive_info_forget(&infos[i], 0);
    }
    burn::burn_drive_info_free(infos);
    return true;
}

int DiscLibrary::openDriveCount() const {
    auto guard = lock();
    return openDrives;
}

void DiscLibrary::driveOpened() {
    ++openDrives;
}

void DiscLibrary::driveClosed() {
    --openDrives;
}

void DiscLibrary::pumpMessages() {
    auto guard = lock();
    char minimum[] = "ALL";
    char text[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    int code = 0;
    int osErrno = 0;
    while (burn::burn_msgs_obtain(minimum, &code, text, &osErrno, severity) > 0)
        logMessage(code, severity, text);
}

std::uint64_t DiscLibrary::messageMark() {
    pumpMessages();
    std::lock_guard<std::mutex> guard(logMutex);
    return lastMessage;
}

QStringList DiscLibrary::messagesSince(std::uint64_t mark) {
    pumpMessages();
    std::lock_guard<std::mutex> guard(logMutex);
    QStringList messages;
    for (const auto& [number, text] : messageLog)
        if (number > mark)
            messages << text;
    return messages;
}

QString DiscLibrary::explained(const QString& message, const QStringList& messages) {
    if (messages.isEmpty())
        return message;
    return message + QStringLiteral(" (") + messages.join(QStringLiteral("; ")) + QLatin1Char(')');
}

bool DiscLibrary::acquireWriter(const std::function<bool()>& abandon) {
    std::unique_lock<std::mutex> guard(writerMutex);
    while (writerTaken) {
        if (abandon())
            return false;
        writerFree.wait_for(guard, pumpInterval);
    }
    writerTaken = true;
    return true;
}

void DiscLibrary::releaseWriter() {
    {
        std::lock_guard<std::mutex> guard(writerMutex);
        writerTaken = false;
    }
    writerFree.notify_all();
}

std::uint64_t DiscLibrary::writersEnded() {
    pumpMessages();
    std::lock_guard<std::mutex> guard(logMutex);
    return endedWriters;
}

bool DiscLibrary::waitForWriterEnd(std::uint64_t endedBefore, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (writersEnded() <= endedBefore) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pumpInterval);
    }
    return true;
}

} // namespace platform::disc
