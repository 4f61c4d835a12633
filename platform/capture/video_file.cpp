// platform/capture/video_file.cpp: one video file with sound, through FFmpeg's libraries.
#include "platform/capture/video_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform::capture {

namespace {

// What a file name asks for.
struct Kind {
    const char* extension;
    const char* muxer;
    const char* videoEncoder;
    const char* videoName;  // for messages
    const char* audioEncoder;
};
constexpr Kind kKinds[] = {
    {".mp4", "mp4", "libx264", "H.264", "aac"},
    {".mkv", "matroska", "ffv1", "FFV1", "flac"},
};

const Kind* KindOf(const std::string& path) {
    for (const Kind& k : kKinds) {
        const std::string ext = k.extension;
        if (path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0)
            return &k;
    }
    return nullptr;
}

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool CheckEncoders(const Kind& kind, std::string* error) {
    if (!avcodec_find_encoder_by_name(kind.videoEncoder)) {
        *error = std::string("this FFmpeg has no ") + kind.videoName + " encoder (" +
                 kind.videoEncoder + "); cannot write " + kind.extension + " files";
        return false;
    }
    if (!avcodec_find_encoder_by_name(kind.audioEncoder)) {
        *error = std::string("this FFmpeg has no ") + kind.audioEncoder + " encoder; cannot write " +
                 kind.extension + " files";
        return false;
    }
    return true;
}

// The first of "wanted" that the encoder offers, or its own first format.
template <typename T>
T Pick(const T* offered, std::initializer_list<T> wanted, T none) {
    if (!offered) return *wanted.begin();
    for (T w : wanted)
        for (const T* o = offered; *o != none; ++o)
            if (*o == w) return w;
    return offered[0];
}

class FfmpegFile final : public VideoFile {
public:
    ~FfmpegFile() override {
        if (!finished_) Abandon();
        Release();
    }

