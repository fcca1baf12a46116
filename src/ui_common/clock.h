#pragma once

#include <QDateTime>

namespace hibi {

// Where the windows read "today" and "now". The program uses the system
// clock; tests set the time they need.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    QDate today() const { return now().date(); }
};

class FixedClock : public Clock {
  public:
    explicit FixedClock(QDateTime now) : now_(std::move(now)) {}
    QDateTime now() const override { return now_; }
    void set(const QDateTime& now) { now_ = now; }

  private:
    QDateTime now_;
};

}  // namespace hibi
