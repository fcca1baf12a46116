#include "app/command_line.h"

#include <cstdlib>
#include <string_view>

#ifndef HIBI_VERSION
#error "HIBI_VERSION must name the program's version"
#endif

namespace hibi::app {
namespace {

constexpr std::string_view kProgram = "hibinobori";

constexpr std::string_view kUsage =
    "使い方: hibinobori [オプション]\n"
    "日々のぼり貯金のコーチを起動します。台帳ファイル ヒビノボリ.txt と目標 目標ヒビノボリ.txt は\n"
    "起動したフォルダーに置かれます。\n"
    "\n"
    "  -h, --help     この説明を表示して終了します\n"
    "  -v, --version  バージョンを表示して終了します\n"
    "  --remind DIR   DIR の台帳で今日の入金がまだなら、デスクトップにお知らせを出します\n"
    "\n"
    "Usage: hibinobori [OPTION]\n"
    "Starts the step-up savings coach. The ledger ヒビノボリ.txt and the goal\n"
    "目標ヒビノボリ.txt are kept in the directory it is started in.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n"
    "  --remind DIR   notify the desktop when today's deposit in DIR's ledger is not made\n"
    "\n"
#ifdef _WIN32
    "詳しくは / More: ヘルプ メニュー / the Help menu\n";
#else
    "詳しくは / More: man hibinobori\n";
#endif

#ifndef _WIN32
bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}
#endif

// Qt picks a platform plugin from QT_QPA_PLATFORM, or else xcb or wayland from
// these; without any of them it cannot open a window and aborts. Windows
// always has its desktop.
bool hasDisplay() {
#ifdef _WIN32
    return true;
#else
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
#endif
}

}  // namespace

std::optional<int> handleCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err, const RemindCommand& remind) {
    // Every argument is the program's own: Qt's options (-platform, -style, ...)
    // never reach QApplication, because any argument stops the program here.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            out << kUsage;
            return 0;
        }
        if (arg == "-v" || arg == "--version") {
            out << kProgram << ' ' << HIBI_VERSION << '\n';
            return 0;
        }
        if (arg == "--remind" && argc == 3 && i == 1 && remind) {
            return remind(argv[2]);
        }
        if (arg == "--remind") {
            err << kProgram
                << ": --remind にはフォルダをひとつだけ指定します / --remind takes one "
                   "folder\n\n";
        } else if (arg.size() > 1 && arg.front() == '-') {
            err << kProgram << ": 不明なオプションです / unknown option: " << arg << "\n\n";
        } else {
            err << kProgram << ": 引数は受け付けません / unexpected argument: " << arg << "\n\n";
        }
        err << kUsage;
        return 2;
    }
    if (!hasDisplay()) {
        err << kProgram
            << ": 画面（ディスプレイ）が見つからないため起動できません / cannot start: no display"
               " (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset)\n";
        return 1;
    }
    return std::nullopt;
}

}  // namespace hibi::app
