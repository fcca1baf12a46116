// The reminder's decision over a full ledger (32,766 records): reading,
// parsing, the schedule and the text, as "hibinobori --remind" does it
// before it notifies. The whole process is timed by remind_bench.sh.
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTime>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ledger/ledger_file.h"
#include "plan/reminder.h"

int main(int argc, char* argv[]) {
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 31;
    QTemporaryDir dir;
    const QDate today = QDate::currentDate();
    const QDate first = today.addDays(-hibi::kMaxLedgerRecords);
    QByteArray content;
    for (int i = 0; i < hibi::kMaxLedgerRecords; ++i) {
        content +=
            hibi::encodeRecord({first.addDays(i), QTime(20, 10, 5), hibi::Amount::fromYen(i + 1)});
    }
    QFile file(dir.filePath(hibi::LedgerFile::canonicalName()));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        std::fprintf(stderr, "cannot write the ledger\n");
        return 1;
    }
    file.close();
    std::vector<double> samples;
    QString text;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        text = hibi::checkReminder(dir.path(), today).text;
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(samples.begin(), samples.end());
    std::printf(
        "reminder decision, %d records, %d rounds: median %.1f ms (min %.1f, max %.1f)\n%s\n",
        hibi::kMaxLedgerRecords, rounds, samples[samples.size() / 2], samples.front(),
        samples.back(), qPrintable(text));
    return 0;
}
