// The main window: device list and selection, the five tabs with the dump
// views, configuration fields, options and message log, the command row,
// status line and progress bar, and the command lock.
#pragma once

#include <optional>

#include <QGroupBox>
#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "Colours.h"
#include "Fonts.h"
#include "PortLook.h"
#include "RadioGroup.h"
#include "WindowHandlers.h"
#include "configbits/ConfigBits.h"
#include "FrontEnd.h"
#include "Loading.h"
#include "PortOpening.h"
#include "ReportLines.h"
#include "link/PICCommand.h"
#include "QtProgressBar.h"
#include "image/buffer.h"
#include "image/hex.h"
#include "image/hex_load.h"
#include "operations/chain.h"
#include "operations/operations.h"
#include "link/serial.h"
#include "settings/settings.h"
#include "support/version.h"
#include "texts/window_texts.h"

class QButtonGroup;
class DeviceWatch;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMoveEvent;
class QResizeEvent;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QToolButton;
class TForm3;
class CommandRow;
class ConfigPanel;
class DevicePanel;
class DumpTabs;
class MessageLog;
class OptionPanel;
class Presenter;
class SmallBoxStrip;

// What the process owns exactly once besides the window: the buffer, the
// port and the shared command record.
struct WindowLink {
    explicit WindowLink(std::unique_ptr<SerialBackend> backend, PortPathResolver resolver);
    MemoryBuffer Buffer;
    SerialPort Port;
    TCommand Command;
};

class TForm1 : public QWidget, public FrontEnd, public WindowHandlers {
    Q_OBJECT
    // The tests look at what shows nowhere on screen (the buffer, the port,
    // the strip's state) through their driver, the benchmarks through their
    // rig; the window's state stays its own otherwise.
    friend class WindowDriver;
    friend class WindowRig;
    // Parts of the window that work on its state.
    friend class CommandScope;
    friend class SmallBoxMouse;

public:
    // A null backend means the platform's serial ports; an empty settings
    // path means the program's own settings file.
    explicit TForm1(std::unique_ptr<SerialBackend> backend = nullptr, const std::string &settingsPath = {},
                    QWidget *parent = nullptr);
    ~TForm1() override;

    static inline const QString VersionCaption = QString::fromUtf8(SoftwareVersion);
    static constexpr int DesignedClientWidth = 472;
    static constexpr int DesignedClientHeight = 303;
    static constexpr int DesignedLeft = 190;
    static constexpr int DesignedTop = 112;
    static constexpr int DesignedFrameWidth = 8;
    static constexpr int DesignedFrameHeight = 34;
    static inline const QColor CurrentFileColour = ::CurrentFileColour;
    static constexpr int SmallBoxWidth = 74; // outer width of the strip
    static constexpr int SmallBoxClientHeight = 18;
    static const QString WriteFailureText;
    static inline const QString CloseWaitNote = QString::fromStdString(texts::CloseAfterCommand());
    enum Tab { ProgramTab = 0, DataTab, ConfigTab, OptionTab, MessageTab };
    // How a port button shows what the search found behind its port.
    using PortLook = ::PortLook;

    void SetProgressDialog(TForm3 *dialog) { Form3 = dialog; }
    // SIGHUP, SIGINT, SIGQUIT and SIGTERM (log-out, a closed terminal) end
    // the window only after an erase's hold, having saved what a close
    // saves; they reach the event loop through a pipe.
    void ListenForEndingSignals();
    // How the chain of the running or last command ended; none while a
    // command has not run one (a refusal of the check, a cancelled box).
    const std::optional<ChainResult> &LastChain() const { return lastChain_; }

    // ---- FrontEnd ----
    void SetStatus(const std::string &text) override;
    void AddLog(const std::string &line) override;
    void AddLogShowingMessages(const std::string &line) override;
    void SetDialogStatus(const std::string &text) override;
    ProgressBar &MainProgress() override;
    ProgressBar &DialogProgress() override;
    void ShowMessage(const std::string &text) override;
    bool ConfirmErasedCalibration(const std::string &text) override;
    // In Japanese like the rest of the log: "0x0000: ファイル 1683、デバイス 3FFF".
    std::string DifferenceLine(const std::string &address, const std::string &file,
                               const std::string &chip) const override;
    void ProcessMessages() override;
    void BufferChanged() override;

