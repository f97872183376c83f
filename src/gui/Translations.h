// Qt's own texts (file dialogs, the right-click menus of text fields, the
// standard buttons) in Japanese, like the rest of the window.
#pragma once

class QCoreApplication;

// Loads Qt's Japanese catalogues whatever the user's locale; false when they
// are not installed, and Qt's English texts stay.
bool InstallTranslations(QCoreApplication &app);
