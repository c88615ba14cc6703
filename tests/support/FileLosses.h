#pragma once

// The ways a file that a play or an export reads goes bad under it, as a sync tool, a full disk, a failed
// copy or another program leave it. Each answers whether it did it.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <sys/stat.h>

namespace test_support {

struct FileLoss {
    const char* how;
    std::function<bool(const QString&)> lose;
};

inline bool takeAway(const QString& path) {
    return QFile::remove(path);
}

inline bool cutToNothing(const QString& path) {
    return QFile(path).resize(0);
}

// A copy that stopped half way.
inline bool cutToHalf(const QString& path) {
    QFile file(path);
    return file.resize(file.size() / 2);
}

// Bytes that no reader of pictures, clips or sounds takes for its own, written over the whole file.
inline bool overwriteWithGarbage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray garbage(8192, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 37 + 11) % 251);
    return file.write(garbage) == garbage.size();
}

// The file overwritten in place from byte `kept` on by noise of a fixed seed, its length kept, as a copy or
// a program that went wrong leaves it.
inline bool overwriteInPlaceWithNoise(const QString& path, qint64 kept) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.size() <= kept || !file.seek(kept))
        return false;
    QByteArray noise(file.size() - kept, '\0');
    quint32 state = 2463534242u;
    for (char& byte : noise) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = char(state >> 24);
    }
    return file.write(noise) == noise.size();
}

// The first kilobyte kept: a picture whose header still reads.
inline bool keepHeaderThenNoise(const QString& path) {
    return overwriteInPlaceWithNoise(path, 1000);
}

// A JPEG cut inside its coded data and closed again by its end marker, as a copy that stopped short and a
// program that tidied it leave it: every header reads and the decoder fills the rest with grey.
inline bool cutInsideItsCodedData(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.resize(file.size() * 3 / 5) || !file.seek(file.size()))
        return false;
    return file.write("\xFF\xD9", 2) == 2;
}

inline bool noiseInPlace(const QString& path) {
    return overwriteInPlaceWithNoise(path, 0);
}

inline bool replaceByAPipe(const QString& path) {
    return QFile::remove(path) && ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

} // namespace test_support
