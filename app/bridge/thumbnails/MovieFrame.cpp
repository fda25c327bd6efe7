#include "MovieFrame.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace {

// A damaged file may hold packet after packet that never yields a picture.
constexpr int kMaxPackets = 4096;

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

QSize Fit(int width, int height, QSize bound) {
    return QSize(width, height).scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage ToImage(const AVFrame* frame, QSize bound) {
    const QSize size = Fit(frame->width, frame->height, bound);
    std::unique_ptr<SwsContext, ScalerFreer> scaler(sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), size.width(),
        size.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr));
    QImage image(size, QImage::Format_RGB32);
    if (!scaler || image.isNull())
        return {};
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) <=
        0)
        return {};
    return image;
}

}  // namespace

QImage FirstMovieFrame(const QString& path, QSize bound) {
    AVFormatContext* opened = nullptr;
    const QByteArray file = path.toUtf8();
    if (avformat_open_input(&opened, file.constData(), nullptr, nullptr) < 0)
        return {};
    std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return {};
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream < 0 || codec == nullptr)
        return {};
    std::unique_ptr<AVCodecContext, CodecFreer> decoder(avcodec_alloc_context3(codec));
    if (!decoder ||
        avcodec_parameters_to_context(decoder.get(), format->streams[stream]->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return {};
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    if (!packet || !frame)
        return {};
    bool draining = false;
    for (int read = 0; read < kMaxPackets; ++read) {
        if (!draining) {
            if (av_read_frame(format.get(), packet.get()) < 0) {
                draining = true;  // the end: let the decoder give what it holds
                avcodec_send_packet(decoder.get(), nullptr);
            } else if (packet->stream_index != stream) {
                av_packet_unref(packet.get());
                continue;
            } else {
                const int sent = avcodec_send_packet(decoder.get(), packet.get());
                av_packet_unref(packet.get());
                if (sent < 0 && sent != AVERROR(EAGAIN))
                    continue;
            }
        }
        const int got = avcodec_receive_frame(decoder.get(), frame.get());
        if (got == 0 && frame->width > 0 && frame->height > 0)
            return ToImage(frame.get(), bound);
        if (draining && got != AVERROR(EAGAIN))
            return {};
    }
    return {};
}
