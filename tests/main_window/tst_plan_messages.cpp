// What the user reads after a failure: Japanese from start to end, true to
// what the file holds, and no advice to retry where retrying cannot help;
// and the second question before a copy that may be cut is restored.

#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>

#include "main_window/plan_messages.h"
#include "restore_window/frm_restore.h"
#include "test_support.h"
#include "ui_common/message_box.h"

using hibi::frmRestore;

using hibi::MessageBox;

using hibi::DepositOutcome;
using hibi::LedgerErrorKind;
using hibi::LedgerFileProblem;
using Kind = hibi::LedgerFileProblem::Kind;

namespace {

LedgerFileProblem problem(Kind kind, int code = 0,
                          LedgerErrorKind line = LedgerErrorKind::Malformed) {
    LedgerFileProblem p;
    p.kind = kind;
    p.fileName = QStringLiteral("ヒビノボリ.txt");
    p.error = {code, QStringLiteral("Original English words")};
    p.where = hibi::LedgerError{7, line};
    p.names = QStringList{QStringLiteral("ヒビノボリ.TXT"), QStringLiteral("ヒビノボリ.txt")};
    return p;
}

QString depositText(const LedgerFileProblem& p,
                    hibi::PlanStatus after = hibi::PlanStatus::DueWithArrears) {
    DepositOutcome outcome;
    outcome.kind = p.kind == Kind::ChangedOnDisk ? DepositOutcome::Kind::ChangedOnDisk
                                                 : DepositOutcome::Kind::Failed;
    outcome.problem = p;
    outcome.statusAfter = after;
    return hibi::depositOutcomeText(outcome);
}

}  // namespace

class PlanMessages : public QObject {
    Q_OBJECT
  private slots:
    // No English word, whatever the system said: only the encodings' names.
    void japaneseFromStartToEnd() {
        QStringList texts;
        for (int code : {0, EACCES, ENOSPC, EIO, ENOTDIR, EXDEV, 12345}) {
            texts << hibi::systemErrorText({code, QStringLiteral("Original English words")})
                  << hibi::backupFailureText({code, QStringLiteral("Not a directory")});
            for (Kind kind : {Kind::AmbiguousName, Kind::ReadFailed, Kind::WriteFailed,
                              Kind::NotSynced, Kind::NotReadable, Kind::ChangedOnDisk, Kind::Busy,
                              Kind::NoBackup, Kind::FolderReadOnly}) {
                const LedgerFileProblem p = problem(kind, code);
                texts << depositText(p) << hibi::resetProblemText(p)
                      << hibi::conversionProblemText(p) << hibi::restoreProblemText(p);
            }
        }
        for (int kind = 0; kind <= int(hibi::LoadNotice::Kind::NoBackupsHere); ++kind) {
            hibi::LoadNotice notice;
            notice.kind = hibi::LoadNotice::Kind(kind);
            notice.error = {EXDEV, QStringLiteral("Invalid cross-device link")};
            texts << hibi::loadNoticeText(notice);
        }
        static const QRegularExpression latinWord(QStringLiteral("[A-Za-z]{2,}"));
        for (QString text : texts) {
            QVERIFY(!text.isEmpty());
            static const QRegularExpression names(
                QStringLiteral("Shift-JIS|シフトJIS|UTF-8|\\.(txt|TXT)"));
            text.remove(names);
            QVERIFY2(!text.contains(latinWord), qPrintable(text));
        }
        QVERIFY(hibi::systemErrorText({12345, {}}).contains(QStringLiteral("12345")));
    }

    void adviceThatCanHelp() {
        const QString retry = QStringLiteral("もう一度");
        QVERIFY(depositText(problem(Kind::WriteFailed, ENOSPC)).contains(retry));
        QVERIFY(depositText(problem(Kind::Busy)).contains(retry));
        for (const LedgerFileProblem& p :
             {problem(Kind::WriteFailed, EACCES), problem(Kind::AmbiguousName),
              problem(Kind::NotReadable, 0, LedgerErrorKind::TooManyRecords),
              problem(Kind::NotReadable, 0, LedgerErrorKind::Malformed)}) {
            QVERIFY2(!depositText(p).contains(retry), qPrintable(depositText(p)));
            QVERIFY(!hibi::resetProblemText(p).contains(retry));
        }
        QVERIFY(depositText(problem(Kind::NotReadable)).contains(QStringLiteral("7 行目")));
        QVERIFY(depositText(problem(Kind::NotReadable, 0, LedgerErrorKind::TooManyRecords))
                    .contains(QStringLiteral("クリア")));
        QVERIFY(
            depositText(problem(Kind::AmbiguousName)).contains(QStringLiteral("ヒビノボリ.TXT")));
    }

    // A failed write says that the window shows the file as it is now; a
    // record the disk did not confirm is not called unrecorded; another
    // copy's deposit of today asks for no press.
    void trueToTheFile() {
        for (Kind kind : {Kind::WriteFailed, Kind::NotSynced, Kind::Busy}) {
            QVERIFY(depositText(problem(kind, EIO)).contains(QStringLiteral("今の内容を表示")));
        }
        QVERIFY(!depositText(problem(Kind::NotSynced, EIO))
                     .contains(QStringLiteral("できませんでした。")));
        const QString other =
            depositText(problem(Kind::ChangedOnDisk), hibi::PlanStatus::DepositedToday);
        QVERIFY2(
            other.contains(QStringLiteral("済んで")) && !other.contains(QStringLiteral("押して")),
            qPrintable(other));
        QVERIFY(depositText(problem(Kind::ChangedOnDisk)).contains(QStringLiteral("押して")));
        // A conversion refused because the file changed is no failed copy.
        const QString changed = hibi::conversionProblemText(problem(Kind::ChangedOnDisk));
        QVERIFY(changed.contains(QStringLiteral("変更")) &&
                !changed.contains(QStringLiteral("バックアップ")));
    }

    // A copy whose last line lost its line end may have lost digits too: it
    // is restored only when the user says so twice.
    void aCopyThatMayBeCutIsAskedAboutTwice() {
        QTemporaryDir dir;
        const hibi::Backups backups(dir.path());
        QVERIFY(QDir(dir.path()).mkdir(hibi::Backups::folderName()));
        const QString name = QStringLiteral("ヒビノボリ_20090402_070000.txt");
        MessageBox::startRecording();
        for (const auto second : {MessageBox::Answer::Cancel, MessageBox::Answer::Ok}) {
            QVERIFY(hibi::testing::writeBytes(
                backups.folderPath() + QLatin1Char('/') + name,
                hibi::testing::ledgerLine(QDate(2009, 4, 1), QStringLiteral("07:00:00"), "12")
                    .chopped(3)));
            frmRestore chooser(backups);
            MessageBox::answerNext(MessageBox::Answer::Ok);
            MessageBox::answerNext(second);
            chooser.findChild<QPushButton*>(QStringLiteral("cmdRestore"))->click();
            QCOMPARE(MessageBox::takeShown().size(), 2);
            QCOMPARE(chooser.chosenFile(), second == MessageBox::Answer::Ok ? name : QString());
        }
        MessageBox::stopRecording();
    }
};

QTEST_MAIN(PlanMessages)
#include "tst_plan_messages.moc"
