// A main window over a bank of simulated ports and a settings file of the
// test's own. Without "ports" keys COM n maps to its usual device path, so
// DevicePath(3) is where the programmer goes to sit on COM3.
#pragma once

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "MessageBox.h"
#include "Unit1.h"
#include "Unit3.h"
#include "WindowDriver.h"
#include "portbank.h"
#include "savedsettings.h"

struct PortRig {
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm3> dialog;
    PortBank *bank = nullptr; // owned by the window

    std::string SettingsPath() const { return dir.filePath("tarnvik.ini").toStdString(); }
    SavedSettings Settings() const { return SavedSettings(SettingsPath()); }

    static std::string DevicePath(int n)
    {
        static const char *const paths[10] = {"/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3",
                                              "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3",
                                              "/dev/ttyACM0", "/dev/ttyACM1"};
        return paths[n - 1];
    }

    // Builds the window, lets setup fill the bank, shows the window and
    // waits until the start-up port choice has run.
    TForm1 &Start(const std::function<void(PortBank &)> &setup = {})
    {
        MessageBox::Reset();
        auto ports = std::make_unique<PortBank>();
        bank = ports.get();
        if (setup) setup(*bank);
        form = std::make_unique<TForm1>(std::move(ports), SettingsPath());
        dialog = std::make_unique<TForm3>();
        form->SetProgressDialog(dialog.get());
        form->show();
        WaitForStartup();
        return *form;
    }

    void WaitForStartup()
    {
        // The choice runs from the 50 ms timer and is over once the timer is
        // no longer pending and events have been processed after it.
        QTRY_VERIFY_WITH_TIMEOUT(!Ui(*form).FirstShowPending() && !Ui(*form).Timer1()->isActive(), 5000);
        QCoreApplication::processEvents();
    }

    // Picks a device the way the user does.
    void Choose(const QString &name) { Ui(*form).ChooseDevice(name); }

    QStringList Log() const { return Ui(*form).Log(); }
};
