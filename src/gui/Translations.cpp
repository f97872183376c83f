#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallTranslations(QCoreApplication &app)
{
    static QTranslator *installed = nullptr;
    if (installed) return true;
    auto *qt = new QTranslator(&app);
    // "qt_ja" pulls in the catalogues of the Qt modules the window uses.
    if (!qt->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qt"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    app.installTranslator(qt);
    installed = qt;
    return true;
}
