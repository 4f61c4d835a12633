// runtime/decoders.h: the registry of image decoders and encoders of the runtime's image
// library.
//
// Two ordered tables of codec records, decoders and encoders, each with a count. The start-up
// chain registers the BMP codec (tag kBmpCodecTag, a decoder and an encoder) and the PNG
// decoder (on libpng). Decoding asks each decoder in registration order whether it recognises
// the bytes; encoding picks the encoder by tag.
//
// Images are 32-bit pixels 0xAARRGGBB, rows top to bottom, on the runtime heap.
//
// Threads: main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace runtime {

inline constexpr std::uint32_t kBmpCodecTag = 0x504D42;  // 'B', 'M', 'P'
inline constexpr std::uint32_t kPngCodecTag = 0x474E50;  // 'P', 'N', 'G'

// The largest image the codecs accept, in pixels per side.
inline constexpr std::int32_t kMaxImageSide = 16384;

struct DecodedImage {
    std::int32_t width;
    std::int32_t height;
    std::uint32_t* pixels;  // width * height pixels, 0xAARRGGBB; free with FreeDecodedImage
};

struct EncodedImage {
    std::uint8_t* bytes;  // free with FreeEncodedImage
    std::size_t size;
};

struct ImageDecoder {
    std::uint32_t tag;
    // True when "bytes" look like this codec's format.
    bool (*recognises)(const std::uint8_t* bytes, std::size_t size);
    // Decodes into "out" (pixels allocated with AllocateImagePixels). False on malformed input.
    bool (*decode)(const std::uint8_t* bytes, std::size_t size, DecodedImage* out);
};

struct ImageEncoder {
    std::uint32_t tag;
    // Encodes "image" into "out" (bytes allocated with RuntimeAlloc). False on failure.
    bool (*encode)(const DecodedImage& image, EncodedImage* out);
};

inline constexpr int kMaxCodecs = 16;

struct DecoderRegistry {
    ImageDecoder decoders[kMaxCodecs];
    std::int32_t decoderCount;
    ImageEncoder encoders[kMaxCodecs];
    std::int32_t encoderCount;
};

// The registry, or null before the image-codecs start-up step.
DecoderRegistry* GetDecoderRegistry();

// Creates the registry with both counts 0 (the image-codecs step). False without memory.
bool CreateDecoderRegistry();
// Forgets the registry (its memory goes with the runtime heap).
void ForgetDecoderRegistry();

// Append a codec. A tag that is already registered is not added twice (returns true); false
// without a registry or when the table is full.
bool RegisterImageDecoder(const ImageDecoder& decoder);
bool RegisterImageEncoder(const ImageEncoder& encoder);

// The BMP decoder and encoder, and the PNG decoder.
bool RegisterBmpCodec();
bool RegisterPngDecoder();

// Decodes "bytes" with the first decoder that recognises them. Returns the decoder's tag, or 0
// when none recognises them or decoding fails ("*out" is then cleared).
std::uint32_t DecodeImage(const void* bytes, std::size_t size, DecodedImage* out);

// Encodes "image" with the encoder of "tag". False when there is none or encoding fails.
bool EncodeImage(std::uint32_t tag, const DecodedImage& image, EncodedImage* out);

// Pixel storage for decoders: zero-filled width * height pixels on the runtime heap, or null
// for sizes outside 1..kMaxImageSide.
std::uint32_t* AllocateImagePixels(std::int32_t width, std::int32_t height);
void FreeDecodedImage(DecodedImage* image);
void FreeEncodedImage(EncodedImage* image);

}  // namespace runtime