    // ---- handlers of the window's events ----
    void ConfigBitsButtonClick();
    // Key filters of the nine value fields: true when the key is discarded.
    bool MaskEdit3KeyDown(QKeyEvent *event);
    bool MaskEdit3KeyPress(QKeyEvent *event);
    // Close request: FormCloseQuery may refuse it (Small Box mode returns to
    // the normal window instead); FormClose then writes the settings and
    // releases the port, and returns false when the user chose to keep the
    // program running after the settings could not be written.
    void FormCloseQuery(bool &canClose);
    bool FormClose();
    void FormDestroy();
    void SpeedButton1MouseMove(bool leftHeld);
    void SpeedButton1MouseUp();
    void FormMouseMove();

public slots:
    void FormCreate();
    void FormShow();
    void FormClick();
    void Timer1Timer();
    void ComboBox1Change();
    void PageControl1Change(int index);
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void Button12Click();
    void Button13Click();
    void Button14Click();
    void Button15Click();
    void Button16Click();
    void Button17Click();
    void Button18Click();
    void Button19Click();
    void Button20Click();
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox5Click();
    void CheckBox6Click();
    void CheckBox7Click();
    void CheckBox8Click();
    void CheckBox9Click();
    void RadioGroup2Click();
    void RadioGroup3Click();
    bool Edit6KeyDown(QKeyEvent *event);
    bool Edit6KeyPress(QKeyEvent *event);
    // menus
    void Program1Click();
    void EraseBlankCheckProgramVerify1Click();
    void BufferClearLoadProgramVerify1Click();
    void EraseBlankCheckBufferClearLoadProgramVerify1Click();
    void EraseBlankCheck1Click();
    void BufferClearLoadNewFile1Click();
    void BufferClearLoadCurrentFile1Click();
    void ResetCurrentFile1Click();
    void LoadNewFile1Click();
    void LoadCurrentFile1Click();
    void Save1Click();
    void PickDevice1Click();
    void Read1Click();
    void Program3Click();
    void LoadEraseprogramVerify1Click();
    void Erase1Click();
    void BlankCheck1Click();
    void Verify1Click();
    void ReturntoSettings1Click();
    void SpeedButton1Click();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // ---- state ----
    WindowLink session;
    std::unique_ptr<SettingsFile> Settings;
    bool Pic18 = false;      // which family table the device list holds
    std::string CurrentFile; // full path; empty when there is none
    bool FirstShowPending = true;
    bool SmallBlockFlag = false; // mirror of "[READ] Small Block"
    bool SaveAllFlag = false;    // mirror of "[SAVE] All Memory"
    TForm3 *Form3 = nullptr;     // the progress dialog

    // ---- the selected device ----
    int Selected() const;                          // device list position, -1 = none
    const TDeviceSpec *SelectedDevice() const;     // PIC10/12/16 family only
    const TDeviceSpec18 *SelectedDevice18() const; // PIC18 family only

