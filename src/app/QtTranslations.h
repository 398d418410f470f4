#pragma once

class QCoreApplication;
class QTranslator;

namespace varnet {

// Qt's own texts (standard buttons, file dialog) in Chinese whatever the
// system locale, from qtbase_zh_CN in Qt's translations folder or a
// "translations" folder beside the program. Returns the installed
// translator (owned by app), or nullptr when none was found: the program
// then runs with Qt's English texts.
QTranslator* installQtTranslations(QCoreApplication& app);

}  // namespace varnet
