#include "typing/windows/send_input_backend.hpp"

#include <array>

namespace vxorv {
namespace {

constexpr std::array<WORD, 30> namedKeyCodes{
    VK_RETURN, VK_TAB,  VK_ESCAPE, VK_BACK, VK_INSERT, VK_DELETE, VK_HOME, VK_END,
    VK_PRIOR,  VK_NEXT, VK_UP,     VK_DOWN, VK_LEFT,   VK_RIGHT,  VK_F1,   VK_F2,
    VK_F3,     VK_F4,   VK_F5,     VK_F6,   VK_F7,     VK_F8,     VK_F9,   VK_F10,
    VK_F11,    VK_F12,  VK_F13,    VK_F14,  VK_F15,    VK_F16};
static_assert(namedKeyCodes.size() == static_cast<std::size_t>(NamedKey::F16) + 1);

// The navigation keys sit in the extended part of the keyboard: without the
// flag they arrive as the numeric keypad's keys.
bool isExtended(WORD virtualKey) {
    switch (virtualKey) {
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_DOWN:
    case VK_LEFT:
    case VK_RIGHT:
        return true;
    default:
        return false;
    }
}

INPUT virtualKey(WORD code, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = code;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(code, MAPVK_VK_TO_VSC));
    input.ki.dwFlags =
        (isExtended(code) ? KEYEVENTF_EXTENDEDKEY : 0u) | (up ? KEYEVENTF_KEYUP : 0u);
    return input;
}

INPUT unicodeUnit(wchar_t unit, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = static_cast<WORD>(unit);
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0u);
    return input;
}

void addKeyPress(std::vector<INPUT>& inputs, WORD code) {
    inputs.push_back(virtualKey(code, false));
    inputs.push_back(virtualKey(code, true));
}

// A code point beyond the basic plane goes as its surrogate pair.
void addCharacter(std::vector<INPUT>& inputs, char32_t character) {
    std::array<wchar_t, 2> units{static_cast<wchar_t>(character), 0};
    std::size_t count = 1;
    if (character > 0xFFFF) {
        const char32_t offset = character - 0x10000;
        units = {static_cast<wchar_t>(0xD800 + (offset >> 10)),
                 static_cast<wchar_t>(0xDC00 + (offset & 0x3FF))};
        count = 2;
    }
    for (std::size_t i = 0; i < count; ++i) {
        inputs.push_back(unicodeUnit(units[i], false));
        inputs.push_back(unicodeUnit(units[i], true));
    }
}

// The key that types `character` on the current layout, or 0 when it has none.
WORD layoutKeyFor(char32_t character) {
    if (character > 0xFFFF) {
        return 0;
    }
    const SHORT key = VkKeyScanW(static_cast<wchar_t>(character));
    return key == -1 ? WORD{0} : static_cast<WORD>(key & 0xFF);
}

unsigned sendToSystem(std::span<INPUT> inputs) {
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool isKeyDown(const INPUT& input) {
    return (input.ki.dwFlags & KEYEVENTF_KEYUP) == 0;
}

bool isSameKey(const INPUT& a, const INPUT& b) {
    return a.ki.wVk == b.ki.wVk && a.ki.wScan == b.ki.wScan &&
           (a.ki.dwFlags & KEYEVENTF_UNICODE) == (b.ki.dwFlags & KEYEVENTF_UNICODE);
}

} // namespace

std::vector<INPUT> inputsFor(const KeyEvent& event) {
    std::vector<INPUT> inputs;
    if (event.kind == KeyEvent::Kind::Named) {
        addKeyPress(inputs, namedKeyCodes[static_cast<std::size_t>(event.key)]);
    } else if (!event.ctrl) {
        addCharacter(inputs, event.character);
    } else if (const WORD key = layoutKeyFor(event.character)) {
        addKeyPress(inputs, key);
    } else {
        return {};
    }
    if (event.ctrl) {
        inputs.insert(inputs.begin(), virtualKey(VK_CONTROL, false));
        inputs.push_back(virtualKey(VK_CONTROL, true));
    }
    return inputs;
}

SendInputBackend::SendInputBackend() : SendInputBackend(sendToSystem) {}

SendInputBackend::SendInputBackend(Sender sender) : m_send(std::move(sender)) {}

bool SendInputBackend::type(const KeyEvent& event) {
    std::vector<INPUT> inputs = inputsFor(event);
    if (inputs.empty()) {
        return false;
    }
    const unsigned inserted = m_send(inputs);
    if (inserted == inputs.size()) {
        return true;
    }
    // Release what the part that got through left pressed (Ctrl above all),
    // so that the user's next keys are not taken as shortcuts.
    std::vector<INPUT> pressed;
    for (unsigned i = 0; i < inserted; ++i) {
        if (isKeyDown(inputs[i])) {
            pressed.push_back(inputs[i]);
        } else {
            std::erase_if(pressed, [&](const INPUT& down) { return isSameKey(down, inputs[i]); });
        }
    }
    std::vector<INPUT> releases(pressed.rbegin(), pressed.rend());
    for (INPUT& release : releases) {
        release.ki.dwFlags |= KEYEVENTF_KEYUP;
    }
    if (!releases.empty()) {
        m_send(releases);
    }
    return false;
}

} // namespace vxorv
