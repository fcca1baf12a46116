#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace hibi {
class RoundedPanel;
}

namespace hibi {

class FlexGrid;

// The schedule window: introduces the plan with the amounts of its first 365
// days. Shown modally on the very first run.
class frmSub : public QDialog {
    Q_OBJECT
  public:
    explicit frmSub(QWidget* parent = nullptr);

  private slots:
    void cmdModori_Click();

  private:
    void Form_Load();

    FlexGrid* msgEverySub_ = nullptr;
    QPushButton* cmdModori_ = nullptr;
    hibi::RoundedPanel* Shape1_ = nullptr;
};

}  // namespace hibi
