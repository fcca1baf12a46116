#pragma once

// A plan over a temporary folder, for the plan model's tests.

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "plan/plan_model.h"
#include "test_support.h"

namespace hibi::testing {

inline const QDate kApril1(2009, 4, 1);
inline const QString kName = QStringLiteral("ヒビノボリ.txt");

// yen deposited early on date.
inline QByteArray yenOn(const QDate& date, long long yen = 1) {
    return ledgerLine(date, QStringLiteral("07:30:15"), QByteArray::number(yen));
}

// The moment the tests press the button on a day.
inline QDateTime at(const QDate& date, int hour = 21, int minute = 5, int second = 33) {
    return {date, QTime(hour, minute, second)};
}

// The line a press on date at the default moment writes.
inline QByteArray depositLine(const QDate& date, long long yen) {
    return ledgerLine(date, QStringLiteral("21:05:33"), QByteArray::number(yen));
}

// A model over a temporary folder holding the given ledger (none when null).
struct Plan {
    explicit Plan(const QByteArray& ledger, QByteArray encoding = kLedgerEncoding)
        : model(dir.path(), std::move(encoding)) {
        if (!ledger.isNull()) {
            writeBytes(file(), ledger);
        }
    }
    QString file(const QString& name = kName) const { return dir.filePath(name); }
    QByteArray bytes() const { return readBytes(file()); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }
    QList<LoadNotice::Kind> load(const QDate& today) {
        QList<LoadNotice::Kind> kinds;
        for (const LoadNotice& notice : model.load(today)) {
            kinds << notice.kind;
        }
        return kinds;
    }

    QTemporaryDir dir;
    PlanModel model;
};

}  // namespace hibi::testing
