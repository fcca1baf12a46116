// Opening the progress window over a full ledger (32,766 records): creating
// it, filling in its figures and drawing it once, against a floor of creating
// and drawing an empty window of the same size, measured side by side in one
// run. With --screenshot CALENDAR CHART it instead saves the window's two
// pages over a 1,000-record ledger with gaps, some paid later as arrears.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "full_ledger.h"
#include "ledger/ledger_codec.h"
#include "plan/plan_model.h"
#include "plan/progress.h"
#include "progress_window/progress_window.h"

using hibi::frmProgress;

namespace {

// The process's processor time: on a busy machine the wall clock also
// counts the time others had the processor.
double cpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double medianOf(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

bool writeLedger(const QString& dir, const QByteArray& content) {
    QFile file(QDir(dir).filePath(hibi::LedgerFile::canonicalName()));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// One record a day from first, the Nth record N yen; today is the next day.
QDate fullLedger(const QString& dir) {
    const QDate first(1930, 1, 1);
    QByteArray content;
    for (int i = 0; i < hibi::kMaxLedgerRecords; ++i) {
        content +=
            hibi::encodeRecord({first.addDays(i), QTime(7, 30, 15), hibi::Amount::fromYen(i + 1)});
    }
    return writeLedger(dir, content) ? first.addDays(hibi::kMaxLedgerRecords) : QDate();
}

// 1,000 records with missed days: after every other gap the arrears are paid
// with the day's own amount. Today is the last record's day.
QDate ledgerWithGaps(const QString& dir) {
    const QDate first(2023, 6, 1);
    QByteArray content;
    qint64 owed = 0;
    int records = 0;
    int gaps = 0;
    int day = 0;
    for (; records < 1000; ++day) {
        const bool missed = (day % 23 == 7) || (day % 97 >= 40 && day % 97 < 46) ||
                            (day % 211 >= 120 && day % 211 < 135);
        if (missed) {
            owed += day + 1;
            continue;
        }
        qint64 yen = day + 1;
        if (owed > 0 && ++gaps % 2 == 0) {
            yen += owed;
        }
        owed = 0;
        content += hibi::encodeRecord({first.addDays(day), QTime(7, 30, 15),
                                       hibi::Amount::fromYen(static_cast<std::int32_t>(yen))});
        ++records;
    }
    return writeLedger(dir, content) ? first.addDays(day - 1) : QDate();
}

// The calendar and the chart, one picture each.
int screenshot(const QString& calendarFile, const QString& chartFile) {
    QTemporaryDir dir;
    const QDate today = ledgerWithGaps(dir.path());
    hibi::PlanModel plan(dir.path());
    plan.load(today);
    plan.saveGoal(1500);
    plan.loadGoal();
    frmProgress window;
    window.refresh(plan, today);
    window.show();
    QApplication::processEvents();
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabKiroku"));
    const bool calendar = window.grab().save(calendarFile);
    tabs->setCurrentIndex(1);
    QApplication::processEvents();
    return calendar && window.grab().save(chartFile) ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc > 3 && std::strcmp(argv[1], "--screenshot") == 0) {
        return screenshot(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 31;
    QTemporaryDir dir;
    const QDate today = fullLedger(dir.path());
    hibi::PlanModel plan(dir.path());
    if (!today.isValid() || !loadsAsFullLedger(plan, today)) {
        std::fprintf(stderr, "the bench ledger did not load\n");
        return 1;
    }
    plan.loadGoal();

    std::vector<double> floorMs;
    std::vector<double> figuresMs;
    std::vector<double> openMs;
    std::vector<double> createMs;
    std::vector<double> refreshMs;
    std::vector<double> grabMs;
    double firstOpenMs = 0;
    double firstOpenCpuMs = 0;
    std::vector<double> openCpuMs;
    qint64 sink = 0;
    QSize size;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        const double cpuBefore = cpuMs();
        timer.start();
        {
            frmProgress window;
            const qint64 created = timer.nsecsElapsed();
            window.refresh(plan, today);
            const qint64 refreshed = timer.nsecsElapsed();
            size = window.size();
            sink += window.grab().width();
            createMs.push_back(static_cast<double>(created) / 1e6);
            refreshMs.push_back(static_cast<double>(refreshed - created) / 1e6);
            grabMs.push_back(static_cast<double>(timer.nsecsElapsed() - refreshed) / 1e6);
        }
        openMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        openCpuMs.push_back(cpuMs() - cpuBefore);
        if (round == 0) {
            firstOpenMs = openMs.back();
            firstOpenCpuMs = openCpuMs.back();
        }

        timer.restart();
        {
            QWidget window;
            window.resize(size);
            sink += window.grab().width();
        }
        floorMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        sink += hibi::progressFigures(plan, today).daysWithDeposit;
        figuresMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    const double floor = medianOf(floorMs);
    const double open = medianOf(openMs);
    std::printf("records                      %d\n", hibi::kMaxLedgerRecords);
    std::printf("rounds                       %d\n", rounds);
    std::printf("window size                  %dx%d\n", size.width(), size.height());
    std::printf("empty window+grab (floor)    %.3f ms (median)\n", floor);
    std::printf("figures alone                %.3f ms (median)\n", medianOf(figuresMs));
    std::printf("create+refresh+grab          %.3f ms (median)\n", open);
    std::printf("  of which create            %.3f ms (median)\n", medianOf(createMs));
    std::printf("  of which refresh           %.3f ms (median)\n", medianOf(refreshMs));
    std::printf("  of which grab              %.3f ms (median)\n", medianOf(grabMs));
    std::printf("first open: create, refresh, grab  %.3f, %.3f, %.3f ms\n", createMs[0],
                refreshMs[0], grabMs[0]);
    std::printf("first open of the run        %.3f ms\n", firstOpenMs);
    std::printf("processor time: open %.3f ms (median), first open %.3f ms\n", medianOf(openCpuMs),
                firstOpenCpuMs);
    std::printf("over the floor               %.3f ms (goal: open < 200 ms)\n", open - floor);
    return sink > 0 ? 0 : 1;
}
