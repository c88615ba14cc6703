#pragma once

#include <QByteArray>
#include <QString>

// Where the fetcher's debug log goes on disk: in the log folder, one folder per run named
// "<process>_log_<date stamp>" and private to the user (mode 0700), holding a text file per record
// ("fetch_<n>.txt"), the reply bodies worth keeping ("fetch_<n>_response" with their extension) and the
// HTML index "aperçu_http_log.html" with an entry per record; beside the run folders the link
// "<process>_log_newest.html" points at the latest run's index. Files are private too (0600), and nothing
// is written through a link. Safe from any thread.
//
// A run's folder is made by the run itself: a process that finds the name taken (another one started in
// the same second) adds "_2", "_3", ... to it. When a run begins, the older runs of the same process name
// are removed, oldest first, until those left take no more than kMaximumTotalBytes. The run itself keeps
// within kMaximumTotalBytes too: past it, its oldest reply files go first, then its oldest records (their
// entries in the index stay, and lead nowhere). The index has its share of the total: past it, its oldest
// entries go, with the records and replies they list; the newest entry always stays.
class NetFetchLogFolder {
public:
    static constexpr qint64 kMaximumTotalBytes = 64 * 1024 * 1024;
    static constexpr qint64 kMaximumIndexBytes = kMaximumTotalBytes / 4;

    struct Entry {
        int number = 0;
        QString record;      // the record's text
        QString summary;     // one line for the index
        QByteArray response; // the reply body to keep, if any
        QString extension;   // the reply file's extension (may be empty)
    };

    // Writes one record; false when the folders or files cannot be made.
    static bool write(const QString& logFolder, const QString& processName, const QString& dateStamp,
                      const Entry& entry);

    static QString runFolderName(const QString& processName, const QString& dateStamp);
    static QString responseFileName(int number, const QString& extension);
    static QString indexFileName() { return QStringLiteral("aperçu_http_log.html"); }
    static QString newestLinkName(const QString& processName);
};
