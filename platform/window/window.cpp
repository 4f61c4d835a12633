// platform/window/window.cpp: the desktop-independent half of the window layer.
//
// Classes, window properties, registered message numbers, brushes and the message-box hook.
// The windows themselves, the queue and painting live in the backend (sdl/window_sdl.cpp).
#include <cctype>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/window/window.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_testing.h"

namespace platform::window {
namespace internal {

bool NamesEqual(const char* a, const char* b) {
    if (a == nullptr) a = "";
    if (b == nullptr) b = "";
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

}  // namespace internal

namespace {

using internal::ClassEntry;
using internal::NamesEqual;

// Classes are few (one per runtime window, the post-event and multimedia classes): a vector
// searched by name is enough.
std::vector<ClassEntry>& Classes() {
    static std::vector<ClassEntry> classes;
    return classes;
}

struct Property {
    std::string name;
    std::intptr_t value;
};
std::unordered_map<std::uint32_t, std::vector<Property>>& Properties() {
    static std::unordered_map<std::uint32_t, std::vector<Property>> props;
    return props;
}

// Registered message numbers: index i is message 0xC000 + i.
constexpr std::uint32_t kFirstRegisteredMessage = 0xC000;
constexpr std::uint32_t kLastRegisteredMessage = 0xFFFF;
std::mutex registeredMutex;
std::vector<std::string>& RegisteredNames() {
    static std::vector<std::string> names;
    return names;
}

// Brush handle values: 1..31 are system colours (index + 1, as class backgrounds use them),
// kStockBase + index the stock brushes, kSolidBase and up the solid brushes made here.
constexpr std::uint32_t kSystemColourLimit = 32;
constexpr std::uint32_t kStockBase = 0x100;
constexpr std::uint32_t kStockCount = 6;
constexpr std::uint32_t kSolidBase = 0x10000;
std::unordered_map<std::uint32_t, std::uint32_t>& SolidBrushes() {
    static std::unordered_map<std::uint32_t, std::uint32_t> brushes;
    return brushes;
}
std::uint32_t nextSolidBrush = kSolidBase;

std::int64_t SystemColour(int index) {
    switch (index) {
        case 5: return 0xFFFFFF;   // window
        case 8: return 0x000000;   // window text
        case 15: return 0xF0F0F0;  // button face
        case 16: return 0xA0A0A0;  // button shadow
        case 20: return 0xFFFFFF;  // button highlight
        default: return -1;
    }
}

std::int64_t StockColour(int index) {
    static constexpr std::int64_t colours[kStockCount] = {0xFFFFFF, 0xC0C0C0, 0x808080,
                                                          0x404040, 0x000000, -1};
    return colours[index];
}

MessageBoxHook messageBoxHook = nullptr;

}  // namespace

namespace internal {

ClassEntry* FindClass(const char* name) {
    for (ClassEntry& c : Classes())
        if (NamesEqual(c.name.c_str(), name)) return &c;
    return nullptr;
}

void DropProperties(WindowHandle window) { Properties().erase(window.value); }

std::int64_t ColourOfBrush(BrushHandle brush) {
    const std::uint32_t v = brush.value;
    if (v == 0) return -1;
    if (v < kSystemColourLimit) return SystemColour(static_cast<int>(v) - 1);
    if (v >= kStockBase && v < kStockBase + kStockCount)
        return StockColour(static_cast<int>(v - kStockBase));
    auto it = SolidBrushes().find(v);
    return it == SolidBrushes().end() ? -1 : static_cast<std::int64_t>(it->second);
}

}  // namespace internal

// ---------------------------------------------------------------------------------------------
// Classes
// ---------------------------------------------------------------------------------------------

bool RegisterClass(const ClassDesc& desc) {
    if (desc.name == nullptr || desc.name[0] == '\0' || desc.proc == nullptr) return false;
    if (internal::FindClass(desc.name) != nullptr) return false;
    Classes().push_back(ClassEntry{desc.name, desc.style, desc.proc, desc.background, 0});
    return true;
}

bool UnregisterClass(const char* name) {
    auto& classes = Classes();
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (!NamesEqual(it->name.c_str(), name)) continue;
        if (it->liveWindows > 0) return false;
        classes.erase(it);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Properties
// ---------------------------------------------------------------------------------------------

bool SetProp(WindowHandle window, const char* name, std::intptr_t value) {
    if (name == nullptr || name[0] == '\0' || !IsWindow(window)) return false;
    auto& list = Properties()[window.value];
    for (Property& p : list) {
        if (NamesEqual(p.name.c_str(), name)) {
            p.value = value;
            return true;
        }
    }
    list.push_back(Property{name, value});
    return true;
}

std::intptr_t GetProp(WindowHandle window, const char* name) {
    auto it = Properties().find(window.value);
    if (it == Properties().end()) return 0;
    for (const Property& p : it->second)
        if (NamesEqual(p.name.c_str(), name)) return p.value;
    return 0;
}

std::intptr_t RemoveProp(WindowHandle window, const char* name) {
    auto it = Properties().find(window.value);
    if (it == Properties().end()) return 0;
    auto& list = it->second;
    for (auto p = list.begin(); p != list.end(); ++p) {
        if (!NamesEqual(p->name.c_str(), name)) continue;
        const std::intptr_t value = p->value;
        list.erase(p);
        return value;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Registered messages
// ---------------------------------------------------------------------------------------------

std::uint32_t RegisterWindowMessage(const char* name) {
    if (name == nullptr || name[0] == '\0') return 0;
    std::lock_guard<std::mutex> lock(registeredMutex);
    auto& names = RegisteredNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (NamesEqual(names[i].c_str(), name))
            return kFirstRegisteredMessage + static_cast<std::uint32_t>(i);
    if (kFirstRegisteredMessage + names.size() > kLastRegisteredMessage) return 0;
    names.emplace_back(name);
    return kFirstRegisteredMessage + static_cast<std::uint32_t>(names.size() - 1);
}

// ---------------------------------------------------------------------------------------------
// Brushes
// ---------------------------------------------------------------------------------------------

BrushHandle CreateSolidBrush(std::uint32_t colour) {
    const std::uint32_t id = nextSolidBrush++;
    SolidBrushes()[id] = colour & 0x00FFFFFF;
    return BrushHandle{id};
}

bool DeleteObject(BrushHandle brush) {
    if (brush.value < kSolidBase) return brush.value != 0;  // stock and system: nothing to free
    return SolidBrushes().erase(brush.value) == 1;
}

BrushHandle GetStockObject(int index) {
    if (index < 0 || index >= static_cast<int>(kStockCount)) return BrushHandle{};
    return BrushHandle{kStockBase + static_cast<std::uint32_t>(index)};
}

std::int64_t BrushColour(BrushHandle brush) { return internal::ColourOfBrush(brush); }

// ---------------------------------------------------------------------------------------------
// Message box
// ---------------------------------------------------------------------------------------------

int MessageBox(WindowHandle owner, const char* text, const char* caption, std::uint32_t type) {
    if (text == nullptr) text = "";
    if (caption == nullptr) caption = "";
    if (messageBoxHook != nullptr) return messageBoxHook(owner, text, caption, type);
    return internal::ShowPlatformMessageBox(owner, text, caption, type);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    MessageBoxHook previous = messageBoxHook;
    messageBoxHook = hook;
    return previous;
}

}  // namespace platform::window
