// tests/capture/video_probe.cpp: what a video file holds, read back through libavformat.
//
//   video_probe FILE
//
// Prints one line per stream: "video CODEC frames=N rate=NUM/DEN seconds=S" and
// "audio CODEC rate=R channels=C seconds=S", where seconds run from the first packet's
// presentation time to the end of the last one. Exit status 1 when the file does not open.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: video_probe FILE\n");
        return 2;
    }
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, argv[1], nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0) {
        std::fprintf(stderr, "video_probe: cannot open %s\n", argv[1]);
        return 1;
    }
    const unsigned n = format->nb_streams;
    std::vector<long long> packets(n, 0), first(n, AV_NOPTS_VALUE), end(n, AV_NOPTS_VALUE);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        const unsigned s = static_cast<unsigned>(packet->stream_index);
        ++packets[s];
        if (packet->pts != AV_NOPTS_VALUE) {
            if (first[s] == AV_NOPTS_VALUE || packet->pts < first[s]) first[s] = packet->pts;
            const long long stop = packet->pts + packet->duration;
            if (end[s] == AV_NOPTS_VALUE || stop > end[s]) end[s] = stop;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    for (unsigned s = 0; s < n; ++s) {
        const AVStream* st = format->streams[s];
        const AVCodecParameters* par = st->codecpar;
        const double seconds =
            first[s] == AV_NOPTS_VALUE ? 0 : (end[s] - first[s]) * av_q2d(st->time_base);
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            std::printf("video %s frames=%lld rate=%d/%d seconds=%.6f size=%dx%d\n",
                        avcodec_get_name(par->codec_id), packets[s], st->avg_frame_rate.num,
                        st->avg_frame_rate.den, seconds, par->width, par->height);
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            std::printf("audio %s rate=%d channels=%d seconds=%.6f\n",
                        avcodec_get_name(par->codec_id), par->sample_rate,
                        par->ch_layout.nb_channels, seconds);
        }
    }
    avformat_close_input(&format);
    return 0;
}
