// runtime/decoders.cpp: the decoder and encoder registry of the image library.
#include "runtime/decoders.h"

#include "runtime/heap.h"
#include "runtime/state_block.h"

namespace runtime {

namespace {

DecoderRegistry* g_registry = nullptr;

}  // namespace

DecoderRegistry* GetDecoderRegistry() { return g_registry; }

bool CreateDecoderRegistry() {
    if (!g_registry) g_registry = static_cast<DecoderRegistry*>(CreateStateBlock(sizeof(DecoderRegistry), nullptr));
    return g_registry != nullptr;
}

void ForgetDecoderRegistry() { g_registry = nullptr; }

bool RegisterImageDecoder(const ImageDecoder& decoder) {
    if (!g_registry || !decoder.recognises || !decoder.decode) return false;
    for (std::int32_t i = 0; i < g_registry->decoderCount; ++i)
        if (g_registry->decoders[i].tag == decoder.tag) return true;
    if (g_registry->decoderCount == kMaxCodecs) return false;
    g_registry->decoders[g_registry->decoderCount++] = decoder;
    return true;
}

bool RegisterImageEncoder(const ImageEncoder& encoder) {
    if (!g_registry || !encoder.encode) return false;
    for (std::int32_t i = 0; i < g_registry->encoderCount; ++i)
        if (g_registry->encoders[i].tag == encoder.tag) return true;
    if (g_registry->encoderCount == kMaxCodecs) return false;
    g_registry->encoders[g_registry->encoderCount++] = encoder;
    return true;
}

std::uint32_t DecodeImage(const void* bytes, std::size_t size, DecodedImage* out) {
    if (!out) return 0;
    *out = {};
    if (!g_registry || !bytes) return 0;
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    for (std::int32_t i = 0; i < g_registry->decoderCount; ++i) {
        const ImageDecoder& d = g_registry->decoders[i];
        if (!d.recognises(data, size)) continue;
        if (d.decode(data, size, out)) return d.tag;
        FreeDecodedImage(out);
        return 0;
    }
    return 0;
}

bool EncodeImage(std::uint32_t tag, const DecodedImage& image, EncodedImage* out) {
    if (!out) return false;
    *out = {};
    if (!g_registry || !image.pixels || image.width < 1 || image.height < 1 ||
        image.width > kMaxImageSide || image.height > kMaxImageSide)
        return false;
    for (std::int32_t i = 0; i < g_registry->encoderCount; ++i) {
        if (g_registry->encoders[i].tag != tag) continue;
        if (g_registry->encoders[i].encode(image, out)) return true;
        FreeEncodedImage(out);
        return false;
    }
    return false;
}

std::uint32_t* AllocateImagePixels(std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return nullptr;
    return static_cast<std::uint32_t*>(
        RuntimeAlloc(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(std::uint32_t)));
}

void FreeDecodedImage(DecodedImage* image) {
    if (!image) return;
    RuntimeFree(image->pixels);
    *image = {};
}

void FreeEncodedImage(EncodedImage* image) {
    if (!image) return;
    RuntimeFree(image->bytes);
    *image = {};
}

}  // namespace runtime
