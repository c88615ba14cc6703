#include "support/WavFile.h"

#include <QFile>
#include <QtEndian>

namespace {

void putU32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void putU16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

} // namespace

bool WavFile::write(const QString& path, const std::vector<int16_t>& interleaved, int channels,
                    int sampleRate) {
    const quint32 dataBytes = static_cast<quint32>(interleaved.size() * sizeof(int16_t));
    QByteArray out;
    out.append("RIFF");
    putU32(out, 36 + dataBytes);
    out.append("WAVEfmt ");
    putU32(out, 16);
    putU16(out, 1); // PCM
    putU16(out, static_cast<quint16>(channels));
    putU32(out, static_cast<quint32>(sampleRate));
    putU32(out, static_cast<quint32>(sampleRate * channels * 2));
    putU16(out, static_cast<quint16>(channels * 2));
    putU16(out, 16);
    out.append("data");
    putU32(out, dataBytes);
    for (int16_t sample : interleaved)
        putU16(out, static_cast<quint16>(sample));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}
