#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QProcess;
class QWidget;

namespace hibi {

// Opens the program's compiled help (.chm) files and closes them again.
//
// One instance lives in the main window. showHelp() never shows a message box: when a help file
// is missing or cannot be displayed, one line goes to standard error and the program carries on.
//
// On Windows the files are shown with the HTML Help control (hhctrl.ocx), owned by the calling
// window. Everywhere else an external CHM viewer is started as a child process: the first of
// xchm and kchmviewer found on the PATH, else xdg-open. The environment variable
// HIBINOBORI_HELP_VIEWER, or setViewerProgram(), names a program to use instead.
//
// Destroying the HelpViewer closes its help windows exactly as closeAll() does, so that no viewer
// outlives the main window that opened it.
class HelpViewer : public QObject {
    Q_OBJECT

  public:
    // Receives each diagnostic line, without its line end.
    using ErrorSink = std::function<void(const QString& line)>;

    explicit HelpViewer(QObject* parent = nullptr);
    ~HelpViewer() override;

    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    // Shows the help file `fileName`; a relative name is taken from the current working directory.
    // `owner` is the window the help window belongs to (Windows only; it may be null).
    // True when a viewer took the file.
    bool showHelp(QWidget* owner, const QString& fileName);

    // Closes every help window opened through this object. Harmless when none is open.
    void closeAll();

    // Viewer program to start instead of the one found on the PATH, taking precedence over
    // HIBINOBORI_HELP_VIEWER. An empty string restores the normal choice. Ignored on Windows.
    void setViewerProgram(const QString& program);

    // Where diagnostics go. The default writes each line to standard error; an empty sink
    // restores it.
    void setErrorSink(ErrorSink sink);

    // Process ids of the viewers that are still running (always empty on Windows).
    QList<qint64> viewerProcessIds() const;

  private:
    void report(const QString& message) const;
    bool startViewer(QWidget* owner, const QString& fileName);
    void closeViewers();

    QString viewerProgram_;
    ErrorSink errorSink_;
#ifdef Q_OS_WIN
    bool windowsHelpUsed_ = false;
#else
    QString chooseViewerProgram() const;
    void forgetFinished(QProcess* process);

    QList<QProcess*> viewers_;
#endif
};

}  // namespace hibi
