#include <QApplication>
#include <QEvent>
#include <QTime>
#include <QToolButton>
#include <algorithm>

#include "main_window/fra_main.h"
#include "main_window/plan_messages.h"
#include "ui_common/clock.h"
#include "ui_common/message_box.h"

namespace hibi {

// The main window showing a plan loaded again under it: after a stale
// press, a conversion, a restore, or a new day.

using hibi::MessageBox;

// --- Helpers ----------------------------------------------------------------

namespace {

// What makes two notices the same news: their text, whatever the day.
QString noticeKey(hibi::LoadNotice notice) {
    notice.today = QDate();
    return hibi::loadNoticeText(notice);
}

}  // namespace

void fraMain::takeNotices(const QList<hibi::LoadNotice>& notices, bool onlyNews) {
    QStringList keys;
    for (const hibi::LoadNotice& notice : notices) {
        keys << noticeKey(notice);
        if (!onlyNews || !lastLoadNotices_.contains(keys.last())) {
            pendingNotices_.append(notice);
        }
    }
    lastLoadNotices_ = keys;
}

void fraMain::showReloaded(const QString& why, const QList<hibi::LoadNotice>& notices) {
    takeNotices(notices);
    showReloadedPlan();  // the model has loaded already
    showError(why);
    showPendingMessages();
}

void fraMain::showPendingMessages() {
    while (!pendingNotices_.isEmpty()) {
        const hibi::LoadNotice notice = pendingNotices_.takeFirst();
        if (notice.kind == hibi::LoadNotice::Kind::Utf8Ledger) {
            offerConversion(notice);
        } else {
            showError(hibi::loadNoticeText(notice));
        }
    }
}

void fraMain::offerConversion(const hibi::LoadNotice& notice) {
    if (MessageBox::show(this, hibi::programTitle(), hibi::loadNoticeText(notice),
                         MessageBox::Icon::Warning,
                         MessageBox::Buttons::OkCancel) != MessageBox::Answer::Ok) {
        return;  // the history stays on show, read only
    }
    if (tookNewLedger(plan_.convertFromUtf8(clock_.now()), hibi::conversionProblemText)) {
        showReloadedPlan();
    }
}

bool fraMain::tookNewLedger(const hibi::ResetOutcome& outcome,
                            QString (*problemText)(const hibi::LedgerFileProblem&)) {
    if (outcome.done) {
        takeNotices(outcome.notices);
        return true;
    }
    if (outcome.reloaded) {
        // The write failed and the model read the ledger again: the window
        // shows what it holds, without offering at once the conversion that
        // may just have failed.
        QList<hibi::LoadNotice> notices = outcome.notices;
        notices.removeIf([](const hibi::LoadNotice& notice) {
            return notice.kind == hibi::LoadNotice::Kind::Utf8Ledger;
        });
        takeNotices(notices);
        showReloadedPlan();
    }
    if (outcome.problem) {
        showError(problemText(*outcome.problem));
    }
    showPendingMessages();
    return false;
}

void fraMain::showReloadedPlan() {
    InitEveryGrid();
    ShowHistory();
    cmdEveryHozon_->setEnabled(true);
    ShowEveryStatus(false);
    setFirstFocus();
    updateMenu();
    refreshProgress();
}

// --- A new day under an open window -------------------------------------------

void fraMain::scheduleMidnightCheck() {
    // A timer counts real time, which a suspend or a clock set forwards
    // leaves behind: the date is looked at every minute, and a second past
    // midnight, so that the new day has surely begun.
    const QDateTime now = clock_.now();
    const QDateTime midnight(now.date().addDays(1), QTime(0, 0));
    const qint64 wait = std::clamp<qint64>(now.msecsTo(midnight) + 1000, 1000, 60 * 1000);
    midnightTimer_.start(static_cast<int>(wait));
}

void fraMain::checkDate() {
    if (clock_.today() == plan_.loadedOn()) {
        scheduleMidnightCheck();
        return;
    }
    if (QApplication::activeModalWidget() != nullptr) {
        // A dialog is open: take the new day when it has closed.
        midnightTimer_.start(1000);
        return;
    }
    // Loaded again as a stale press does, without the introduction. What the
    // load finds is told as at start-up, but only once: not again at each
    // new day while it stays the same.
    takeNotices(plan_.load(clock_.today()), true);
    showReloadedPlan();
    scheduleMidnightCheck();
    showPendingMessages();
}

bool fraMain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && plan_.loadedOn().isValid() &&
        clock_.today() != plan_.loadedOn()) {
        checkDate();
    }
    return QWidget::event(event);
}

}  // namespace hibi
