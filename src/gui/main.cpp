#include <QApplication>

#include "SingleInstance.h"
#include "Translations.h"
#include "Unit1.h"
#include "Unit3.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName("Tarnvik");
    app.setFont(UiFont());
    InstallTranslations(app);
    // One copy per user: a second start brings the running window to the
    // front and ends without creating a window or touching the settings.
    SingleInstance instance;
    if (!instance.Acquire()) {
        instance.ActivateRunning();
        return 0;
    }
    // The main window first: it is the application's main form.
    TForm1 form1;
    TForm3 form3;
    form1.SetProgressDialog(&form3);
    // The program ends with the main window, whatever else is still shown.
    form3.setAttribute(Qt::WA_QuitOnClose, false);
    QObject::connect(&instance, &SingleInstance::ActivationRequested, &form1,
                     [&form1] { BringMainWindowToFront(&form1, TForm1::VersionCaption); });
    form1.show();
    return app.exec();
}