    bool Open(const std::string& path, const Kind& kind, std::uint32_t width,
              std::uint32_t height, int fps, int rate, std::string* error) {
        // The encoders' own statistics would bury the capture's progress lines.
        av_log_set_level(AV_LOG_ERROR);
        path_ = path;
        partial_ = path + ".part";
        width_ = width;
        height_ = height;
        int rc = avformat_alloc_output_context2(&format_, nullptr, kind.muxer, partial_.c_str());
        if (rc < 0 || !format_) return Fail(error, "cannot set up the file", rc);
        format_->flags |= AVFMT_FLAG_BITEXACT;

        const AVCodec* videoCodec = avcodec_find_encoder_by_name(kind.videoEncoder);
        const AVCodec* audioCodec = avcodec_find_encoder_by_name(kind.audioEncoder);
        if (!videoCodec || !audioCodec) return CheckEncoders(kind, error);

        video_ = avcodec_alloc_context3(videoCodec);
        audio_ = avcodec_alloc_context3(audioCodec);
        if (!video_ || !audio_) return Fail(error, "out of memory", AVERROR(ENOMEM));
        video_->width = static_cast<int>(width);
        video_->height = static_cast<int>(height);
        video_->time_base = AVRational{1, fps};
        video_->framerate = AVRational{fps, 1};
        video_->gop_size = fps * 2;
        video_->flags |= AV_CODEC_FLAG_BITEXACT;
        if (format_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        video_->pix_fmt = Pick<AVPixelFormat>(videoCodec->pix_fmts,
                                              {AV_PIX_FMT_YUV420P, AV_PIX_FMT_BGR0},
                                              AV_PIX_FMT_NONE);
        if (std::string(kind.videoEncoder) == "ffv1") {
            video_->pix_fmt = Pick<AVPixelFormat>(videoCodec->pix_fmts, {AV_PIX_FMT_BGR0, AV_PIX_FMT_0RGB32},
                                                  AV_PIX_FMT_NONE);
            video_->gop_size = 1;  // every frame a key frame, as archival FFV1 is cut
            av_opt_set_int(video_->priv_data, "slicecrc", 1, 0);
        } else {
            av_opt_set(video_->priv_data, "preset", "medium", 0);
            av_opt_set(video_->priv_data, "crf", "18", 0);
        }
        rc = avcodec_open2(video_, videoCodec, nullptr);
        if (rc < 0) return Fail(error, "cannot start the video encoder", rc);

        audio_->sample_rate = rate;
        av_channel_layout_default(&audio_->ch_layout, 2);
        audio_->sample_fmt = Pick<AVSampleFormat>(audioCodec->sample_fmts,
                                                  {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_FLTP},
                                                  AV_SAMPLE_FMT_NONE);
        audio_->time_base = AVRational{1, rate};
        audio_->bit_rate = std::string(kind.audioEncoder) == "aac" ? 256000 : 0;
        audio_->flags |= AV_CODEC_FLAG_BITEXACT;
        if (format_->oformat->flags & AVFMT_GLOBALHEADER) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        rc = avcodec_open2(audio_, audioCodec, nullptr);
        if (rc < 0) return Fail(error, "cannot start the audio encoder", rc);
        audioFrameSize_ = audio_->frame_size > 0 ? audio_->frame_size : 4096;

        videoStream_ = avformat_new_stream(format_, nullptr);
        audioStream_ = avformat_new_stream(format_, nullptr);
        if (!videoStream_ || !audioStream_) return Fail(error, "out of memory", AVERROR(ENOMEM));
        avcodec_parameters_from_context(videoStream_->codecpar, video_);
        avcodec_parameters_from_context(audioStream_->codecpar, audio_);
        videoStream_->time_base = video_->time_base;
        videoStream_->avg_frame_rate = video_->framerate;
        audioStream_->time_base = audio_->time_base;

        scale_ = sws_getContext(static_cast<int>(width), static_cast<int>(height), AV_PIX_FMT_RGB0,
                                static_cast<int>(width), static_cast<int>(height), video_->pix_fmt,
                                SWS_BICUBIC | SWS_BITEXACT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                nullptr, nullptr, nullptr);
        rc = swr_alloc_set_opts2(&resample_, &audio_->ch_layout, audio_->sample_fmt, rate,
                                 &audio_->ch_layout, AV_SAMPLE_FMT_S16, rate, 0, nullptr);
        if (!scale_ || rc < 0 || swr_init(resample_) < 0)
            return Fail(error, "cannot set up the conversions", rc < 0 ? rc : AVERROR(EINVAL));

        picture_ = av_frame_alloc();
        sound_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!picture_ || !sound_ || !packet_) return Fail(error, "out of memory", AVERROR(ENOMEM));
        picture_->format = video_->pix_fmt;
        picture_->width = video_->width;
        picture_->height = video_->height;
        sound_->format = audio_->sample_fmt;
        sound_->nb_samples = audioFrameSize_;
        sound_->sample_rate = rate;
        av_channel_layout_copy(&sound_->ch_layout, &audio_->ch_layout);
        if (av_frame_get_buffer(picture_, 0) < 0 || av_frame_get_buffer(sound_, 0) < 0)
            return Fail(error, "out of memory", AVERROR(ENOMEM));

        rc = avio_open(&format_->pb, partial_.c_str(), AVIO_FLAG_WRITE);
        if (rc < 0) return Fail(error, "cannot write " + partial_, rc);
        AVDictionary* options = nullptr;
        if (std::string(kind.muxer) == "mp4") av_dict_set(&options, "movflags", "+faststart", 0);
        rc = avformat_write_header(format_, &options);
        av_dict_free(&options);
        if (rc < 0) return Fail(error, "cannot write " + partial_, rc);
        return true;
    }

    bool AddPicture(const std::uint8_t* pixels, std::string* error) override {
        int rc = av_frame_make_writable(picture_);
        if (rc < 0) return Fail(error, "out of memory", rc);
        const std::uint8_t* src[1] = {pixels};
        const int stride[1] = {static_cast<int>(width_ * 4)};
        sws_scale(scale_, src, stride, 0, static_cast<int>(height_), picture_->data, picture_->linesize);
        picture_->pts = pictures_++;
        return Encode(video_, videoStream_, picture_, error);
    }

    bool AddSound(const std::int16_t* samples, std::size_t frames, std::string* error) override {
        pending_.insert(pending_.end(), samples, samples + frames * 2);
        return DrainSound(false, error);
    }

    bool Finish(std::string* error) override {
        if (!DrainSound(true, error) || !Encode(video_, videoStream_, nullptr, error) ||
            !Encode(audio_, audioStream_, nullptr, error))
            return false;
        int rc = av_write_trailer(format_);
        if (rc < 0) return Fail(error, "cannot finish " + partial_, rc);
        rc = avio_closep(&format_->pb);
        if (rc < 0) return Fail(error, "cannot finish " + partial_, rc);
        if (std::rename(partial_.c_str(), path_.c_str()) != 0)
            return Fail(error, "cannot name " + path_, AVERROR(errno));
        finished_ = true;
        return true;
    }

