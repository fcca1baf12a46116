// Start-up of the main window, from creating it to the window shown with
// today's status decided and the window drawn once: an empty ledger (the
// first run, schedule window included) against a full one of 32,766 records, measured side by side
// in one run and reported as a ratio. `bench_startup ROUNDS empty` (or `full`)
// times one case alone, for a profiler.
#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ledger/ledger_codec.h"
#include "ledger/text_formats.h"
#include "main_window/fra_main.h"
#include "ui_common/clock.h"
#include "ui_common/message_box.h"

using hibi::fraMain;

namespace {

double medianOf(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Closes the schedule window as soon as it is shown, as the user would, once
// it has been drawn.
void closeScheduleWhenShown() {
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            (void)modal->grab();
            modal->close();
        } else {
            closeScheduleWhenShown();
        }
    });
}

// Page faults: in a virtual machine, touching fresh memory is much of what
// a long history costs.
long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

struct Start {
    double ms = 0;
    long faults = 0;
};

Start startOnce(hibi::Clock& clock, const QString& dir, bool firstRun) {
    const long faultsBefore = minorFaults();
    QElapsedTimer timer;
    timer.start();
    {
        fraMain window(clock, dir);
        if (firstRun) {
            closeScheduleWhenShown();
        }
        window.Form_Load();
        // The first picture of the window, history rows included, drawn
        // now rather than whenever the platform asks for it.
        (void)window.grab();
        (void)hibi::MessageBox::takeShown();
        return {static_cast<double>(timer.nsecsElapsed()) / 1e6, minorFaults() - faultsBefore};
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 21;
    // "empty" or "full" times that case alone, for a profiler to look at.
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const bool runEmpty = only != QLatin1String("full");
    const bool runFull = only != QLatin1String("empty");
    // A full ledger says at start-up that it takes no more records: the box is
    // answered at once rather than waited on.
    hibi::MessageBox::startRecording();

    QTemporaryDir emptyDir;
    QTemporaryDir fullDir;
    const QDate first(1990, 1, 1);
    QByteArray content;
    for (int i = 0; i < hibi::kMaxLedgerRecords; ++i) {
        content +=
            hibi::encodeRecord({first.addDays(i), QTime(7, 30, 15), hibi::Amount::fromYen(i + 1)});
    }
    QFile file(fullDir.filePath(QStringLiteral("ヒビノボリ.txt")));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        return 1;
    }
    file.close();
    // The day after the last record: the full history is due, not deposited.
    hibi::FixedClock clock(QDateTime(first.addDays(hibi::kMaxLedgerRecords - 1), QTime(12, 0)));

    // One untimed start of each warms the caches both would find warm.
    if (runEmpty) {
        startOnce(clock, emptyDir.path(), true);
    }
    if (runFull) {
        startOnce(clock, fullDir.path(), false);
    }
    std::vector<double> empty;
    std::vector<double> full;
    std::vector<double> emptyFaults;
    std::vector<double> fullFaults;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(emptyDir.filePath(QStringLiteral("ヒビノボリ.txt")));
        const Start e = runEmpty ? startOnce(clock, emptyDir.path(), true) : Start{};
        const Start f = runFull ? startOnce(clock, fullDir.path(), false) : Start{};
        empty.push_back(e.ms);
        full.push_back(f.ms);
        emptyFaults.push_back(static_cast<double>(e.faults));
        fullFaults.push_back(static_cast<double>(f.faults));
    }
    const double emptyMs = medianOf(empty);
    const double fullMs = medianOf(full);
    std::printf("rounds                     %d\n", rounds);
    std::printf("empty ledger (first run)   %.2f ms (median), %.0f page faults\n", emptyMs,
                medianOf(emptyFaults));
    std::printf("32,766-record ledger       %.2f ms (median), %.0f page faults\n", fullMs,
                medianOf(fullFaults));
    if (runEmpty && runFull) {
        std::printf("ratio                      %.2f (goal <= 1.3)\n", fullMs / emptyMs);
    }
    return 0;
}
