#pragma once

// Shared plumbing of the media classes over the FFmpeg libraries; not part of the public interface.

#include <QString>
#include <functional>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace platform::media::detail {

// "what: the library's description of err".
QString avFailure(const QString& what, int err);
QString avErrorText(int err);

// A seek of the libraries' I/O (AVSEEK_SIZE asks for the size) on a file descriptor of ours.
int64_t seekDescriptor(int fd, int64_t offset, int whence);

// Quietens the libraries' own console chatter to real errors, once per process.
void initLibav();

// Closes an input of openInput() with the file it reads.
struct InputCloser {
    void operator()(AVFormatContext* context) const;
};
struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct AudioFifoFreer {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoFreer>;

FramePtr makeFrame();
PacketPtr makePacket();

// Opens a file for demuxing and reads its stream information. Only a local regular file is opened (a
// link to one counts): the name is never handed to the libraries, so no network address, device, pipe
// or socket is ever read, and a demuxer may open no other file on the media file's say.
InputPtr openInput(const QString& path, QString* error);
// The same for the regular file open at fd, which stays the caller's (the input reads a duplicate of it at a
// place of its own), named `name` in messages and for its extension. Reaches the file with no name at all,
// so it needs no /proc.
InputPtr openInput(int fd, const QString& name, QString* error);
// A codec context for the codec, not yet opened.
CodecContextPtr makeCodecContext(const AVCodec* codec);
// Opens a decoder for one stream of an open input.
CodecContextPtr openDecoder(const AVStream* stream, QString* error);
// What one step of feeding a decoder came to: 0s when all went on well.
struct FeedResult {
    int readError = 0; // the input ended or broke: the decoder has been told that nothing more comes
    int refused = 0;   // the decoder refused the stream's packets many times in a row: the stream is broken
    // The length of the packet the decoder refused at this step, in the stream's time base: the refused
    // packets in a row add up to the stretch of the stream that is spoilt.
    int64_t refusedDuration = 0;
};
// Reads the next packet of the input and hands it to the decoder when it is one of the decoded stream's,
// after `prepare` (when given) has seen it; a packet that `prepare` rejects counts as refused.
FeedResult feedDecoder(AVFormatContext* input, AVCodecContext* decoder, AVPacket* packet, int streamIndex,
                       int& badPackets, const std::function<bool(AVPacket*)>& prepare = nullptr);
// Hands a frame (null: the end) to an encoder and every packet it then has ready to `take`, which returns
// false to stop. On an error of the encoder *error is "failure: reason".
bool encodeFrame(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet, const QString& failure,
                 QString* error, const std::function<bool(AVPacket*)>& take);
// Seconds of a stream timestamp, measured from the stream's start.
double streamSeconds(const AVStream* stream, int64_t timestamp);
// The clockwise rotation in whole degrees (0..359) with which a video stream is meant to be shown.
int streamRotation(const AVStream* stream);

// After a failed open the reader stands closed again, with only the reason kept.
template <typename Impl> bool closeKeepingError(std::unique_ptr<Impl>& d) {
    QString error = std::move(d->error);
    d = std::make_unique<Impl>();
    d->error = std::move(error);
    return false;
}

} // namespace platform::media::detail
