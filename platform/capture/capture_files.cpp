// platform/capture/capture_files.cpp: numbered PNG frames and a WAV file.
#include "platform/capture/capture_files.h"

#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#endif

namespace platform::capture {

namespace {

// The scene's dot matrix and its distortion make rows that the PNG row filters only make
// harder to compress: unfiltered rows at zlib level 3 gave the smallest files of the fast
// settings (about 130 kB for a frame of the scene, 15 ms; level 6 took three times as long
// and was no smaller).
constexpr int kPngCompression = 3;

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool MakeFolder(const std::string& path) {
#ifdef _WIN32
    return _mkdir(path.c_str()) == 0 || errno == EEXIST;
#else
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
#endif
}

bool IsFolder(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void PngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error) *error = message;
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, file) != length) png_error(png, std::strerror(errno));
}

void PngFlush(png_structp) {}

// Encodes into the open "file"; false with "error" set when libpng or the file fails.
bool EncodeRgb(std::FILE* file, const std::uint8_t* pixels, std::uint32_t width,
               std::uint32_t height, std::string* error) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, PngError, PngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    std::vector<std::uint8_t> row(std::size_t{width} * 3);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, file, PngWrite, PngFlush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, kPngCompression);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* src = pixels + std::size_t{y} * width * 4;
        for (std::uint32_t x = 0; x < width; ++x) {
            row[x * 3] = src[x * 4];
            row[x * 3 + 1] = src[x * 4 + 1];
            row[x * 3 + 2] = src[x * 4 + 2];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void Put32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

bool MakeFolders(const std::string& path, std::string* error) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/' && path[at] != '\\') continue;
        const std::string prefix = path.substr(0, at);
        if (!MakeFolder(prefix) && !IsFolder(prefix)) {
            *error = SystemError("cannot create folder", prefix);
            return false;
        }
    }
    if (!IsFolder(path)) {
        *error = "not a folder: " + path;
        return false;
    }
    return true;
}

bool RemoveFrames(const std::string& folder, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        const std::size_t digits = name.find_first_not_of("0123456789");
        const bool frame = digits != std::string::npos && digits >= 6 &&
                           (name.compare(digits, std::string::npos, ".png") == 0 ||
                            name.compare(digits, std::string::npos, ".png.part") == 0);
        if (frame && !fs::remove(entry.path(), ec)) break;
    }
    if (ec) *error = "cannot clear " + folder + ": " + ec.message();
    return !ec;
}

std::string FramePath(const std::string& folder, std::int64_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "/%06lld.png", static_cast<long long>(index));
    return folder + name;
}

bool WritePngFrame(const std::string& path, const std::uint8_t* pixels, std::uint32_t width,
                   std::uint32_t height, std::string* error) {
    const std::string partial = path + ".part";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        *error = SystemError("cannot write", partial);
        return false;
    }
    std::string why;
    bool ok = EncodeRgb(file, pixels, width, height, &why);
    if (std::fclose(file) != 0 && ok) {
        why = std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(partial.c_str(), path.c_str()) != 0) {
        why = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        std::remove(partial.c_str());
        *error = "cannot write " + path + ": " + (why.empty() ? "out of memory" : why);
    }
    return ok;
}

WavFile::~WavFile() {
    std::string ignored;
    Close(&ignored);
}

bool WavFile::Open(const std::string& path, std::uint32_t rate, std::string* error) {
    path_ = path;
    rate_ = rate;
    frames_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    // Unbuffered, so a write the disk refuses is seen at once and never counted.
    if (file_) std::setvbuf(file_, nullptr, _IONBF, 0);
    if (!file_ || !WriteHeader()) {
        *error = SystemError("cannot write", path);
        if (file_) std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    return true;
}

bool WavFile::WriteHeader() {
    // The sizes are 32-bit: a file stops growing at 4 GB (over six hours of sound).
    const std::uint64_t data = frames_ * 4;
    std::uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, static_cast<std::uint32_t>(36 + data));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);  // PCM
    Put16(h + 22, 2);  // stereo
    Put32(h + 24, rate_);
    Put32(h + 28, rate_ * 4);
    Put16(h + 32, 4);
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, static_cast<std::uint32_t>(data));
    return std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, file_) == sizeof h &&
           std::fseek(file_, 0, SEEK_END) == 0;
}

bool WavFile::Write(const std::int16_t* samples, std::size_t frames, std::string* error) {
    if (!file_) return false;
    if ((frames_ + frames) * 4 > 0xFFFFFFFFull - 36) {
        *error = "the sound does not fit a WAV file any more: " + path_;
        return false;
    }
    std::vector<std::uint8_t> bytes(frames * 4);
    for (std::size_t i = 0; i < frames * 2; ++i) {
        Put16(bytes.data() + i * 2, static_cast<std::uint16_t>(samples[i]));
    }
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_);
    frames_ += written / 4;
    if (written != bytes.size()) {
        *error = SystemError("cannot write", path_);
        return false;
    }
    return true;
}

bool WavFile::Close(std::string* error) {
    if (!file_) return true;
    // Samples a full disk refused were never counted: the header states what is in the file.
    bool ok = WriteHeader();
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    if (!ok) *error = SystemError("cannot finish", path_);
    return ok;
}

}  // namespace platform::capture
