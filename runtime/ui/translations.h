// Qt's own texts (the buttons of message boxes, the file and folder dialogs, the context menus of
// edit boxes) in Chinese: loads Qt's zh_CN translations into the running QApplication and makes
// Chinese (China) the default locale. Looked for in Qt's translations directory, then in
// "translations" beside the program. Idempotent per QApplication; without one it does nothing.
// A missing translation file leaves Qt's English texts and is not an error of the program.
#pragma once

namespace hostrt {

// true when Qt's Chinese texts are in place for the current QApplication.
bool InstallQtTranslations();

}  // namespace hostrt
