#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// A minimal PCM WAV writer of our own, so that the readers are checked against files no encoder of ours made.
namespace WavFile {

// 16-bit interleaved samples; false when the file cannot be written.
bool write(const QString& path, const std::vector<int16_t>& interleaved, int channels, int sampleRate);

} // namespace WavFile
