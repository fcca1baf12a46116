#include <windows.h>

#include <sstream>
#include <string>

#include "app/command_line.h"
#include "app/command_line_output.h"

namespace hibi::app {

namespace {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring text(size_t(length > 0 ? length : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), length);
    return text;
}

// A handle the program was given (redirected to a file or a pipe) takes the
// bytes as they are; a console takes them as UTF-16, whatever its code page.
bool writeTo(HANDLE handle, const std::string& utf8) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring text = wide(utf8);
        return WriteConsoleW(handle, text.data(), DWORD(text.size()), &written, nullptr) != 0;
    }
    return WriteFile(handle, utf8.data(), DWORD(utf8.size()), &written, nullptr) != 0;
}

}  // namespace

std::optional<int> handleCommandLineHere(int argc, const char* const* argv,
                                         const RemindCommand& remind) {
    std::ostringstream out;
    std::ostringstream err;
    const std::optional<int> exitCode = handleCommandLine(argc, argv, out, err, remind);
    if (!exitCode) {
        return exitCode;
    }
    const DWORD which = *exitCode == 0 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    const std::string text = *exitCode == 0 ? out.str() : err.str();
    if (writeTo(GetStdHandle(which), text)) {
        return exitCode;
    }
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        const bool shown = writeTo(console, "\n" + text);
        if (console != INVALID_HANDLE_VALUE) {
            CloseHandle(console);
        }
        if (shown) {
            return exitCode;
        }
    }
    // Started from Explorer or a shortcut: no console to write to.
    MessageBoxW(nullptr, wide(text).c_str(), L"hibinobori",
                MB_OK | (*exitCode == 0 ? MB_ICONINFORMATION : MB_ICONWARNING));
    return exitCode;
}

}  // namespace hibi::app
