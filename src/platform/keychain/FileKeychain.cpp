#include "platform/keychain/FileKeychain.h"

#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::keychain {

namespace {

constexpr char kFileName[] = "secrets";
// Bounds what a damaged or planted file can make us read.
constexpr qint64 kMaximumFileSize = 4 * 1024 * 1024;

QByteArray encodeField(const QString& text) {
    return text.toUtf8().toPercentEncoding();
}

std::optional<QString> decodeField(const QByteArray& field) {
    const QByteArray bytes = QByteArray::fromPercentEncoding(field);
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        return std::nullopt;
    return text;
}

bool readFully(int fd, QByteArray* data) {
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        data->append(buffer, got);
        if (data->size() > kMaximumFileSize)
            return false;
    }
}

} // namespace

FileKeychain::FileKeychain(QString folder) : folder(std::move(folder)) {}

QString FileKeychain::defaultFolder() {
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/Vistrelle/keychain"));
}

QString FileKeychain::filePath() const {
    return folder + u'/' + QLatin1String(kFileName);
}

std::optional<QList<FileKeychain::Item>> FileKeychain::readItems() const {
    QList<Item> items;
    UniqueFd fd(::open(QFile::encodeName(filePath()).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return errno == ENOENT ? std::optional(items) : std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid())
        return std::nullopt;
    QByteArray content;
    if (!readFully(fd.get(), &content))
        return std::nullopt;
    // One item a line: service, account and password, the names percent-encoded, the password in base64.
    for (const QByteArray& line : content.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 3)
            continue;
        const std::optional<QString> service = decodeField(fields[0]);
        const std::optional<QString> account = decodeField(fields[1]);
        const auto password =
            QByteArray::fromBase64Encoding(fields[2], QByteArray::AbortOnBase64DecodingErrors);
        if (service && account && password)
            items.append(Item{*service, *account, *password});
    }
    return items;
}

bool FileKeychain::writeItems(const QList<Item>& items) const {
    if (!QDir().mkpath(QFileInfo(folder).absolutePath()) || !paths::ensurePrivateFolder(folder))
        return false;
    QByteArray content;
    for (const Item& item : items)
        content += encodeField(item.service) + ' ' + encodeField(item.account) + ' ' +
                   item.password.toBase64() + '\n';
    QByteArray temporary = QFile::encodeName(filePath()) + ".XXXXXX";
    // mkstemp makes the file 0600 and exclusively ours before a byte is written.
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd)
        return false;
    const bool written = writeFully(fd.get(), content.constData(), std::size_t(content.size())) &&
                         ::fsync(fd.get()) == 0 && fd.reset() == 0 &&
                         ::rename(temporary.constData(), QFile::encodeName(filePath()).constData()) == 0;
    if (!written)
        ::unlink(temporary.constData());
    return written;
}

Status FileKeychain::findGenericPassword(const QString& service, const QString& account,
                                         QByteArray* password) {
    std::lock_guard lock(mutex);
    const std::optional<QList<Item>> items = readItems();
    if (!items)
        return Status::Failed;
    for (const Item& item : *items) {
        if (item.service == service && item.account == account) {
            if (password)
                *password = item.password;
            return Status::Success;
        }
    }
    return Status::ItemNotFound;
}

Status FileKeychain::addGenericPassword(const QString& service, const QString& account,
                                        const QByteArray& password) {
    std::lock_guard lock(mutex);
    std::optional<QList<Item>> items = readItems();
    if (!items)
        return Status::Failed;
    items->removeIf([&](const Item& item) { return item.service == service && item.account == account; });
    items->append(Item{service, account, password});
    return writeItems(*items) ? Status::Success : Status::Failed;
}

Status FileKeychain::deleteGenericPassword(const QString& service, const QString& account) {
    std::lock_guard lock(mutex);
    std::optional<QList<Item>> items = readItems();
    if (!items)
        return Status::Failed;
    const qsizetype removed =
        items->removeIf([&](const Item& item) { return item.service == service && item.account == account; });
    if (removed == 0)
        return Status::ItemNotFound;
    return writeItems(*items) ? Status::Success : Status::Failed;
}

} // namespace platform::keychain