    // ---- operations other parts of the window build on ----
    // Disables (on) or enables (off) exactly the command controls.
    void CommandLock(bool on);
    // Whether the port serves the window's events while a command waits.
    void ServeEventsWhileWaiting(bool on);
    QList<QWidget *> LockedControls() const;
    // Fills the device list with the family's table and sets the flag.
    void FillDeviceList(bool pic18);
    // Selects the device of that name (either table, ignoring case) when the
    // list holds it, and runs the device selection; false when not found.
    bool SelectSavedDevice(const std::string &name);
    void SelectDevice();
    // Resets the live half of the buffer to the selected device's blank state
    // and redraws; false (nothing done) when no device is selected.
    bool BufferClear();
    // Redraws every view of the live family from the buffer.
    void RedrawBuffer();
    void DumpProgram();
    void DumpData();
    void DumpConfig();
    void FillConfigFields();
    void SetConfigFamily(bool pic18);
    void SetCurrentFile(const std::string &path);
    void ForgetCurrentFile();
    // Port buttons: n = 1..10 marks COM n, 0 clears all; MarkedPort gives
    // the marked number or 0.
    void MarkPort(int n);
    int MarkedPort() const;
    // Moves the focus to the control after the device list.
    void FocusAfterDeviceList();
    // Gives the focus back to the control a command was started from once
    // the command lock is released (the device list when that control is
    // gone), unless the user has put it elsewhere meanwhile.
    void RestoreFocusAfterLock();
    // The coloured texts (port buttons, No-ID indicator, current file, the
    // configuration warnings, read-only value fields) drawn again for the
    // palette in use.
    void RefreshColours();
    // Where a frame of that outer rectangle may stand: moved (and made no
    // larger than the screen) so that it lies wholly on the screen that
    // shows most of it, or the window's own screen when none does.
    QRect FitOntoScreen(const QRect &outer) const;
    // Fits the window's frame onto its screen now, and once more when the
    // window manager's frame turns out other than the designed one.
    void FitFrameOntoScreen();
    // Fits the frame again as soon as the window manager has drawn it.
    void FitOnceFramed();
    // The window's positions (the settings file's, the strip's) are those
    // of its frame's top-left corner, as the user sees the window.
    void PlaceFrameAt(QPoint at);
    // Puts the frame where the settings file had it, onto the screen.
    void PlaceAsSaved(int left, int top);
    // Width and height the frame adds to the client area: the window
    // manager's once it has framed the window, else the designed frame's.
    QSize FrameSize() const;

    // The status text as last set, without the note of a close that waits.
    const std::string &StatusText() const;
    // Option states of the window's controls.
    bool SmallBlock() const { return SmallBlockFlag; }
    bool CalibChange() const;

    // ---- configuration bits by name ----
    // The names of the selected part's configuration bits; null when unknown.
    std::shared_ptr<const TConfigLayout> ConfigNames();
    // After a selection: the log note when the part has no names, the
    // button's state and the value fields' hints.
    void NoteConfigNames();
    void UpdateConfigBitsButton();
    // What the Config1..Config7 value fields hold now.
    TConfigSlots ConfigFieldSlots() const;
    void RefreshConfigHints();

    // ---- settings file ----
    // The options, modem lines, geometry and check boxes read at first show.
    void ReadStartupSettings();
    // [trace] file: every byte on the port from start-up on, time-stamped,
    // to that file for a user to send; the Option tab's hint says so.
    void StartWireTrace(const std::string &path);
    // Every key written at exit, in order; false at the first refused write
    // (the rest are skipped).
    bool WriteExitSettings();
    // The settings a close writes, written once without asking; false when
    // nothing was written (before the first show, or refused).
    bool SaveBeforeSignalEnd();
    // A close that arrives while a command runs waits until it has ended.
    bool CloseMustWait() const;
    void DeferClose();
    bool ClosePending = false;

