#pragma once

class QCoreApplication;

namespace hibi {

// Loads Qt's own Japanese texts (context menus, standard dialogs) whatever
// the locale: every other text of the program is Japanese. False when the
// translation is not installed; the program then runs with Qt's English.
bool installQtJapanese(QCoreApplication& app);

}  // namespace hibi
