#pragma once

namespace hibi::app {

// Watches the window system start. Qt ends the process with an abort when it
// cannot open a window (a display that does not answer, no platform plugin);
// while a WindowSystemStart lives, that becomes one line on standard error,
// in Japanese and English, and exit code 1. Qt's other messages meanwhile
// are held back, and put out when the start has succeeded.
class WindowSystemStart {
  public:
    WindowSystemStart();
    ~WindowSystemStart();
    WindowSystemStart(const WindowSystemStart&) = delete;
    WindowSystemStart& operator=(const WindowSystemStart&) = delete;

    // The window system is up: messages go to Qt's own output again, after
    // the ones held back.
    void succeeded();

  private:
    bool watching_ = true;
};

}  // namespace hibi::app
