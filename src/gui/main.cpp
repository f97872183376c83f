#include <QApplication>

#include "Unit1.h"
#include "Unit3.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName("Tarnvik");
    app.setFont(UiFont());
    // The main window first: it is the application's main form.
    TForm1 form1;
    TForm3 form3;
    form1.SetProgressDialog(&form3);
    form1.show();
    return app.exec();
}