    // ---- commands and chains ----
    // What the device operations work on: the selected device and the
    // options as the controls show them.
    OperationContext Context();
    OperationOptions Options() const;
    // The check of a main-window command (dialog false) or of a Small Box
    // command (its refusal also in the progress dialog); true when it passed.
    // The DEVICE-ID it read stays in ctx for the operations after it.
    bool DeviceCheck(OperationContext &ctx, bool dialog);
    // Runs a chain after a passed check, on the main window's status line
    // and bar or (smallBox) in the progress dialog; file names the file the
    // chain has just loaded. An erase that put typed calibration values in
    // unticks the calibration change.
    ChainResult RunDeviceChain(OperationContext &ctx, Chain chain, bool smallBox,
                               const std::string &file = {});
    // A command of the main window: the check, then the chain.
    void MainCommand(Chain chain);
    // A command of the Small Box menu, the dialog shown: the check, then the
    // chain. False when the check refused.
    bool SmallBoxCommand(OperationContext &ctx, Chain chain, const std::string &file = {});
    // The current file's name without its folder.
    std::string CurrentFileName() const;
    // Asks for a file to load; the chosen one becomes the current file.
    // False when the user cancelled.
    bool ChooseCurrentFile();
    // Buffer clear before a load with its line in the log; the programming
    // chains also show it in the status line, the Small Box chain in the
    // progress dialog too. False, with the refusal texts, when no device is
    // selected.
    enum class ClearNote { Log, StatusAndLog, DialogStatusAndLog };
    bool ClearBeforeLoad(ClearNote note);
    // Asks for a file when there is none, clears the buffer and loads the
    // current file for a chain that goes on to the chip; false when the
    // chain must end here.
    bool ClearAndLoadCurrent();
    // The clearing loads of the load menu and the Small Box menu; the file
    // name without folder when loaded, empty when nothing was loaded.
    enum class Reload { NewFile, CurrentFile };
    std::string ClearAndLoad(Reload which);
    // LOAD's core for the current file: auto-select, clearing when the
    // device changed, loading and redrawing. Throws HexFileError after
    // bringing the window in line with what was loaded before the failure.
    void LoadNew();
    // Loads the current file over the buffer; false when there is none.
    // Throws HexFileError as LoadNew does.
    bool LoadCurrent();
    // Brings the device list, the family's controls and the views in line
    // with the device a load ended on.
    void AfterLoad(DeviceSelection device);
    // The current file loaded through the app layer; LoadNew and
    // LoadCurrent in one.
    void LoadHexFile(LoadMode mode);
    LoadReport lastLoad_; // what the last load that read its file reported
    // Shows a file that cannot be read or written in an error box.
    void ShowFileError(const HexFileError &error);
    // A load that failed: the failure in the status line (and the progress
    // dialog in Small Box mode) and the log, the error box, and the Current
    // File set to held, the file the buffer still holds (empty when it was
    // cleared before the load).
    void LoadFailed(const HexFileError &error, const std::string &held);
    // What the last load skipped, and whether the file held any HEX at all.
    HexReadReport LastRead;
    // What the last load's records give that the part would not get as the
    // file says.
    LoadFindings LastFindings;
    // The buffer's checksum for the selected device, in the log.
    void LogChecksum();
    // The last file loaded set no configuration, and nothing has given the
    // buffer one since (the Config fields, a read of the chip, a clear):
    // programming asks first, since the chip would get the buffer's.
    bool FileLacksConfiguration = false;
    // Asks whether to program a configuration the file did not give; true
    // to go on (also when there is nothing to ask).
    bool ConfirmMissingConfiguration();
    // Tells the user what the last load skipped (a warning box and one log
    // line per skipped line), what its records would not give the part as
    // they say (log lines, and a box when that changes what reaches the
    // chip), or that the file held no HEX data (status line, the progress
    // dialog's too with dialog, and log). True when the file loaded whole,
    // so a chain may go on to the device; forChip (a chain that loads to
    // program or verify) also stops at findings that change what is written.
    bool ReportLoadFindings(bool dialog = false, bool forChip = false);
    // The box listing the last load's findings that change what reaches the
    // chip, closed by the refusal (refused: also in the status line, the
    // dialog's with dialog, and the log) or by the note that the buffer
    // cannot be programmed. False when there are none.
    bool ShowChangingFindings(bool refused, bool dialog);
    // Program and verify of a buffer that holds such a file are refused
    // before the check, with the same box: true when chain was refused.
    bool RefuseChangedBuffer(Chain chain, bool dialog);
    // Asks for a file and writes the live half of the buffer into it; the
    // file name without folder when saved, empty when cancelled or failed.
    std::string SaveBufferAs();

