// platform/capture/video_none.cpp: a build without FFmpeg's libraries writes no video files.
#include "platform/capture/video_file.h"

namespace platform::capture {

bool VideoFile::Check(const std::string& path, std::string* error) {
    *error = "this build has no video encoders (FFmpeg's libraries were missing); cannot write " +
             path;
    return false;
}

std::unique_ptr<VideoFile> VideoFile::Create(const std::string& path, std::uint32_t, std::uint32_t,
                                             int, int, std::string* error) {
    Check(path, error);
    return nullptr;
}

}  // namespace platform::capture
