// platform/capture/capture_files.h: the files a capture writes: numbered PNG frames and a WAV.
//
// Every writer reports failure (an unwritable folder, a full disk) with a message instead of
// leaving a file that looks whole: a frame is written under a temporary name and renamed
// once complete; the WAV's header always states the samples that were actually written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform::capture {

// Creates "path" and its missing parents. False, with a message, when it cannot.
bool MakeFolders(const std::string& path, std::string* error);

// Writes "pixels" (width x height, rows top first, 4 bytes per pixel red, green, blue, unused)
// as an 8-bit RGB PNG file at "path".
bool WritePngFrame(const std::string& path, const std::uint8_t* pixels, std::uint32_t width,
                   std::uint32_t height, std::string* error);

// Removes the frames an earlier capture left in "folder" (files named NNNNNN.png, and their
// unfinished .part files), so the folder holds this capture's frames only.
bool RemoveFrames(const std::string& folder, std::string* error);

// The path of frame "index" in "folder": folder/NNNNNN.png.
std::string FramePath(const std::string& folder, std::int64_t index);

// A 16-bit stereo PCM WAV file written as the samples come.
class WavFile {
public:
    WavFile() = default;
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    bool Open(const std::string& path, std::uint32_t rate, std::string* error);
    bool Write(const std::int16_t* samples, std::size_t frames, std::string* error);
    // Brings the header up to date and closes the file.
    bool Close(std::string* error);
    std::uint64_t frames() const { return frames_; }

private:
    bool WriteHeader();
    std::FILE* file_ = nullptr;
    std::string path_;
    std::uint32_t rate_ = 0;
    std::uint64_t frames_ = 0;
};

}  // namespace platform::capture