    // ---- Small Box mode ----
    struct SmallBoxState {
        bool Active = false;
        QPoint SavedPosition;
        QSize SavedSize, SavedMinimum, SavedMaximum;
        Qt::WindowFlags SavedFlags;
        bool Framed = false; // the strip has a frame ("NoBorder" not ticked)
        int DragCount = 0;
        bool Dragging = false; // the window system is moving the strip
        bool MovedWhileDragging = false;
    };
    SmallBoxState SmallBox;
    void EnterSmallBox();
    void LeaveSmallBox();
    // The strip's place, under the keys of its kind of frame.
    void WriteStripPlace();
    // A file item of the strip's menu that is refused reports in the
    // progress dialog: the status line lies outside the strip.
    void ShowSmallBoxRefusal(const std::string &text);
    // Keeps the framed strip's outer width as the window manager's frame
    // turns out to be.
    void FitStripToFrame();
    // The controls the strip hides.
    QList<QWidget *> SmallBoxHidden() const;
    // The window system has let go of the strip: its button works again.
    void EndStripDrag();
    // The progress dialog never lies over the strip (nor the strip over the
    // dialog's text).
    void ShowProgressDialog();

    // ---- programmer discovery ----
    // -1 no port opened, 0 a programmer answered (foundPort: the first such
    // port), 1 ports opened but none answered. No port is open afterwards.
    int ProbePorts(int &foundPort);
    void StartupPortChoice();
    // A report's lines in the log and the status line.
    void ShowLines(const ReportLines &report);
    // Logs what to do about device nodes the user may not open.
    void AdvisePermission(const std::vector<std::string> &devices);
    ModemOptions CurrentModemOptions() const;
    std::string VersionReply();
    void SetPortLook(int n, PortLook look);
    PortLook PortLookOf(int n) const;
    // Each port button's tooltip names the device its COM name stands for.
    void RefreshPortHints();
    // The start-up port choice under the command lock, the controls given
    // back the states they had.
    void RunPortChoice();

    // ---- serial devices plugged in and out ----
    // udev's announcements once the start-up choice has run; the tests
    // announce through it.
    DeviceWatch *Watch = nullptr;
    // A device a COM name stands for appeared while no port is open: the
    // port choice runs as at start-up. The open port's device left: the
    // port is closed. Both wait while a command runs.
    void DeviceAdded(const std::string &node);
    void DeviceRemoved(const std::string &node);

    // The start-up port choice's timer and the presenter's status line.
    QTimer *Timer1 = nullptr;
    QLineEdit *Edit3 = nullptr;
    void CreateControls();
    void CreateMenus();
    void LayoutAnchored();

    // The window's parts, made in this order (the order of the Tab key).
    std::unique_ptr<DevicePanel> device_;
    QTabWidget *PageControl1;
    std::unique_ptr<DumpTabs> dumps_;
    std::unique_ptr<ConfigPanel> config_;
    std::unique_ptr<OptionPanel> options_;
    std::unique_ptr<MessageLog> log_;
    std::unique_ptr<CommandRow> commands_;
    std::unique_ptr<Presenter> presenter_;
    std::unique_ptr<SmallBoxStrip> strip_;

    // The search as the window runs it: every port's look kept up to date.
    PortSearch SearchPorts();
    // A port choice's lines and the page, port mark and device prompt that
    // follow it.
    void ReportPortChosen(const PortChosen &chosen, bool choosePage);
    // A port just opened: its node kept for the device watch, its notice.
    void NoteOpen(PortChosen &chosen);
    void RetryPendingClose();
    bool fitFramePending_ = false;
    int fitTries_ = 0;
    QPoint fitAt_; // where the frame was placed from the settings
    bool refreshingColours_ = false;
    QPointer<QWidget> lockFocus_; // had the focus when the lock was taken
    std::optional<ChainResult> lastChain_;
    std::string openNode_;             // the device node of the port last opened
    // Announcements that came while a command ran: added or not, and the node.
    std::vector<std::pair<bool, std::string>> pendingDevices_;
    void RetryPendingDevices();
    QObject *smallBoxMouse_ = nullptr; // watches the strip's mouse moves
    bool startupProbe_ = false;
    // Ctrl+Shift+P: the production window over the current file and device,
    // the main window's port closed and the window hidden meanwhile.
    void OpenProductionWindow();
    void ProductionWindowClosed(bool portWasOpen);
    QPointer<QWidget> production_;
    int endingSignalPipe_ = -1; // the write end ListenForEndingSignals made
    std::shared_ptr<const TConfigLayout> configNames_;
    std::string configNamesDevice_;
    std::string configNamesProblem_; // the header's path and why it could not be read
};