    void Abandon() override {
        if (format_ && format_->pb) avio_closep(&format_->pb);
        std::remove(partial_.c_str());
        finished_ = true;
    }

private:
    bool Fail(std::string* error, const std::string& what, int code) {
        *error = path_ + ": " + what + " (" + AvError(code) + ")";
        return false;
    }

    // Encodes whole codec frames of the waiting samples; at the end also the rest, as a
    // shorter last frame.
    bool DrainSound(bool end, std::string* error) {
        std::size_t at = 0;
        const std::size_t whole = static_cast<std::size_t>(audioFrameSize_);
        while (pending_.size() / 2 - at >= whole || (end && pending_.size() / 2 > at)) {
            const std::size_t n = std::min(whole, pending_.size() / 2 - at);
            int rc = av_frame_make_writable(sound_);
            if (rc < 0) return Fail(error, "out of memory", rc);
            sound_->nb_samples = static_cast<int>(n);
            const std::uint8_t* src[1] = {reinterpret_cast<const std::uint8_t*>(pending_.data() + at * 2)};
            rc = swr_convert(resample_, sound_->data, static_cast<int>(n), src, static_cast<int>(n));
            if (rc < 0) return Fail(error, "cannot convert the sound", rc);
            sound_->pts = soundFrames_;
            soundFrames_ += static_cast<std::int64_t>(n);
            at += n;
            if (!Encode(audio_, audioStream_, sound_, error)) return false;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at * 2));
        return true;
    }

    bool Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string* error) {
        int rc = avcodec_send_frame(codec, frame);
        if (rc < 0 && !(frame == nullptr && rc == AVERROR_EOF)) return Fail(error, "cannot encode", rc);
        for (;;) {
            rc = avcodec_receive_packet(codec, packet_);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) return Fail(error, "cannot encode", rc);
            av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
            packet_->stream_index = stream->index;
            rc = av_interleaved_write_frame(format_, packet_);
            if (rc < 0) return Fail(error, "cannot write " + partial_, rc);
        }
    }

    void Release() {
        av_packet_free(&packet_);
        av_frame_free(&picture_);
        av_frame_free(&sound_);
        sws_freeContext(scale_);
        swr_free(&resample_);
        avcodec_free_context(&video_);
        avcodec_free_context(&audio_);
        if (format_) {
            if (format_->pb) avio_closep(&format_->pb);
            avformat_free_context(format_);
            format_ = nullptr;
        }
    }

    std::string path_, partial_;
    std::uint32_t width_ = 0, height_ = 0;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* video_ = nullptr;
    AVCodecContext* audio_ = nullptr;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    SwsContext* scale_ = nullptr;
    SwrContext* resample_ = nullptr;
    AVFrame* picture_ = nullptr;
    AVFrame* sound_ = nullptr;
    AVPacket* packet_ = nullptr;
    int audioFrameSize_ = 0;
    std::int64_t pictures_ = 0, soundFrames_ = 0;
    std::vector<std::int16_t> pending_;
    bool finished_ = false;
};

}  // namespace

bool VideoFile::Check(const std::string& path, std::string* error) {
    const Kind* kind = KindOf(path);
    if (!kind) {
        *error = "cannot tell the kind of video from the name " + path + " (use .mp4 or .mkv)";
        return false;
    }
    if (!CheckEncoders(*kind, error)) return false;
    const std::string partial = path + ".part";
    std::FILE* probe = std::fopen(partial.c_str(), "wb");
    if (!probe) {
        *error = "cannot write " + partial + ": " + std::strerror(errno);
        return false;
    }
    std::fclose(probe);
    std::remove(partial.c_str());
    return true;
}

std::unique_ptr<VideoFile> VideoFile::Create(const std::string& path, std::uint32_t width,
                                             std::uint32_t height, int fps, int rate,
                                             std::string* error) {
    const Kind* kind = KindOf(path);
    if (!kind) {
        VideoFile::Check(path, error);
        return nullptr;
    }
    auto file = std::make_unique<FfmpegFile>();
    if (!file->Open(path, *kind, width, height, fps, rate, error)) return nullptr;
    return file;
}

}  // namespace platform::capture
