// engine/effect.cpp: effects compiled from source into `effectList`, their variables and
// techniques.
#include "engine/effect.h"

#include <cstring>
#include <string>

#include "engine/engine.h"
#include "engine/state_internal.h"
#include "platform/gfx/fx/effect.h"
#include "platform/window/window.h"

namespace engine {

namespace gfx = platform::gfx;

namespace {

// The compiler's messages: the buffer's text up to its terminating zero, never past its end.
std::string MessageText(gfx::ID3DXBuffer* messages) {
    if (messages == nullptr) return {};
    const char* text = static_cast<const char*>(messages->GetBufferPointer());
    if (text == nullptr) return {};
    const std::size_t size = messages->GetBufferSize();
    const void* end = std::memchr(text, 0, size);
    return std::string(text, end != nullptr ? static_cast<const char*>(end) - text : size);
}

}  // namespace

Effect* FindEffect(Effect* effect) { return engineLists.effectList.Find(effect); }

Effect* CreateEffectFromSource(const char* source) {
    if (source == nullptr || source[0] == '\0') return nullptr;
    Effect* record = engineLists.effectList.Insert();
    if (record == nullptr) return nullptr;

    gfx::ID3DXBuffer* messages = nullptr;
    const gfx::HRESULT hr = gfx::D3DXCreateEffect(
        deviceState.device, source, static_cast<gfx::UINT>(std::strlen(source)), nullptr,
        nullptr, 0, nullptr, &record->effect, &messages);
    if (gfx::Succeeded(hr) && record->effect != nullptr) {
        if (messages != nullptr) messages->Release();  // warnings only
        return record;
    }

    deviceState.lastError = kErrorEffectNotCompiled;
    const std::string text = MessageText(messages);
    if (messages != nullptr) messages->Release();
    if (record->effect != nullptr) record->effect->Release();
    platform::window::MessageBox(platform::window::WindowHandle{}, text.c_str(),
                                 kEffectErrorCaption, platform::window::MB_OK);
    engineLists.effectList.Remove(record);
    return nullptr;
}

std::int32_t SetEffectFloat(Effect* effect, const char* name, float value) {
    Effect* record = FindEffect(effect);
    if (record == nullptr) return 0;
    // Whether the effect declares the name is its own business: the call counts as done.
    if (record->effect != nullptr && name != nullptr) {
        record->effect->SetValue(name, &value, sizeof value);
    }
    return 1;
}

std::int32_t SetEffectTechnique(Effect* effect, const char* name) {
    Effect* record = FindEffect(effect);
    if (record == nullptr || record->effect == nullptr || name == nullptr) return 0;
    return gfx::Succeeded(record->effect->SetTechnique(name)) ? 1 : 0;
}

std::int32_t SetEffectTexture(Effect* effect, const char* name, TextureRecord* texture) {
    Effect* record = FindEffect(effect);
    if (record == nullptr) return 0;
    TextureRecord* textureRecord = FindTextureRecord(texture);
    // A record emptied by a failed re-creation has nothing to bind.
    if (textureRecord == nullptr || textureRecord->texture == nullptr) return 0;
    if (record->effect != nullptr && name != nullptr) {
        record->effect->SetTexture(name, textureRecord->texture);
    }
    return 1;
}

}  // namespace engine
