#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QWidget>

#include "ledger/checked.h"
#include "ledger/ledger_file.h"

class FlexGrid;
class HelpViewer;
class QLabel;
class QLineEdit;
class QToolButton;

namespace hibi {
class Clock;
class EtchedLine;
class RoundedPanel;
}  // namespace hibi

// The main window: the history, the day number and total, the goal planner,
// today's status and the five buttons. Owns the plan's state for the life of
// the program.
class fraMain : public QWidget {
    Q_OBJECT
  public:
    // The plan's state, as the last load and deposit left it.
    struct State {
        QString strHelp;
        hibi::Integer intKeika;
        hibi::Amount curKingaku;
        QDate dtKaishi;
        QDate dtZenkai;
        hibi::Amount curRuikei;
        hibi::Amount curTainouKei;
        hibi::Amount curTainou;
        hibi::Integer intKeikaHyouji;
        hibi::Integer intNissuu;
    };

    // Why deposits are not taken at the moment.
    enum class DepositBlock { None, LedgerUnreadable, ClockBehind, OutOfRange };

    // dataDirectory: where the ledger and goal files live; empty means the
    // current working directory at the time of each operation.
    explicit fraMain(hibi::Clock& clock, QString dataDirectory = QString(),
                     QWidget* parent = nullptr);
    ~fraMain() override;

    // The start-up: loads the history, shows the window, loads the goal and
    // decides today's status (on the first run after the schedule window).
    void Form_Load();

    const State& state() const { return state_; }
    DepositBlock depositBlock() const { return depositBlock_; }
    HelpViewer& helpViewer() const { return *helpViewer_; }

  signals:
    // The exit button was pressed: the program ends.
    void exitRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void cmdEveryHozon_Click();
    void cmdEveryClr_Click();
    void cmdHelp_Click();
    void cmdsyoukai_Click();
    void cmdEnd_Click();

  private:
    struct LoadedHistory;
    void buildControls();
    QString directory() const;

    // History and schedule.
    void InitEveryGrid();
    void LoadEvery();
    void AddEveryRow(const hibi::LedgerRecord& record);
    bool SaveEvery(const hibi::LedgerRecord& record);
    void ShowKeika();

    // Status panel.
    void ShowEveryStatus(bool mayShowSchedule = true);
    void HideEveryStatus();
    void ShowNyukinZumi();

    // Goal planner.
    void LoadNissuu();
    void CalcSetKingaku();
    void txtSetNissuu_KeyPress(int& keyAscii);

    // Brings the amount due up to date after the date or the ledger changed
    // under a loaded window.
    void reloadForStaleAmount(const QString& why);
    void showPendingMessages();
    void showError(const QString& text);

    hibi::Clock& clock_;
    QString dataDirectory_;
    State state_;
    HelpViewer* helpViewer_ = nullptr;

    // What the last load saw, to notice a changed day or file before a deposit.
    QByteArray loadedContent_;
    QDate loadedOn_;
    DepositBlock depositBlock_ = DepositBlock::None;
    QList<QString> pendingMessages_;

    // Controls.
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
