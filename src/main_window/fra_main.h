#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "plan/plan_model.h"

class QAction;
class QKeyEvent;
class QMenuBar;
class QLabel;
class QLineEdit;
class QToolButton;

namespace hibi {
class Clock;
class EtchedLine;
class RoundedPanel;
}  // namespace hibi

namespace hibi {

class FlexGrid;
class frmProgress;
class HelpViewer;

// The main window: the history, the day number and total, the goal planner,
// today's status and the five buttons. Owns the plan's state for the life of
// the program.
class fraMain : public QWidget {
    Q_OBJECT
  public:
    // dataDirectory: where the ledger and goal files live; empty means the
    // current working directory at the time of each operation.
    explicit fraMain(hibi::Clock& clock, QString dataDirectory = QString(),
                     QWidget* parent = nullptr);
    ~fraMain() override;

    // The start-up: loads the history, shows the window, loads the goal and
    // decides today's status (on the first run after the schedule window).
    void Form_Load();

    const hibi::PlanModel& plan() const { return plan_; }
    HelpViewer& helpViewer() const { return *helpViewer_; }

    // Loads the plan again when the date has changed since the last load:
    // at midnight, and when the window becomes active again.
    void checkDate();

  signals:
    // The exit button was pressed: the program ends.
    void exitRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private slots:
    void cmdEveryHozon_Click();
    void cmdEveryClr_Click();
    void cmdHelp_Click();
    void cmdsyoukai_Click();
    void cmdEnd_Click();

  private:
    void buildControls();
    void buildMenu();
    void updateMenu();
    void mnuExport_Click();
    void mnuRestore_Click();
    void mnuProgress_Click();
    void mnuManual_Click();
    void mnuAbout_Click();
    void mnuReminder_Click();
    void mnuTakeBack_Click();
    void mnuFolder_Click();
    // Shows the plan the model has just loaded: history, labels, status,
    // menu and the progress window.
    void showReloadedPlan();
    void refreshProgress();
    // Whether the model took a new ledger (its notices are then pending);
    // otherwise says why in problemText's words.
    bool tookNewLedger(const hibi::ResetOutcome& outcome,
                       QString (*problemText)(const hibi::LedgerFileProblem&));

    // History and schedule.
    void InitEveryGrid();
    void LoadEvery();
    void ShowHistory();
    void FitHistoryColumns(const QList<hibi::LedgerRecord>& records,
                           const QList<hibi::Amount>& totals);
    void AddEveryRow();
    hibi::DepositOutcome SaveEvery();
    void ShowKeika();

    // Status panel.
    void ShowEveryStatus(bool mayShowSchedule = true);
    void HideEveryStatus();
    void ShowNyukinZumi();

    // Goal planner.
    void LoadNissuu();
    void CalcSetKingaku();
    void txtSetNissuu_KeyPress(int& keyAscii);
    // Puts the saved goal back into the goal box, and its amount beside it.
    void revertGoalBox();
    // Whether a key is one of the menu's shortcuts.
    bool isMenuShortcut(const QKeyEvent& key) const;

    // Shows the history and status anew after the model loaded again under a
    // window already on screen.
    void showReloaded(const QString& why, const QList<hibi::LoadNotice>& notices);
    void showPendingMessages();
    // Queues a load's notices to be shown; with onlyNews, those the load
    // before did not find.
    void takeNotices(const QList<hibi::LoadNotice>& notices, bool onlyNews = false);
    void offerConversion(const hibi::LoadNotice& notice);
    void scheduleMidnightCheck();
    void showError(const QString& text);
    void setFirstFocus();

    hibi::Clock& clock_;
    hibi::PlanModel plan_;
    QString strHelp_;
    // The goal box's text as last loaded or saved.
    QString savedGoalText_;
    HelpViewer* helpViewer_ = nullptr;
    QList<hibi::LoadNotice> pendingNotices_;
    QStringList lastLoadNotices_;  // what the last load found, as noticeKey() tells it
    QTimer midnightTimer_;
    QMenuBar* menuBar_ = nullptr;
    QAction* mnuExport_ = nullptr;
    QAction* mnuClear_ = nullptr;
    QAction* mnuTakeBack_ = nullptr;
    QPointer<frmProgress> progress_;

    // The size the window opens at and cannot be made smaller than, and
    // where each control of the original content sits at that size.
    QSize designSize_;
    QList<QPair<QWidget*, QRect>> designGeometry_;

    // Controls.
    QWidget* body_ = nullptr;
    QLabel* Image2_ = nullptr;
    QToolButton* cmdEveryHozon_ = nullptr;
    QToolButton* cmdEveryClr_ = nullptr;
    QToolButton* cmdHelp_ = nullptr;
    QToolButton* cmdsyoukai_ = nullptr;
    QToolButton* cmdEnd_ = nullptr;
    hibi::EtchedLine* Line1_ = nullptr;
    FlexGrid* msgEvery_ = nullptr;
    QLabel* Label1_[6] = {};
    QLabel* lblkeika_ = nullptr;
    QLabel* lblEvery_zen_ = nullptr;
    QLineEdit* txtSetNissuu_ = nullptr;
    QLabel* lblSetKingaku_ = nullptr;
    hibi::RoundedPanel* Shape1_ = nullptr;
    QLabel* lblCmnt1_[6] = {};
    QLabel* lblEvery_Kingaku_ = nullptr;
    QLabel* lblEvery_Tainou_ = nullptr;
    QLabel* lblEvery_Goukei_ = nullptr;
    QLabel* Image1_ = nullptr;
};

}  // namespace hibi
