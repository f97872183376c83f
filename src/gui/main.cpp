#include <QApplication>
#include <cstdio>
#include <cstring>
#include <exception>

#include "ProductionWindow.h"
#include "SingleInstance.h"
#include "support/StandardStreams.h"
#include "Translations.h"
#include "Unit1.h"
#include "Unit3.h"
#include "support/interrupt.h"
#include "settings/settings.h"
#include "support/version.h"

namespace {

const char *Usage = "Usage: tarnvik [Qt options]\n"
                    "       tarnvik [Qt options] --production [FILE.hex]\n"
                    "The window of the Tarnbox PIC programmer. See tarnvik(1); tarnvik-cli drives the\n"
                    "programmer from the command line.\n"
                    "\n"
                    "  -h, --help   show this text\n"
                    "  --version    show the program's version\n"
                    "  --production [FILE.hex]\n"
                    "               the production window instead: the file locked, a tile per\n"
                    "               board of the gang, a round of chips per Enter\n";

// --help and --version answer before Qt starts, so they work without a
// display and never touch the running copy or the settings.
bool AnswerInformationOption(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", VersionLine("tarnvik").c_str());
            return true;
        }
    }
    return false;
}

// --production and the file after it, among what Qt left of the arguments.
struct ProductionStart {
    bool asked = false;
    std::string file;
};

ProductionStart ProductionAsked(const QStringList &args)
{
    ProductionStart start;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] != QLatin1String("--production")) continue;
        start.asked = true;
        if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1Char('-'))) start.file = args[i + 1].toStdString();
    }
    return start;
}

// The production window alone, with the settings both windows read; it
// ends the program when it closes.
int RunProduction(QApplication &app, const std::string &file)
{
    ProductionWindow window(DefaultSettingsPath(), file, {});
    window.ListenForEndingSignals();
    window.show();
    return app.exec();
}

} // namespace

namespace {

int RunWindow(int argc, char *argv[])
{
    if (AnswerInformationOption(argc, argv)) return 0;
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
    if (const ProductionStart production = ProductionAsked(app.arguments()); production.asked)
        return RunProduction(app, production.file);
    // The main window first: it is the application's main form.
    TForm1 form1;
    TForm3 form3;
    form1.SetProgressDialog(&form3);
    // The program ends with the main window, whatever else is still shown.
    form3.setAttribute(Qt::WA_QuitOnClose, false);
    // From here on an ending signal saves the settings first.
    form1.ListenForEndingSignals();
    QObject::connect(&instance, &SingleInstance::ActivationRequested, &form1,
                     [&form1] { BringMainWindowToFront(&form1, TForm1::VersionCaption); });
    form1.show();
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    OpenClosedStandardStreams();
    // Closing the terminal the window was started from, or a SIGTERM at
    // log-out, waits for a running erase to write the calibration back (and,
    // once the window is there, saves its settings).
    EndOnSignalsAfterHolds();
    // What escapes is reported, with the status of a failure inside the
    // program itself (sysexits' EX_SOFTWARE), instead of an abort.
    try {
        return RunWindow(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tarnvik: internal error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "tarnvik: internal error\n");
    }
    return 70;
}
