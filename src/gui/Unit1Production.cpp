// The production window opened from the main window (Ctrl+Shift+P): the
// main window's layout stays as it is; it steps aside while the boards are
// the production window's.
#include "ProductionWindow.h"
#include "Unit1.h"
#include "catalogue/DeviceSelection.h"
#include "support/interrupt.h"

void TForm1::OpenProductionWindow()
{
    // Not under a running command, a question box or in the Small Box strip.
    if (production_ || CloseMustWait() || SmallBox.Active) return;
    const bool portWasOpen = session.Port.IsOpen();
    // The gang's sessions open the boards themselves.
    session.Port.ClosePort();
    const int row = Selected();
    const std::string device = row < 0 ? std::string() : DeviceName({Pic18, row});
    auto *window = new ProductionWindow(Settings->Path(), CurrentFile, device, Settings.get());
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The program goes on with the main window once production is over.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    production_ = window;
    window->ListenForEndingSignals([this] { SaveBeforeSignalEnd(); });
    connect(window, &QObject::destroyed, this, [this, portWasOpen] { ProductionWindowClosed(portWasOpen); });
    hide();
    window->show();
    window->activateWindow();
}

void TForm1::ProductionWindowClosed(bool portWasOpen)
{
    // The ending signals are the main window's again.
    if (endingSignalPipe_ >= 0) SignalsToPipeAfterHolds(endingSignalPipe_);
    show();
    if (portWasOpen) RunPortChoice();
}
