// platform/capture/video_file.h: one video file with sound, through FFmpeg's libraries.
//
// The file name says what is written: ".mp4" holds H.264 (libx264) and AAC, ".mkv" FFV1 and
// FLAC (both lossless). The file is written under NAME.part and gets its name only when
// Finish has written it completely; Abandon removes it, so no half-written file ever carries
// the name. Encoding is bit-exact: the same frames and sound give the same bytes.
//
// Threads: one thread uses a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform::capture {

class VideoFile {
public:
    virtual ~VideoFile() = default;

    // Checks that "path" names a kind of file this build can write and that its folder takes
    // a file, before a capture starts. False with a message otherwise.
    static bool Check(const std::string& path, std::string* error);

    // Creates the file for pictures of "width" x "height" at "fps" frames per second and
    // stereo sound at "rate". Null with a message when it cannot.
    static std::unique_ptr<VideoFile> Create(const std::string& path, std::uint32_t width,
                                             std::uint32_t height, int fps, int rate,
                                             std::string* error);

    // One picture: rows top first, 4 bytes per pixel red, green, blue, unused.
    virtual bool AddPicture(const std::uint8_t* pixels, std::string* error) = 0;
    // Interleaved stereo 16-bit samples.
    virtual bool AddSound(const std::int16_t* samples, std::size_t frames, std::string* error) = 0;
    // Drains the encoders, writes the file's end and gives it its name.
    virtual bool Finish(std::string* error) = 0;
    // Removes the unfinished file.
    virtual void Abandon() = 0;
};

}  // namespace platform::capture
