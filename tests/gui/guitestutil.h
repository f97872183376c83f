// Shared set-up of the window tests: a main window on a settings file of the
// test's own, with the progress dialog attached.
#pragma once

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "MessageBox.h"
#include "Unit1.h"
#include "Unit3.h"
#include "WindowDriver.h"
#include "savedsettings.h"

struct WindowUnderTest {
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm3> dialog;

    std::string SettingsPath() const { return dir.filePath("tarnvik.ini").toStdString(); }

    // Creates the window; write settings before with Settings().
    TForm1 &Create(bool show = true)
    {
        MessageBox::Reset();
        form = std::make_unique<TForm1>(nullptr, SettingsPath());
        dialog = std::make_unique<TForm3>();
        form->SetProgressDialog(dialog.get());
        if (show) {
            form->show();
            QCoreApplication::processEvents();
        }
        return *form;
    }

    SavedSettings Settings() const { return SavedSettings(SettingsPath()); }

    // Picks a device the way the user does: choose the entry in the list.
    void Choose(const QString &name) { Ui(*form).ChooseDevice(name); }
};
