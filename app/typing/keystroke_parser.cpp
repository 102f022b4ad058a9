#include "typing/keystroke_parser.hpp"

#include <array>
#include <optional>
#include <utility>

namespace vxorv {
namespace {

constexpr std::array<std::pair<std::u32string_view, NamedKey>, 30> namedKeys{{
    {U"ENTER", NamedKey::Enter},   {U"TAB", NamedKey::Tab},     {U"ESC", NamedKey::Escape},
    {U"BS", NamedKey::Backspace},  {U"INS", NamedKey::Insert},  {U"DEL", NamedKey::Delete},
    {U"HOME", NamedKey::Home},     {U"END", NamedKey::End},     {U"PGUP", NamedKey::PageUp},
    {U"PGDN", NamedKey::PageDown}, {U"UP", NamedKey::Up},       {U"DOWN", NamedKey::Down},
    {U"LEFT", NamedKey::Left},     {U"RIGHT", NamedKey::Right}, {U"F1", NamedKey::F1},
    {U"F2", NamedKey::F2},         {U"F3", NamedKey::F3},       {U"F4", NamedKey::F4},
    {U"F5", NamedKey::F5},         {U"F6", NamedKey::F6},       {U"F7", NamedKey::F7},
    {U"F8", NamedKey::F8},         {U"F9", NamedKey::F9},       {U"F10", NamedKey::F10},
    {U"F11", NamedKey::F11},       {U"F12", NamedKey::F12},     {U"F13", NamedKey::F13},
    {U"F14", NamedKey::F14},       {U"F15", NamedKey::F15},     {U"F16", NamedKey::F16},
}};

std::optional<NamedKey> namedKey(std::u32string_view name) {
    for (const auto& [text, key] : namedKeys) {
        if (text == name) {
            return key;
        }
    }
    return std::nullopt;
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// What a control character types; nullopt when it types nothing.
std::optional<NamedKey> controlKey(char32_t c) {
    switch (c) {
    case U'\r':
    case U'\n':
        return NamedKey::Enter;
    case U'\t':
        return NamedKey::Tab;
    case U'\b':
        return NamedKey::Backspace;
    case 0x1B:
        return NamedKey::Escape;
    default:
        return std::nullopt;
    }
}

// A braced construct at the start of `rest` ("{" included): the event it
// types and the length it spans, or nullopt when it is no valid construct.
std::optional<std::pair<KeyEvent, std::size_t>> bracedConstruct(std::u32string_view rest) {
    if (rest.size() >= 3 && rest[2] == U'}' && !isControl(rest[1])) {
        return std::pair{KeyEvent::ofCharacter(rest[1]), std::size_t{3}};
    }
    const std::size_t close = rest.find(U'}', 1);
    if (close == std::u32string_view::npos) {
        return std::nullopt;
    }
    if (const auto key = namedKey(rest.substr(1, close - 1))) {
        return std::pair{KeyEvent::ofKey(*key), close + 1};
    }
    return std::nullopt;
}

} // namespace

KeystrokeParser::Result KeystrokeParser::parse(std::u32string_view keystrokes) {
    Result result;
    bool ctrl = false;
    const auto emit = [&](KeyEvent event) {
        event.ctrl = ctrl;
        ctrl = false;
        result.events.push_back(event);
    };

    std::size_t i = 0;
    while (i < keystrokes.size()) {
        const char32_t c = keystrokes[i];
        const bool afterCarriageReturn = m_lastWasCarriageReturn;
        m_lastWasCarriageReturn = c == U'\r';

        if (c == U'^') {
            ctrl = true;
            ++i;
        } else if (c == U'{') {
            if (const auto construct = bracedConstruct(keystrokes.substr(i))) {
                emit(construct->first);
                i += construct->second;
            } else {
                emit(KeyEvent::ofCharacter(c));
                ++i;
            }
        } else if (isControl(c)) {
            if (c == U'\n' && afterCarriageReturn) {
                // CR LF is one Enter.
            } else if (const auto key = controlKey(c)) {
                emit(KeyEvent::ofKey(*key));
            } else {
                ++result.ignoredControls;
            }
            ++i;
        } else {
            emit(KeyEvent::ofCharacter(c));
            ++i;
        }
    }
    return result;
}

} // namespace vxorv
