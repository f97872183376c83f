// A main window with a device selected and the simulated programmer on COM3,
// for driving commands: dialogs and boxes are answered ahead, the chip can be
// inspected and altered through the simulator.
#pragma once

#include <QFile>
#include <QLineEdit>

#include "FileDialog.h"
#include "portrig.h"

struct CommandRig : PortRig {
    SimBackend *sim = nullptr;

    // Starts with the device selected from the settings and the chip of the
    // same name in the socket (or chip when given).
    TForm1 &StartWith(const QString &device, const QString &chip = {})
    {
        FileDialog::Reset();
        auto s = Settings();
        s.WriteString("device", "group", device.startsWith("PIC18") ? "PIC18" : "PIC16");
        s.WriteString("device", "name", device.toStdString());
        s.Save();
        SimOptions options;
        options.chip = (chip.isEmpty() ? device : chip).toStdString();
        TForm1 &f = Start([&](PortBank &bank) { sim = &bank.AddProgrammer(DevicePath(3), options); });
        return f;
    }

    // A text file in the test's folder; the path.
    QString Write(const QString &name, const QByteArray &text)
    {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return dir.filePath(name);
    }

    QString Status() const { return Ui(*form).Status(); }
    // Every command ends with all command controls enabled (in Small Box
    // mode some sit on the disabled tab control, which greys them all).
    bool Released() const
    {
        for (QWidget *w : Ui(*form).LockedControls())
            if (w->testAttribute(Qt::WA_ForceDisabled)) return false;
        return true;
    }
};

inline QString Fixture(const char *name)
{
    return QString(TARNVIK_HEX_FIXTURES) + "/" + name;
}
