// Loading a full ledger (32,766 records): reading, decoding, parsing and
// computing the schedule, against a floor of just reading the bytes and
// decoding them, measured side by side in one run.
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTime>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "full_ledger.h"
#include "ledger/text_formats.h"
#include "plan/plan_model.h"

namespace {

double medianOf(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 31;
    QTemporaryDir dir;
    const QDate first(1990, 1, 1);
    QByteArray content;
    for (int i = 0; i < hibi::kMaxLedgerRecords; ++i) {
        const QDate date = first.addDays(i);
        content += hibi::encodeRecord({date, QTime(7, 30, 15), hibi::Amount::fromYen(i + 1)});
    }
    const QString path = dir.filePath(hibi::LedgerFile::canonicalName());
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write the bench ledger\n");
            return 1;
        }
    }
    const QDate today = first.addDays(hibi::kMaxLedgerRecords);
    hibi::PlanModel plan(dir.path());

    std::vector<double> floorMs;
    std::vector<double> loadMs;
    qsizetype sink = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                return 1;
            }
            const QByteArray bytes = file.readAll();
            QStringDecoder decoder(hibi::kLedgerEncoding, QStringDecoder::Flag::Stateless);
            const QString text = decoder(bytes);
            sink += text.size();
        }
        floorMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        {
            if (!loadsAsFullLedger(plan, today)) {
                std::fprintf(stderr, "the bench ledger did not load\n");
                return 1;
            }
            sink += plan.runningTotals().size();
        }
        loadMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    const double floor = medianOf(floorMs);
    const double load = medianOf(loadMs);
    std::printf("records                 %d\n", hibi::kMaxLedgerRecords);
    std::printf("rounds                  %d\n", rounds);
    std::printf("read+decode (floor)     %.3f ms (median)\n", floor);
    std::printf("load+parse+schedule     %.3f ms (median)\n", load);
    std::printf("ratio                   %.2f (goal <= 3)\n", load / floor);
    return sink > 0 ? 0 : 1;
}
