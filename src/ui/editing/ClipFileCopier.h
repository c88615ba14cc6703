#pragma once

#include <QString>

#include <functional>

// Copies an imported clip into the project folder in 1 MiB chunks: into a fresh temporary file of its own
// in the destination's folder, renamed to the destination only when every byte was read and written. The
// source is only ever read; nothing is left behind when the copy is cancelled or fails, and an existing
// destination is never replaced.
namespace clip_file_copier {

constexpr qint64 kChunkSize = 0x100000;

enum class Outcome { Copied, Cancelled, Failed };

struct Result {
    Outcome outcome = Outcome::Failed;
    QString error; // why it failed
};

// `progress` gets (bytes copied, file size) after every chunk that is not empty; `cancelled` is asked after
// each of those. Runs on the calling thread.
Result copyFile(const QString& source, const QString& destination,
                const std::function<void(qint64 copied, qint64 size)>& progress,
                const std::function<bool()>& cancelled);

} // namespace clip_file_copier
