// SPDX-License-Identifier: GPL-3.0-or-later
#include "fingerprint/AudioFingerprint.h"

#include "fingerprint/FingerprintLog.h"

#include <chromaprint.h>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <QDeadlineTimer>
#include <QFileInfo>
#include <cmath>
#include <cstdarg>
#include <memory>
#include <mutex>

namespace tidyfox::fingerprint {
namespace {

// What Chromaprint works at: feeding it this spares its own resampler.
constexpr int kRate = 11025;
// Quieter than this (RMS, dB below full scale) is silence with noise in it.
constexpr double kSilentDb = -55.0;

struct FormatCloser
{
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
struct CodecFreer
{
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct ResamplerFreer
{
    void operator()(SwrContext *c) const { swr_free(&c); }
};
struct FrameFreer
{
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketFreer
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct ChromaprintFreer
{
    void operator()(ChromaprintContext *c) const { chromaprint_free(c); }
};

int pastDeadline(void *opaque)
{
    return static_cast<const QDeadlineTimer *>(opaque)->hasExpired() ? 1 : 0;
}

FingerprintOutcome none(const QString &why)
{
    FingerprintOutcome outcome;
    outcome.why = why;
    return outcome;
}

QString avText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text).toLower();
}

class Listener
{
public:
    explicit Listener(std::chrono::milliseconds limit) : m_deadline(limit) {}

    FingerprintOutcome listen(const QString &path)
    {
        const QFileInfo info(path);
        if (!info.exists())
            return none(QStringLiteral("the file is gone"));
        if (info.size() == 0)
            return none(QStringLiteral("the file is empty"));

        AVFormatContext *raw = avformat_alloc_context();
        if (!raw)
            return none(QStringLiteral("out of memory"));
        raw->interrupt_callback.callback = pastDeadline;
        raw->interrupt_callback.opaque = &m_deadline;
        if (const int error = avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr);
            error < 0)
            return none(m_deadline.hasExpired() ? timedOut() : QStringLiteral("not audio (%1)").arg(avText(error)));
        const std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
        if (avformat_find_stream_info(format.get(), nullptr) < 0 && m_deadline.hasExpired())
            return none(timedOut());
        const AVCodec *codec = nullptr;
        const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream < 0 || !codec)
            return none(QStringLiteral("no audio in it"));
        const std::unique_ptr<AVCodecContext, CodecFreer> decoder(avcodec_alloc_context3(codec));
        if (!decoder || avcodec_parameters_to_context(decoder.get(), format->streams[stream]->codecpar) < 0 ||
            avcodec_open2(decoder.get(), codec, nullptr) < 0)
            return none(QStringLiteral("its audio cannot be decoded"));
        if (decoder->sample_rate <= 0 || decoder->ch_layout.nb_channels <= 0)
            return none(QStringLiteral("its audio cannot be decoded"));

        SwrContext *swrRaw = nullptr;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        if (swr_alloc_set_opts2(&swrRaw, &mono, AV_SAMPLE_FMT_S16, kRate, &decoder->ch_layout, decoder->sample_fmt,
                                decoder->sample_rate, 0, nullptr) < 0 ||
            !swrRaw)
            return none(QStringLiteral("its audio cannot be decoded"));
        m_resampler.reset(swrRaw);
        if (swr_init(m_resampler.get()) < 0)
            return none(QStringLiteral("its audio cannot be decoded"));

        m_print.reset(chromaprint_new(CHROMAPRINT_ALGORITHM_DEFAULT));
        if (!m_print || !chromaprint_start(m_print.get(), kRate, 1))
            return none(QStringLiteral("out of memory"));

        const std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
        const std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
        int decodeErrors = 0;
        while (m_samples < std::int64_t(kListenSeconds) * kRate) {
            if (m_deadline.hasExpired())
                return none(timedOut());
            const int read = av_read_frame(format.get(), packet.get());
            if (read == AVERROR_EOF)
                break;
            if (read < 0) {
                if (m_deadline.hasExpired())
                    return none(timedOut());
                // A cut-short file ends where its audio does.
                break;
            }
            if (packet->stream_index == stream) {
                if (avcodec_send_packet(decoder.get(), packet.get()) < 0)
                    ++decodeErrors;
                while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
                    feed(frame.get());
                    av_frame_unref(frame.get());
                }
            }
            av_packet_unref(packet.get());
            if (decodeErrors > 50 && m_samples == 0)
                return none(QStringLiteral("its audio cannot be decoded"));
        }
        avcodec_send_packet(decoder.get(), nullptr);
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            feed(frame.get());
            av_frame_unref(frame.get());
        }
        flush();

