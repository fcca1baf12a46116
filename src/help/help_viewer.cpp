#include "help/help_viewer.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

#include <cstdio>
#include <utility>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace hibi {

namespace {

// Keeps a diagnostic on one line even when a file name holds a line break or other control
// character.
QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            c = u'?';
        }
    }
    return text;
}

void writeToStandardError(const QString& line) {
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

#ifdef Q_OS_WIN

using HtmlHelpAFunction = HWND(WINAPI*)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);
constexpr UINT kHhDisplayTopic = 0x0000;
constexpr UINT kHhCloseAll = 0x0012;

// Looked up on first use. The module stays loaded for the rest of the process: the HTML Help
// control runs threads of its own and must not be unloaded under an open help window.
HtmlHelpAFunction htmlHelpA() {
    static const HtmlHelpAFunction function = []() -> HtmlHelpAFunction {
        const HMODULE module = LoadLibraryA("hhctrl.ocx");
        if (module == nullptr) {
            return nullptr;
        }
        // Through void (*)() so that GCC does not warn about the cast between function types.
        return reinterpret_cast<HtmlHelpAFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "HtmlHelpA")));
    }();
    return function;
}

#else

constexpr char kViewerVariable[] = "HIBINOBORI_HELP_VIEWER";
constexpr int kStartTimeoutMs = 5000;
constexpr int kTerminateGraceMs = 1000;
constexpr int kKillWaitMs = 1000;

#endif

}  // namespace

HelpViewer::HelpViewer(QObject* parent) : QObject(parent) {}

HelpViewer::~HelpViewer() {
    closeAll();
}

bool HelpViewer::showHelp(QWidget* owner, const QString& fileName) {
    const QFileInfo file(fileName);
    if (fileName.isEmpty() || !file.exists()) {
        report(
            QStringLiteral("cannot show help \"%1\": no such file").arg(file.absoluteFilePath()));
        return false;
    }
    if (!file.isFile()) {
        report(QStringLiteral("cannot show help \"%1\": not a regular file")
                   .arg(file.absoluteFilePath()));
        return false;
    }
    return startViewer(owner, fileName);
}

void HelpViewer::closeAll() {
    closeViewers();
}

void HelpViewer::setViewerProgram(const QString& program) {
    viewerProgram_ = program;
}

void HelpViewer::setErrorSink(ErrorSink sink) {
    errorSink_ = std::move(sink);
}

QList<qint64> HelpViewer::viewerProcessIds() const {
    QList<qint64> ids;
#ifndef Q_OS_WIN
    for (const QProcess* process : viewers_) {
        ids.append(process->processId());
    }
#endif
    return ids;
}

void HelpViewer::report(const QString& message) const {
    const QString line = oneLine(QStringLiteral("hibinobori: ") + message);
    if (errorSink_) {
        errorSink_(line);
    } else {
        writeToStandardError(line);
    }
}

#ifdef Q_OS_WIN

bool HelpViewer::startViewer(QWidget* owner, const QString& fileName) {
    const QByteArray name = fileName.toLocal8Bit();
    if (QString::fromLocal8Bit(name) != fileName) {
        report(QStringLiteral("cannot show help \"%1\": the name does not fit the system code page")
                   .arg(fileName));
        return false;
    }
    const HtmlHelpAFunction htmlHelp = htmlHelpA();
    if (htmlHelp == nullptr) {
        report(QStringLiteral("cannot show help \"%1\": HtmlHelpA is not available from hhctrl.ocx")
                   .arg(fileName));
        return false;
    }
    windowsHelpUsed_ = true;
    const HWND caller = owner ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
    if (htmlHelp(caller, name.constData(), kHhDisplayTopic, 0) == nullptr) {
        report(QStringLiteral("cannot show help \"%1\": HTML Help did not open it").arg(fileName));
        return false;
    }
    return true;
}

void HelpViewer::closeViewers() {
    // Nothing can be open before the first showHelp(); do not load the control just to close.
    if (!std::exchange(windowsHelpUsed_, false)) {
        return;
    }
    if (const HtmlHelpAFunction htmlHelp = htmlHelpA()) {
        htmlHelp(nullptr, nullptr, kHhCloseAll, 0);
    }
}

#else

bool HelpViewer::startViewer(QWidget* owner, const QString& fileName) {
    // An external viewer's window cannot belong to one of ours.
    Q_UNUSED(owner);
    const QString path = QFileInfo(fileName).absoluteFilePath();
    const QString program = chooseViewerProgram();
    if (program.isEmpty()) {
        report(
            QStringLiteral("cannot show help \"%1\": no help viewer found (tried xchm, kchmviewer, "
                           "xdg-open)")
                .arg(path));
        return false;
    }

    auto* process = new QProcess(this);
    process->setProgram(program);
    process->setArguments({path});
    // The viewer's own diagnostics stay visible; whatever it prints on stdout does not matter.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted(kStartTimeoutMs)) {
        report(QStringLiteral("cannot show help \"%1\": cannot start viewer \"%2\": %3")
                   .arg(path, program, process->errorString()));
        process->kill();
        process->waitForFinished(kKillWaitMs);
        delete process;
        return false;
    }
    connect(process, &QProcess::finished, this, [this, process] { forgetFinished(process); });
    viewers_.append(process);
    return true;
}

void HelpViewer::closeViewers() {
    // Taken out first: waiting below may deliver finished() for these processes.
    const QList<QProcess*> viewers = std::exchange(viewers_, {});
    for (QProcess* process : viewers) {
        process->disconnect(this);
        process->terminate();
    }
    // One grace period for all of them, then force whatever is still running.
    const QDeadlineTimer grace(kTerminateGraceMs);
    for (QProcess* process : viewers) {
        if (process->state() != QProcess::NotRunning) {
            process->waitForFinished(static_cast<int>(grace.remainingTime()));
        }
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(kKillWaitMs);
        }
        delete process;
    }
}

QString HelpViewer::chooseViewerProgram() const {
    if (!viewerProgram_.isEmpty()) {
        return viewerProgram_;
    }
    const QString fromEnvironment = qEnvironmentVariable(kViewerVariable);
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    for (const char* name : {"xchm", "kchmviewer", "xdg-open"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) {
            return found;
        }
    }
    return {};
}

void HelpViewer::forgetFinished(QProcess* process) {
    viewers_.removeOne(process);
    process->deleteLater();
}

#endif

}  // namespace hibi
