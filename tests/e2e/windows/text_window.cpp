// A Windows text window for end-to-end tests: holds the keyboard focus and
// appends what it receives to a UTF-8 file, flushed at once, so that a test on
// the other side of Wine can read it while it runs:
//   vxorv_text_window.exe RECORD_FILE
// Characters are recorded as the window receives them (Enter is CR, Tab TAB,
// Backspace BS, Escape ESC, Ctrl+letter its control code); keys that produce no
// character are recorded as {VK:<code in hex>}.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

FILE* record = nullptr;
wchar_t pendingHighSurrogate = 0;

void append(const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), record);
    std::fflush(record);
}

std::string toUtf8(const wchar_t* units, int count) {
    std::string out(static_cast<std::size_t>(count) * 4, '\0');
    const int length = WideCharToMultiByte(CP_UTF8, 0, units, count, out.data(),
                                           static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return out;
}

void recordCharacter(wchar_t unit) {
    if (unit >= 0xD800 && unit < 0xDC00) {
        pendingHighSurrogate = unit;
        return;
    }
    if (unit >= 0xDC00 && unit < 0xE000 && pendingHighSurrogate != 0) {
        const wchar_t pair[2] = {pendingHighSurrogate, unit};
        pendingHighSurrogate = 0;
        append(toUtf8(pair, 2));
        return;
    }
    append(toUtf8(&unit, 1));
}

// The keys of the keystroke strings that type no character.
bool typesNoCharacter(WPARAM key) {
    return key == VK_INSERT || key == VK_DELETE || key == VK_HOME || key == VK_END ||
           key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN || key == VK_LEFT ||
           key == VK_RIGHT || (key >= VK_F1 && key <= VK_F16);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR:
        recordCharacter(static_cast<wchar_t>(wParam));
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (typesNoCharacter(wParam)) {
            char text[16];
            std::snprintf(text, sizeof(text), "{VK:%02X}", static_cast<unsigned>(wParam));
            append(text);
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    record = _wfopen(commandLine, L"ab");
    if (!record) {
        return 2;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"VxorvTextWindow";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"VxorvTextWindow", L"Text window", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                300, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(window);
    append("ready\n");

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    std::fclose(record);
    return 0;
}
