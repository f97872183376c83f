// Runs the main window for scripts/demo as a user would: on the demo's
// settings file it waits for the start-up port search, loads the HEX file
// through LOAD and, with a picture folder given, presses PROG. and then
// VERIFY and saves pictures of the framed window with the verify result and
// of its Configuration Memory tab, then ends (status 0 when the verify
// matched). Without a picture folder the window stays open for the user.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "FileDialog.h"
#include "Translations.h"
#include "Unit1.h"
#include "Unit3.h"

namespace {

// The window's controls by their component names, as a user knows them.
template <class T> T *Control(const TForm1 &form, const char *name)
{
    T *control = form.findChild<T *>(name);
    if (!control) qFatal("the window has no control named %s", name);
    return control;
}

bool SaveFramed(TForm1 &form, const QString &path)
{
    const QRect r = form.frameGeometry().adjusted(-2, -2, 2, 2);
    return form.screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).save(path, "PNG");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: tarnvik-demo-driver SETTINGS.ini FILE.hex [PICTURE-FOLDER]\n");
        return 2;
    }
    app.setFont(UiFont());
    InstallTranslations(app);
    const QString hex = QString::fromLocal8Bit(argv[2]);
    const QString shots = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();

    TForm1 form(nullptr, argv[1]);
    TForm3 dialog;
    form.SetProgressDialog(&dialog);
    dialog.setAttribute(Qt::WA_QuitOnClose, false);
    form.show();
    auto *status = Control<QLineEdit>(form, "Edit3");
    auto button = [&form](const char *name) { return Control<QPushButton>(form, name); };
    // The port search starts 50 ms after the first show and holds END
    // until it has ended.
    if (!QTest::qWaitFor(
            [&] { return !Control<QTimer>(form, "Timer1")->isActive() && button("Button8")->isEnabled(); },
            30000)) {
        std::fprintf(stderr, "demo: the window's port search did not end\n");
        return 1;
    }
    FileDialog::PreAnswer(hex);
    button("Button1")->click();
    std::printf("demo: %s\n", qPrintable(status->text()));
    if (shots.isEmpty()) return app.exec();

    button("Button4")->click(); // PROG.
    std::printf("demo: %s\n", qPrintable(status->text()));
    button("Button7")->click(); // VERIFY
    const QString verified = status->text();
    std::printf("demo: %s\n", qPrintable(verified));
    QDir().mkpath(shots);
    bool saved = true;
    const std::pair<int, const char *> pictures[] = {{TForm1::ProgramTab, "tarnvik-demo-verify.png"},
                                                     {TForm1::ConfigTab, "tarnvik-demo-configuration.png"}};
    for (const auto &[tab, name] : pictures) {
        Control<QTabWidget>(form, "PageControl1")->setCurrentIndex(tab);
        QTest::qWait(300); // repainted, the window manager's frame included
        const QString path = QDir(shots).filePath(name);
        saved = SaveFramed(form, path) && saved;
        std::printf("demo: picture %s\n", qPrintable(path));
    }
    const std::optional<ChainResult> &verify = form.LastChain();
    const bool matched = verify && verify->ended == Step::Verify && verify->Ok();
    button("Button11")->click(); // Close: the port let go before the window ends
    return saved && matched ? 0 : 1;
}