        const int seconds = int(m_samples / kRate);
        if (m_samples == 0)
            return none(QStringLiteral("its audio cannot be decoded"));
        if (seconds < kShortestSeconds)
            return none(QStringLiteral("shorter than %1 s").arg(kShortestSeconds));
        const double rms = std::sqrt(m_squares / double(m_samples)) / 32768.0;
        if (rms <= 0 || 20 * std::log10(rms) < kSilentDb)
            return none(QStringLiteral("silent"));
        if (!chromaprint_finish(m_print.get()))
            return none(QStringLiteral("no fingerprint could be made"));
        std::uint32_t *items = nullptr;
        int count = 0;
        if (!chromaprint_get_raw_fingerprint(m_print.get(), &items, &count) || !items)
            return none(QStringLiteral("no fingerprint could be made"));
        FingerprintOutcome outcome;
        outcome.items.assign(items, items + count);
        outcome.seconds = seconds;
        chromaprint_dealloc(items);
        if (outcome.items.empty())
            return none(QStringLiteral("no fingerprint could be made"));
        return outcome;
    }

private:
    QString timedOut() const { return QStringLiteral("took too long to decode"); }

    void feed(const AVFrame *frame)
    {
        const int room = swr_get_out_samples(m_resampler.get(), frame->nb_samples);
        if (room <= 0)
            return;
        m_buffer.resize(size_t(room));
        auto *out = reinterpret_cast<std::uint8_t *>(m_buffer.data());
        const int made = swr_convert(m_resampler.get(), &out, room,
                                     const_cast<const std::uint8_t **>(frame->extended_data), frame->nb_samples);
        take(made);
    }

    void flush()
    {
        const int room = swr_get_out_samples(m_resampler.get(), 0);
        if (room <= 0)
            return;
        m_buffer.resize(size_t(room));
        auto *out = reinterpret_cast<std::uint8_t *>(m_buffer.data());
        take(swr_convert(m_resampler.get(), &out, room, nullptr, 0));
    }

    void take(int made)
    {
        const std::int64_t wanted = std::int64_t(kListenSeconds) * kRate - m_samples;
        const int used = int(std::min<std::int64_t>(std::max(made, 0), wanted));
        if (used <= 0)
            return;
        for (int i = 0; i < used; ++i)
            m_squares += double(m_buffer[size_t(i)]) * m_buffer[size_t(i)];
        chromaprint_feed(m_print.get(), m_buffer.data(), used);
        m_samples += used;
    }

    QDeadlineTimer m_deadline;
    std::unique_ptr<SwrContext, ResamplerFreer> m_resampler;
    std::unique_ptr<ChromaprintContext, ChromaprintFreer> m_print;
    std::vector<std::int16_t> m_buffer;
    std::int64_t m_samples = 0;
    double m_squares = 0;
};

// FFmpeg's notes go to this program's log as debug lines: what a damaged
// file did wrong is told in the outcome's one line already, so even FFmpeg's
// errors are no warning of ours. It writes a line in pieces, from any thread.
void logFromFfmpeg(void *context, int level, const char *format, va_list arguments)
{
    if (level > AV_LOG_VERBOSE || !lcFingerprint().isDebugEnabled())
        return;
    thread_local int printPrefix = 1;
    thread_local QByteArray line;
    char piece[1024];
    av_log_format_line2(context, level, format, arguments, piece, sizeof piece, &printPrefix);
    line += piece;
    if (line.endsWith('\n')) {
        line.chop(1);
        qCDebug(lcFingerprint).noquote() << "FFmpeg:" << QString::fromUtf8(line);
        line.clear();
    }
}

} // namespace

FingerprintOutcome fingerprintFile(const QString &path, std::chrono::milliseconds limit)
{
    static std::once_flag logging;
    std::call_once(logging, [] { av_log_set_callback(logFromFfmpeg); });
    return Listener(limit).listen(path);
}

} // namespace tidyfox::fingerprint
