// The window's commands against the simulated programmer: single device
// commands and the chains on a 14-bit, a 12-bit and a PIC18 part, the load
// and save commands with auto-select and file errors, and Small Box mode.
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>

#include "MessageBox.h"
#include "commandrig.h"
#include "image/checksum.h"
#include "image/load_check.h"
#include "texts/image_texts.h"

namespace {

// The texts the status line showed, in order, while a command ran.
struct StatusTrail {
    QStringList texts;
    explicit StatusTrail(TForm1 &f)
    {
        QObject::connect(Ui(f).Edit(3), &QLineEdit::textChanged, Ui(f).Edit(3),
                         [this](const QString &t) { texts << t; });
    }
};

// Every word or byte the buffer holds for the part (leaving out erased
// ones) is in the chip.
bool ChipHoldsBuffer(TForm1 &f, SimBackend &sim)
{
    const MemoryBuffer &b = Ui(f).Buffer();
    int compared = 0;
    if (const TDeviceSpec18 *dev = Ui(f).SelectedDevice18()) {
        for (uint32_t i = 0; i < dev->ProgramSize; ++i)
            if (b.Program18[i] != 0xFF && ++compared && sim.Chip().Peek(i) != b.Program18[i]) return false;
        for (uint32_t i = 0; i < dev->EEDataSize; ++i)
            if (b.EEData18[i] != 0xFF && ++compared && sim.Chip().Eeprom(i) != b.EEData18[i]) return false;
    } else if (const TDeviceSpec *dev = Ui(f).SelectedDevice()) {
        for (uint32_t i = 0; i < dev->ProgramSize; ++i)
            if (b.Words[i] != dev->BlankWord && ++compared && sim.Chip().Peek(i) != b.Words[i]) return false;
        for (uint32_t i = 0; i < dev->EEDataSize; ++i)
            if ((b.Words[EEDataAreaStart + i] & 0xFF) != 0xFF && ++compared &&
                sim.Chip().Eeprom(i) != (b.Words[EEDataAreaStart + i] & 0xFF))
                return false;
    }
    return compared > 0;
}

QString Record(uint16_t address, const QByteArray &data, uint8_t type = 0)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    uint8_t sum = 0;
    for (char c : bytes)
        sum = uint8_t(sum + uint8_t(c));
    bytes.append(char(uint8_t(-sum)));
    return ":" + bytes.toHex().toUpper();
}

QByteArray Lines(const QStringList &lines)
{
    return (lines.join("\r\n") + "\r\n").toLatin1();
}

// The erase leaves a programmed word behind: a chip that stays non-blank.
void KeepNonBlankAfterErase(CommandRig &rig)
{
    QObject::connect(Ui(*rig.form).Edit(3), &QLineEdit::textChanged, Ui(*rig.form).Edit(3),
                     [&rig](const QString &t) {
                         if (t == "デバイスを消去しました。") rig.sim->Chip().Poke(0x10, 0x0000);
                     });
}

const QString VerifyOk = "ベリファイOK。一致しました。";

void AddDevices()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("file");
    QTest::newRow("14-bit") << "PIC16F877A"
                            << "p16f877a.hex";
    QTest::newRow("12-bit") << "PIC10F200"
                            << "p10f200.hex";
    QTest::newRow("PIC18") << "PIC18F4550"
                           << "p18f4550.hex";
}

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void singleCommands_data() { AddDevices(); }
    void singleCommands();
    void chains_data() { AddDevices(); }
    void chains();
    void menuCaptions();
    void notBlankStopsTheEraseChains();
    void failedEraseEndsTheChains();
    void eraseRefusalAndErasedCalibration();
    void cancelledDialogAndMissingFile();
    void noDeviceRefusedWithBufferUntouched();
    void loadMenuAndSaveTexts();
    void autoSelectOnLoad();
    void pickDeviceFromTheChip();
    void loadCurrentAutoSelect();
    void loadCurrentResizesPic18Arrays();
    void damagedFilesNeverReachTheChip();
    void fileWithoutConfigurationAsksFirst();
    void findingsKeepTheBufferButNeverReachTheChip();
    void smallBoxEnterAndLeave_data();
    void smallBoxEnterAndLeave();
    void smallBoxDragAndMenu();
    void smallBoxFastDrag();
    void smallBoxCommands();
    void smallBoxRefusalAndFiles();
    void smallBoxFileItemsRefusedVisibly();
};

void CommandsTest::singleCommands()
{
    QFETCH(QString, device);
    QFETCH(QString, file);
    CommandRig rig;
    TForm1 &f = rig.StartWith(device);
    StatusTrail trail(f);

    FileDialog::PreAnswer(Fixture(file.toLatin1()));
    Ui(f).Press(1);
    QCOMPARE(rig.Status(), " \"" + file + "\" をロードしました。");
    QVERIFY(rig.Log().contains("ファイル \"" + file + "\" をロードしました。"));
    QCOMPARE(Ui(f).StaticText(2)->text(), file);
    QVERIFY(rig.Released());
    const MemoryBuffer loaded = Ui(f).Buffer();
    const QString loadedDump = Ui(f).Memo(1)->toPlainText().section('\n', 0, 0);

    Ui(f).PageControl1()->setCurrentIndex(TForm1::ProgramTab);
    Ui(f).Press(4);
    QVERIFY(trail.texts.contains("デバイスに書込み中…"));
    QCOMPARE(rig.Status(), QString("デバイスに書き込みました"));
    QVERIFY(ChipHoldsBuffer(f, *rig.sim));
    QVERIFY(rig.Released());

    Ui(f).Press(7);
    QVERIFY(trail.texts.contains("ベリファイ中…"));
    QCOMPARE(rig.Status(), VerifyOk);
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::ProgramTab));

    // A programmed chip is not blank; the report shows the Message tab.
    Ui(f).Press(6);
    QVERIFY(trail.texts.contains("ブランクチェック中…"));
    QCOMPARE(rig.Status(), QString(" !! ブランクではありません。"));
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::MessageTab));

    // READ brings back what was programmed.
    Ui(f).Press(13);
    Ui(f).Press(3);
    QVERIFY(trail.texts.contains("デバイスから読込み中…"));
    QCOMPARE(rig.Status(), QString("デバイスからバッファに読み込みました。"));
    QCOMPARE(rig.Log().last(), QString::fromStdString(ChecksumText(
                                   ImageChecksum(Ui(f).Buffer(), DeviceSelection{Ui(f).Pic18(), Ui(f).Selected()}))));
    QVERIFY(ChipHoldsBuffer(f, *rig.sim));
    if (Ui(f).Pic18())
        QCOMPARE(Ui(f).Buffer().Program18, loaded.Program18);
    else
        for (uint32_t i = 0; i < Ui(f).SelectedDevice()->ProgramSize; ++i)
            if (loaded.Words[i] != Ui(f).SelectedDevice()->BlankWord)
                QCOMPARE(Ui(f).Buffer().Words[i], loaded.Words[i]);
    QCOMPARE(Ui(f).Memo(1)->toPlainText().section('\n', 0, 0), loadedDump); // the views were redrawn

    Ui(f).Press(5);
    QCOMPARE(rig.Status(), QString("デバイスを消去しました。"));
    Ui(f).Press(6);
    QCOMPARE(rig.Status(), QString("デバイスはブランクです。"));
    Ui(f).Press(7);
    QCOMPARE(rig.Status(), QString(" !! 一致しません。"));
    // The differences are listed in Japanese like the rest of the log.
    QVERIFY2(rig.Log().filter(QRegularExpression("^  0x[0-9A-F]{4,6}: ファイル [0-9A-F]+、デバイス [0-9A-F]+$")).size() > 0,
             qPrintable(rig.Log().join('\n')));
    QVERIFY(rig.Released());

    // CLEAR empties the log and nothing else.
    Ui(f).Press(9);
    QVERIFY(Ui(f).Memo(4)->toPlainText().isEmpty());
    QCOMPARE(rig.Status(), QString(" !! 一致しません。"));
}

void CommandsTest::chains()
{
    QFETCH(QString, device);
    QFETCH(QString, file);
    CommandRig rig;
    TForm1 &f = rig.StartWith(device);
    StatusTrail trail(f);
    const QString quoted = " \"" + file + "\" ";

    // The full chain asks once for the file when there is none.
    FileDialog::PreAnswer(Fixture(file.toLatin1()));
    f.EraseBlankCheckBufferClearLoadProgramVerify1Click();
    QCOMPARE(FileDialog::Shown(), 1);
    QCOMPARE(trail.texts.mid(trail.texts.indexOf("バッファをクリアしました。")),
             QStringList({"バッファをクリアしました。", "デバイスを消去しました。",
                          quoted + "をロードしました。　ブランクチェック中…", "デバイスはブランクです。",
                          "消去OK。　書き込み中…", "デバイスに書き込みました",
                          "書込みました。　ベリファイ中…", VerifyOk}));
    QVERIFY(rig.Log().contains("ファイル \"" + file + "\" をロードしました。"));
    QVERIFY(ChipHoldsBuffer(f, *rig.sim));
    QVERIFY(rig.Released());

    trail.texts.clear();
    f.EraseBlankCheck1Click();
    QCOMPARE(trail.texts, QStringList({"デバイスを消去しました。", "消去しました。　ブランクチェック中…",
                                       "デバイスはブランクです。", "消去OK。　デバイスはブランクです。"}));

    trail.texts.clear();
    f.Program1Click();
    QCOMPARE(trail.texts, QStringList({"書込み中…", "デバイスに書き込みました",
                                       "書込みました。　ベリファイ中…", VerifyOk}));
    QVERIFY(ChipHoldsBuffer(f, *rig.sim));

    trail.texts.clear();
    f.EraseBlankCheckProgramVerify1Click();
    QCOMPARE(trail.texts,
             QStringList({"デバイスを消去しました。", "消去しました。　ブランクチェック中…",
                          "デバイスはブランクです。", "消去OK。　書込み中…", "デバイスに書き込みました",
                          "書込みました。　ベリファイ中…", VerifyOk}));

    // With a current file the chain reloads it without asking.
    Ui(f).Press(5);
    trail.texts.clear();
    f.BufferClearLoadProgramVerify1Click();
    QCOMPARE(FileDialog::Shown(), 1);
    QCOMPARE(trail.texts,
             QStringList({"バッファをクリアしました。", quoted + "をロードしました。　書込み中…",
                          "デバイスに書き込みました", "書込みました。　ベリファイ中…", VerifyOk}));
    QVERIFY(ChipHoldsBuffer(f, *rig.sim));
    QVERIFY(rig.Released());
}

void CommandsTest::menuCaptions()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    auto captions = [](QMenu *menu) {
        QStringList list;
        for (QAction *a : menu->actions())
            list << a->text();
        return list;
    };
    // The blanks line the step names up in columns.
    QCOMPARE(captions(Ui(f).PopupMenu(1)),
             QStringList({QString(53, ' ') + ">Program >Verify",
                          QString(25, ' ') + ">Erase >BlankCheck >Program >Verify",
                          ">BufferClear >Load" + QString(28, ' ') + ">Program >Verify",
                          ">BufferClear >Load >Erase >BlankCheck >Program >Verify"}));
    QCOMPARE(captions(Ui(f).PopupMenu(2)), QStringList({">Erase >BlankCheck"}));
    QCOMPARE(captions(Ui(f).PopupMenu(3)),
             QStringList({">BufferClear >LoadNewFile", ">BufferClear >LoadCurrentFile"}));
}

void CommandsTest::notBlankStopsTheEraseChains()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    KeepNonBlankAfterErase(rig);
    FileDialog::PreAnswer(Fixture("p16f877a.hex"));
    Ui(f).Press(1);

    f.EraseBlankCheckProgramVerify1Click();
    QCOMPARE(rig.Status(), QString("消去できませんでした。デバイスはブランクではありません。"));
    QCOMPARE(rig.sim->Chip().Peek(0), uint16_t(0x3FFF)); // never programmed
    QVERIFY(rig.Released());

    f.EraseBlankCheckBufferClearLoadProgramVerify1Click();
    QCOMPARE(rig.Status(), QString("消去しましたが、デバイスはブランクではありません。"));
    QCOMPARE(rig.sim->Chip().Peek(0), uint16_t(0x3FFF));

    f.EraseBlankCheck1Click();
    QCOMPARE(rig.Status(), QString("消去しましたが、デバイスはブランクではありません。"));

    f.Erase1Click();
    QCOMPARE(Ui(f).Dialog()->StaticText1->text(), QString(" !!消去しましたがブランクではありません。"));
    Ui(f).Dialog()->Button1Click();
    f.LoadEraseprogramVerify1Click();
    QCOMPARE(Ui(f).Dialog()->StaticText1->text(), QString(" !!消去しましたが、ブランクではありません。"));
    QCOMPARE(rig.sim->Chip().Peek(0), uint16_t(0x3FFF));
    QVERIFY(rig.Released());
}

void CommandsTest::failedEraseEndsTheChains()
{
    // The programmer falls silent right after the check, while the erase
    // reads the calibration words: nothing is erased, and no chain may go on
    // to announce an erase or to program.
    using Chain = void (TForm1::*)();
    for (Chain chain : {&TForm1::EraseBlankCheck1Click, &TForm1::EraseBlankCheckProgramVerify1Click,
                        &TForm1::Erase1Click}) {
        CommandRig rig;
        TForm1 &f = rig.StartWith("PIC12F675");
        const uint16_t first = rig.sim->Chip().Peek(0);
        const uint64_t before = rig.sim->Firmware().BytesReceived();
        QVERIFY(Ui(f).CheckDevice());
        const uint64_t check = rig.sim->Firmware().BytesReceived() - before;
        rig.sim->Firmware().AddFault(
            {FaultKind::SilentAfter, rig.sim->Firmware().BytesReceived() + check + 4});
        (f.*chain)();
        QVERIFY2(rig.Status().startsWith(" !! "), qPrintable(rig.Status()));
        QVERIFY(!Ui(f).Dialog()->StaticText1->text().contains("消去OK"));
        QVERIFY(!Ui(f).Dialog()->StaticText1->text().contains("消去しました"));
        QCOMPARE(rig.sim->Chip().Peek(0), first);
        QVERIFY(rig.Released());
    }
}

void CommandsTest::eraseRefusalAndErasedCalibration()
{
    {
        // A calibration change the part's erase cannot honour: refused
        // before anything is sent, with the option and the chip untouched.
        CommandRig rig;
        TForm1 &f = rig.StartWith("PIC12F615");
        rig.sim->SetCalibration({0x2A51});
        Ui(f).CheckBox(2)->setChecked(true);
        Ui(f).MaskEdit(1)->setText("1234");
        f.EraseBlankCheck1Click();
        QCOMPARE(rig.Status(),
                 QString(" !! このデバイスではCALIBデータを変更できません。消去を中止しました。"));
        QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::MessageTab));
        QVERIFY(Ui(f).Memo(4)->toPlainText().contains("このデバイスではCALIBデータを変更できません。"));
        QVERIFY(Ui(f).CheckBox(2)->isChecked());
        QCOMPARE(rig.sim->Chip().Calibration(), std::vector<uint16_t>{0x2A51});
        QVERIFY(rig.Released());
    }
    // Calibration words found erased: the window asks, "いいえ" stops.
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC12F675");
    rig.sim->SetCalibration({0x3FFF, 0x3000});
    rig.sim->Chip().Poke(0, 0x0123);
    MessageBox::Reset();
    MessageBox::PreAnswer(0);
    Ui(f).Press(5);
    QCOMPARE(MessageBox::Answered().size(), 1);
    QVERIFY(MessageBox::Answered()[0].contains("消去された値"));
    QCOMPARE(rig.Status(), QString(" !! キャリブレーションデータが消去されています。消去を中止しました。"));
    QCOMPARE(rig.sim->Chip().Peek(0), uint16_t(0x0123));
    QVERIFY(rig.Released());

    // The link lost in the blank check after an erase: the chain ends with
    // the link-loss text, not with a judgement nothing was judged on.
    CommandRig lost;
    TForm1 &g = lost.StartWith("PIC16F877A");
    TarnboxFirmware &board = lost.sim->Firmware();
    uint64_t mark = board.BytesReceived();
    Ui(g).Press(5);
    const uint64_t checkAndErase = board.BytesReceived() - mark;
    board.AddFault({FaultKind::SilentAfter, board.BytesReceived() + checkAndErase + 20});
    g.EraseBlankCheck1Click();
    QCOMPARE(lost.Status(), QString(" !! デバイスから読み込めませんでした。"));
    QVERIFY(lost.Released());
}

void CommandsTest::cancelledDialogAndMissingFile()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    FileDialog::PreAnswer(Fixture("p16f877a.hex"));
    Ui(f).Press(1);
    Ui(f).Press(19);
    const WordImage before = Ui(f).Buffer().Words;
    const QString status = rig.Status();
    rig.sim->ClearTrace();

    // Every command that needs a file, cancelled: nothing but lock and release.
    using Handler = void (TForm1::*)();
    for (Handler h :
         {&TForm1::BufferClearLoadProgramVerify1Click,
          &TForm1::EraseBlankCheckBufferClearLoadProgramVerify1Click,
          &TForm1::BufferClearLoadCurrentFile1Click, &TForm1::BufferClearLoadNewFile1Click,
          &TForm1::Button1Click, &TForm1::LoadEraseprogramVerify1Click, &TForm1::LoadCurrentFile1Click}) {
        FileDialog::PreAnswer(QString());
        (f.*h)();
        QCOMPARE(FileDialog::Pending(), 0);
        QVERIFY(Ui(f).Buffer().Words == before);
        QCOMPARE(rig.Status(), status);
        QVERIFY(rig.Released());
    }
    QVERIFY(!Ui(f).Dialog()->isVisible());
    QVERIFY(rig.sim->HostBytes().empty());

    // A current file that has gone: the error box names it and the reason,
    // the buffer is cleared, the chip is never touched, the status line
    // reports the failure and the Current File is blank like the buffer.
    const QString gone = rig.Write("gone.hex", Lines({Record(0, QByteArray("\x34\x12", 2)), ":00000001FF"}));
    FileDialog::PreAnswer(gone);
    Ui(f).Press(1);
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x1234));
    QFile::remove(gone);
    rig.sim->ClearTrace();
    const Handler reloads[] = {&TForm1::BufferClearLoadProgramVerify1Click,
                               &TForm1::EraseBlankCheckBufferClearLoadProgramVerify1Click,
                               &TForm1::LoadEraseprogramVerify1Click, &TForm1::BufferClearLoadCurrentFile1Click,
                               &TForm1::LoadCurrentFile1Click};
    for (Handler reload : reloads) {
        Ui(f).SetCurrentFile(gone.toStdString());
        Ui(f).EditBuffer().Words[0] = 0x1234;
        MessageBox::Reset();
        MessageBox::PreAnswer(0);
        const int logLines = rig.Log().size();
        (f.*reload)();
        QCOMPARE(MessageBox::Answered().size(), 1);
        QVERIFY(MessageBox::Answered()[0].contains(gone));
        QVERIFY(MessageBox::Answered()[0].contains("ファイルまたはフォルダーが見つかりません。"));
        QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x3FFF));
        QCOMPARE(rig.Status(), QString(" !! \"gone.hex\" をロードできません。　ファイルまたはフォルダーが見つかりません。"));
        QCOMPARE(rig.Log().mid(logLines),
                 QStringList({"バッファをクリアしました。",
                              "ファイル \"gone.hex\" をロードできません。ファイルまたはフォルダーが見つかりません。"}));
        QVERIFY(Ui(f).CurrentFile().empty() && Ui(f).StaticText(2)->text().isEmpty());
        QVERIFY(rig.Released());
    }
    // LOAD reads over the buffer: after a failure it still holds the file
    // loaded before, and the Current File says so.
    const QString kept = rig.Write("kept.hex", Lines({Record(0, QByteArray("\x34\x12", 2)), ":00000001FF"}));
    FileDialog::PreAnswer(kept);
    Ui(f).Press(1);
    FileDialog::PreAnswer(gone);
    MessageBox::Reset();
    MessageBox::PreAnswer(0);
    Ui(f).Press(1);
    QVERIFY(rig.Status().startsWith(" !! \"gone.hex\" をロードできません。"));
    QCOMPARE(Ui(f).StaticText(2)->text(), QString("kept.hex"));
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x1234));
    QVERIFY(rig.sim->HostBytes().empty());
}

void CommandsTest::noDeviceRefusedWithBufferUntouched()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC99X", "PIC16F877A"); // not in the catalogue: nothing selected
    QCOMPARE(Ui(f).Selected(), -1);
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x3FFF));
    using Handler = void (TForm1::*)();
    for (Handler h :
         {&TForm1::Button3Click, &TForm1::Button4Click, &TForm1::Button5Click, &TForm1::Button6Click,
          &TForm1::Button7Click, &TForm1::Program1Click, &TForm1::EraseBlankCheckProgramVerify1Click,
          &TForm1::EraseBlankCheck1Click, &TForm1::BufferClearLoadCurrentFile1Click}) {
        FileDialog::PreAnswer(Fixture("p16f877a.hex"));
        Ui(f).PageControl1()->setCurrentIndex(TForm1::ProgramTab);
        (f.*h)();
        FileDialog::Reset();
        QCOMPARE(rig.Status(), QString(" !! デバイスを選択してください。"));
        QCOMPARE(rig.Log().last(), QString("DEVICE が選択されていません。"));
        QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::MessageTab));
        QVERIFY(rig.Released());
    }
    for (uint32_t i = 0; i < WordImageSize; ++i)
        QCOMPARE(Ui(f).Buffer().Words[i], uint16_t(0x3FFF));
}

void CommandsTest::loadMenuAndSaveTexts()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");

    FileDialog::PreAnswer(Fixture("p16f877a.hex"));
    f.BufferClearLoadNewFile1Click();
    QCOMPARE(rig.Status(), QString("バッファクリア後ファイル \"p16f877a.hex\" をロードしました。"));
    QCOMPARE(rig.Log().mid(rig.Log().size() - 3),
             QStringList({"バッファをクリアしました。", "ファイル \"p16f877a.hex\" をロードしました。",
                          "チェックサム 0E3C"}));

    f.BufferClearLoadCurrentFile1Click();
    QCOMPARE(FileDialog::Shown(), 1);
    QCOMPARE(rig.Status(), QString("バッファクリア後ファイル \"p16f877a.hex\" をロードしました。"));
    QCOMPARE(rig.Log().mid(rig.Log().size() - 2),
             QStringList({"ファイル \"p16f877a.hex \"をロードしました。", "チェックサム 0E3C"}));

    const QString out = rig.dir.filePath("out.hex");
    FileDialog::PreAnswer(out);
    Ui(f).Press(2);
    QCOMPARE(rig.Status(), QString(" \"out.hex\" にセーブしました。"));
    QCOMPARE(rig.Log().last(), QString("ファイル \"out.hex\" にセーブしました。"));
    // The saved file loads back into a cleared buffer as it was.
    const WordImage saved = Ui(f).Buffer().Words;
    Ui(f).Press(13);
    FileDialog::PreAnswer(out);
    Ui(f).Press(1);
    auto sameImage = [&f](const WordImage &a, const WordImage &b) {
        for (uint32_t i = 0; i < 0x2008; ++i)
            if ((i < 0x2000 || i >= ConfigAreaStart) && a[i] != b[i]) return false;
        for (uint32_t i = EEDataAreaStart; i < EEDataAreaStart + 256; ++i)
            if ((a[i] & 0xFF) != (b[i] & 0xFF)) return false;
        return true;
    };
    QVERIFY(sameImage(Ui(f).Buffer().Words, saved));
    QCOMPARE(Ui(f).StaticText(2)->text(), QString("out.hex"));

    // A folder that does not exist: the box names the file, the buffer and
    // the texts stay, the lock is released.
    const QString bad = rig.dir.filePath("missing/out.hex");
    MessageBox::Reset();
    MessageBox::PreAnswer(0);
    FileDialog::PreAnswer(bad);
    Ui(f).Press(2);
    QCOMPARE(MessageBox::Answered().size(), 1);
    QVERIFY(MessageBox::Answered()[0].contains(bad));
    QVERIFY(MessageBox::Answered()[0].contains("ファイルまたはフォルダーが見つかりません。"));
    QCOMPARE(rig.Status(), QString(" \"out.hex\" をロードしました。"));
    QVERIFY(sameImage(Ui(f).Buffer().Words, saved));
    QVERIFY(rig.Released());

    // A cancelled save writes nothing and says nothing.
    FileDialog::PreAnswer(QString());
    Ui(f).Press(2);
    QCOMPARE(rig.Status(), QString(" \"out.hex\" をロードしました。"));

    // What the part would not get as the file says is listed in the log.
    MessageBox::PreAnswer(0);
    FileDialog::PreAnswer(
        rig.Write("beyond.hex", Lines({Record(0x4400, QByteArray("\x34\x12", 2)), ":00000001FF"})));
    Ui(f).Press(1);
    QVERIFY(rig.Log().contains(
        "ファイル \"beyond.hex\" の 1 件のレコードがデバイス PIC16F877A にそのとおりには入りません。"));
    QVERIFY(rig.Log().contains("1 行目 (0x2200): デバイスのメモリの外にあるデータです（書き込まれません）。"));
    QCOMPARE(rig.Status(), QString(" \"beyond.hex\" をロードしました。"));
}

// The device list's menu item selects what the chip's DEVICE-ID names, across
// the families; a chip it cannot name leaves the selection and the buffer.
void CommandsTest::pickDeviceFromTheChip()
{
    struct Case {
        const char *chip;
        const char *selected; // afterwards
        bool picked;
    };
    for (const Case &c : {Case{"PIC16F628A", "PIC16F628A", true}, Case{"PIC18F4550", "PIC18F4550", true},
                          Case{"PIC16F877A", "PIC16F877A", true}, Case{"PIC10F200", "PIC16F877A", false}}) {
        CommandRig rig;
        TForm1 &f = rig.StartWith("PIC16F877A", c.chip);
        Ui(f).EditBuffer().Words[0] = 0x1234;
        f.PickDevice1Click();
        QCOMPARE(Ui(f).ComboBox1()->currentText(), QString(c.selected));
        const bool same = QString(c.chip) == "PIC16F877A" || !c.picked;
        // Only a change of device clears the buffer, as from the list.
        if (!Ui(f).Pic18()) QCOMPARE(Ui(f).Buffer().Words[0] == 0x1234, same);
        QCOMPARE(Ui(f).Memo(4)->toPlainText().contains("を選択しました。"), c.picked);
        QVERIFY(rig.Released());
    }
}

void CommandsTest::autoSelectOnLoad()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    Ui(f).CheckBox(6)->setChecked(true);
    const QString word0 = Record(0, QByteArray("\x34\x12", 2));
    const QString word1 = Record(2, QByteArray("\x78\x06", 2));

    // Without a tag two loads merge over the same device.
    FileDialog::PreAnswer(rig.Write("a.hex", Lines({word0, ":00000001FF"})));
    Ui(f).Press(1);
    FileDialog::PreAnswer(rig.Write("b.hex", Lines({word1, ":00000001FF"})));
    Ui(f).Press(1);
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x1234));
    QCOMPARE(Ui(f).Buffer().Words[1], uint16_t(0x0678));

    // A lower-case tag line is no tag: nothing switches, nothing is cleared.
    FileDialog::PreAnswer(rig.Write("lower.hex", Lines({";pic16f628a", ":00000001FF"})));
    Ui(f).Press(1);
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC16F877A"));
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x1234));

    // A device-information record naming a PIC12H part is passed over.
    QByteArray info(16, '\0');
    info.replace(1, 7, "12HV615");
    FileDialog::PreAnswer(rig.Write("info.hex", Lines({Record(0xFF00, info), ":00000001FF"})));
    Ui(f).Press(1);
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC16F877A"));

    // The tag scan cuts at the first blank; a changed device clears first.
    FileDialog::PreAnswer(rig.Write("blanks.hex", Lines({";PIC16F628A   ", word1, ":00000001FF"})));
    Ui(f).Press(1);
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC16F628A"));
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x3FFF));
    QCOMPARE(Ui(f).Buffer().Words[1], uint16_t(0x0678));
    QCOMPARE(Ui(f).StaticText(2)->text(), QString("blanks.hex"));

    // The tag line ;PIC12HV615 is taken.
    FileDialog::PreAnswer(rig.Write("hv.hex", Lines({";PIC12HV615", ":00000001FF"})));
    Ui(f).Press(1);
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC12HV615"));

    // A PIC18 tag switches the family and sizes the arrays before loading.
    FileDialog::PreAnswer(rig.Write("p18.hex", Lines({";PIC18F4550", Record(0, QByteArray("\0\0", 2), 4),
                                                      Record(0x7FF0, "\x01\x02\x03\x04"), ":00000001FF"})));
    Ui(f).Press(1);
    QVERIFY(Ui(f).Pic18());
    QCOMPARE(Ui(f).ComboBox1()->count(), DeviceTable18Size);
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC18F4550"));
    QCOMPARE(Ui(f).Buffer().Program18.size(), size_t(32768));
    QCOMPARE(Ui(f).Buffer().Program18[0x7FF3], uint8_t(4));
    QVERIFY(!Ui(f).CheckBox(2)->isEnabled());
    QVERIFY(Ui(f).MaskEdit(9)->isEnabled()); // the PIC18 configuration fields
    QCOMPARE(Ui(f).StaticText(2)->text(), QString("p18.hex"));
    QVERIFY(rig.Released());
}

void CommandsTest::damagedFilesNeverReachTheChip()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    const QString word0 = Record(0, QByteArray("\x34\x12", 2));

    // LOAD keeps what loaded and says, in a box and line by line, what did not.
    MessageBox::PreAnswer(0);
    FileDialog::PreAnswer(rig.Write("d.hex", Lines({word0, ":020002007806FF", ":00000001FF"})));
    Ui(f).Press(1);
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x1234));
    QCOMPARE(MessageBox::Answered(),
             QStringList{"ファイル \"d.hex\" の 1 行を読み込めませんでした（最初は 2 行目）。"});
    QVERIFY(Ui(f).Memo(4)->toPlainText().contains("2 行目: チェックサムが一致しません。"));

    // A file without any HEX says so and is not announced as loaded.
    MessageBox::PreAnswer(0);
    FileDialog::PreAnswer(rig.Write("blink.asm", "\tlist p=16f877a\n\tgoto $\n"));
    Ui(f).Press(1);
    QCOMPARE(rig.Status(), QString(" !! ファイル \"blink.asm\" にHEXデータがありません。"));

    // The loading chains stop before the device: nothing is sent to it.
    const uint64_t before = rig.sim->Firmware().BytesReceived();
    for (int box = 0; box < 5; ++box)
        MessageBox::PreAnswer(0);
    f.EraseBlankCheckBufferClearLoadProgramVerify1Click();
    f.BufferClearLoadProgramVerify1Click();
    QCOMPARE(rig.sim->Firmware().BytesReceived(), before);
    QCOMPARE(rig.Status(), QString(" !! ファイル \"blink.asm\" にHEXデータがありません。"));
    // A file whose only data line is damaged loads nothing, and no load
    // says it did: the reload leaves the buffer cleared, LOAD as it was.
    FileDialog::PreAnswer(rig.Write("reload.hex", Lines({word0, ":00000001FF"})));
    Ui(f).Press(1);
    rig.Write("reload.hex", Lines({":020000003412B9", ":00000001FF"}));
    const QString nothing = " !! ファイル \"reload.hex\" から何も読み込めませんでした。";
    for (int reload = 0; reload < 2; ++reload) {
        MessageBox::PreAnswer(0);
        const qsizetype logged = rig.Log().size();
        if (reload) {
            f.BufferClearLoadCurrentFile1Click();
        } else {
            FileDialog::PreAnswer(rig.dir.filePath("reload.hex"));
            Ui(f).Press(1);
        }
        QCOMPARE(rig.Status(), nothing);
        QVERIFY(rig.Log().mid(logged).filter("をロードしました").isEmpty());
        QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(reload ? 0x3FFF : 0x1234));
        QVERIFY(rig.Released());
    }
    FileDialog::PreAnswer(rig.Write("cut.hex", Lines({word0})));
    f.BufferClearLoadNewFile1Click();
    f.BufferClearLoadProgramVerify1Click();
    QCOMPARE(rig.sim->Firmware().BytesReceived(), before);
    QVERIFY(MessageBox::Answered().last().contains("（最初は 2 行目）"));
    QVERIFY(rig.Released());

    // A PIC18 LOAD that selects another part starts from that part's blank image.
    Ui(f).CheckBox(6)->setChecked(true);
    FileDialog::PreAnswer(rig.Write("p452.hex", Lines({";PIC18F452", ":00000001FF"})));
    Ui(f).Press(1);
    Ui(f).EditBuffer().Id18[0] = 0x77;
    Ui(f).EditBuffer().Config18[0] = 0x12;
    FileDialog::PreAnswer(rig.Write("p4550.hex", Lines({";PIC18F4550", word0, ":00000001FF"})));
    Ui(f).Press(1);
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC18F4550"));
    QCOMPARE(Ui(f).Buffer().Id18[0], uint8_t(0xFF));
    QVERIFY(Ui(f).Buffer().Config18[0] != 0x12);
}

// A file the part would not get as written: LOAD keeps it for the user to
// look at, and every command that would program or verify it, with a load
// of its own or over the buffer, refuses before the check in one box.
void CommandsTest::findingsKeepTheBufferButNeverReachTheChip()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    const QString refused = QString::fromStdString(texts::LoadFindingsRefused());
    const QString finding = "2 行目 (0x2200): デバイスのメモリの外にあるデータです（書き込まれません）。";
    MessageBox::PreAnswer(0);
    FileDialog::PreAnswer(
        rig.Write("beyond.hex", Lines({Record(0, QByteArray("\x34\x12", 2)),
                                       Record(0x4400, QByteArray("\x34\x12", 2)), ":00000001FF"})));
    Ui(f).Press(1);
    QCOMPARE(MessageBox::Answered().size(), 1);
    QVERIFY(MessageBox::Answered()[0].contains(finding));
    QVERIFY(MessageBox::Answered()[0].endsWith(QString::fromStdString(texts::LoadFindingsHeld())));
    QCOMPARE(Ui(f).Buffer().Words[0], uint16_t(0x1234));
    QCOMPARE(rig.Status(), QString(" \"beyond.hex\" をロードしました。"));

    const uint64_t before = rig.sim->Firmware().BytesReceived();
    using Handler = void (TForm1::*)();
    const Handler refusing[] = {&TForm1::Button4Click,
                                &TForm1::Button7Click,
                                &TForm1::Program1Click,
                                &TForm1::EraseBlankCheckProgramVerify1Click,
                                &TForm1::BufferClearLoadProgramVerify1Click,
                                &TForm1::EraseBlankCheckBufferClearLoadProgramVerify1Click,
                                &TForm1::Program3Click,
                                &TForm1::Verify1Click,
                                &TForm1::LoadEraseprogramVerify1Click};
    size_t i = 0;
    for (const Handler handler : refusing) {
        if (i == 6) Ui(f).Press(17); // the Small Box menu's own
        MessageBox::PreAnswer(0);
        (f.*handler)();
        QCOMPARE(MessageBox::Answered().size(), qsizetype(i + 2));
        QVERIFY2(MessageBox::Answered().last().contains(finding), qPrintable(QString::number(i)));
        QVERIFY(MessageBox::Answered().last().endsWith(refused));
        QCOMPARE(rig.Status(), " !! " + refused);
        if (i >= 6) QCOMPARE(Ui(f).Dialog()->StaticText1->text(), " !! " + refused);
        QVERIFY(rig.Released());
        ++i;
    }
    QCOMPARE(rig.sim->Firmware().BytesReceived(), before);

    // A read replaces the file in the buffer: program goes to the chip again.
    f.Read1Click();
    f.Program3Click();
    QCOMPARE(Ui(f).Dialog()->StaticText1->text(), QString("デバイスに書き込みました"));
    QCOMPARE(MessageBox::Answered().size(), qsizetype(std::size(refusing) + 1));
}

void CommandsTest::loadCurrentAutoSelect()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    Ui(f).CheckBox(6)->setChecked(true);

    // Load-current compares the tag whole: trailing blanks select nothing.
    FileDialog::PreAnswer(rig.Write("blanks.hex", Lines({";PIC16F628A   ", ":00000001FF"})));
    f.BufferClearLoadCurrentFile1Click();
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC16F877A"));

    // The information record's name (up to its NUL) is looked up whole, and
    // the record's configuration and User-ID bytes are applied.
    QByteArray info(16, '\0');
    info.replace(1, 7, "12HV615");
    info[9] = 0x02;
    info[14] = char(0xAB);
    Ui(f).Press(19);
    FileDialog::PreAnswer(rig.Write("info.hex", Lines({Record(0xFF00, info), ":00000001FF"})));
    f.BufferClearLoadCurrentFile1Click();
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC12HV615"));
    QCOMPARE(Ui(f).Buffer().Words[0x2000], uint16_t(0xFFFA));
    QCOMPARE(Ui(f).Buffer().Words[0x2001], uint16_t(0xFFFB));

    // Load-current never switches the family.
    Ui(f).Press(19);
    FileDialog::PreAnswer(rig.Write("p18.hex", Lines({";PIC18F4550", ":00000001FF"})));
    MessageBox::PreAnswer(0);
    f.LoadCurrentFile1Click();
    QVERIFY(!Ui(f).Pic18());
    QCOMPARE(MessageBox::Answered().last(),
             QString("バッファクリア後、ファイル \"p18.hex\" をロードしました。"));
}

void CommandsTest::loadCurrentResizesPic18Arrays()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC18F242");
    Ui(f).CheckBox(6)->setChecked(true);
    QCOMPARE(Ui(f).Buffer().Program18.size(), size_t(16384));
    const QString file =
        rig.Write("big.hex", Lines({";PIC18F4550", Record(0, QByteArray("\0\0", 2), 4), Record(0, "\x11\x22"),
                                    Record(0x6000, "\xAB\xCD"), ":00000001FF"}));
    FileDialog::PreAnswer(file);
    f.BufferClearLoadCurrentFile1Click();
    QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC18F4550"));
    QCOMPARE(Ui(f).Buffer().Program18.size(), size_t(32768));
    QCOMPARE(Ui(f).Buffer().EEData18.size(), size_t(256));
    // The bytes past the old part's end are there, as after LOAD.
    QCOMPARE(Ui(f).Buffer().Program18[0], uint8_t(0x11));
    QCOMPARE(Ui(f).Buffer().Program18[0x6001], uint8_t(0xCD));
    QCOMPARE(Ui(f).Buffer().Program18[0x6002], uint8_t(0xFF));
    QVERIFY(Ui(f).Memo(1)->toPlainText().contains("006000: CDAB FFFF"));
}

void CommandsTest::smallBoxEnterAndLeave_data()
{
    QTest::addColumn<bool>("noBorder");
    QTest::newRow("frameless") << true;
    QTest::newRow("framed") << false;
}

void CommandsTest::smallBoxEnterAndLeave()
{
    QFETCH(bool, noBorder);
    CommandRig rig;
    {
        auto s = rig.Settings();
        s.WriteInteger("window", "minnbtop", 50);
        s.WriteInteger("window", "minnbleft", 60);
        s.WriteInteger("window", "mintop", 70);
        s.WriteInteger("window", "minleft", 80);
    }
    TForm1 &f = rig.StartWith("PIC16F877A");
    Ui(f).CheckBox(5)->setChecked(noBorder);
    f.resize(472, 400);
    f.move(300, 200);
    const QSize minimum = f.minimumSize(), maximum = f.maximumSize();

    Ui(f).Press(17);
    QVERIFY(Ui(f).SmallBoxActive());
    QCOMPARE(f.windowTitle(), QString("Vexa"));
    QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(bool(f.windowFlags() & Qt::FramelessWindowHint), noBorder);
    // 74 wide outside: the frame, where there is one, takes its share.
    QCOMPARE(noBorder ? f.width() : f.frameGeometry().width(), 74);
    QCOMPARE(f.height(), 18);
    QCOMPARE(f.pos(), noBorder ? QPoint(60, 50) : QPoint(80, 70));
    if (noBorder) QCOMPARE(f.minimumSize(), QSize(0, 0));
    for (QWidget *w : Ui(f).SmallBoxHidden())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(Ui(f).SpeedButton1()->isVisible());
    QCOMPARE(Ui(f).SpeedButton1()->text(), QString("&Programmer"));
    QVERIFY(!Ui(f).PageControl1()->isEnabled());
    QVERIFY(!Ui(f).Button(17)->isEnabled());

    // A close request returns to the window as it was.
    f.move(111, 122);
    QVERIFY(!f.close());
    QVERIFY(f.isVisible());
    QVERIFY(!Ui(f).SmallBoxActive());
    QCOMPARE(f.size(), QSize(472, 400));
    QCOMPARE(f.pos(), QPoint(300, 200));
    QCOMPARE(f.minimumSize(), minimum);
    QCOMPARE(f.maximumSize(), maximum);
    QCOMPARE(f.windowTitle(), TForm1::VersionCaption);
    QVERIFY(!(f.windowFlags() & (Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint)));
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::ProgramTab));
    for (QWidget *w : Ui(f).SmallBoxHidden())
        QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(!Ui(f).SpeedButton1()->isVisible());
    QVERIFY(Ui(f).PageControl1()->isEnabled() && Ui(f).Button(17)->isEnabled());
    // Each kind of strip remembers its own place (in the settings the window
    // writes at exit).
    const SettingsFile &s = Ui(f).Settings();
    QCOMPARE(s.ReadInteger("window", noBorder ? "minnbtop" : "mintop", 0), 122);
    QCOMPARE(s.ReadInteger("window", noBorder ? "minnbleft" : "minleft", 0), 111);
    QCOMPARE(s.ReadInteger("window", noBorder ? "mintop" : "minnbtop", 0), noBorder ? 70 : 50);
}

void CommandsTest::smallBoxDragAndMenu()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    Ui(f).CheckBox(5)->setChecked(true);
    Ui(f).Press(17);
    QToolButton *b = Ui(f).SpeedButton1();
    auto press = [b] {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(10, 8), b->mapToGlobal(QPointF(10, 8)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(b, &e);
    };
    auto move = [b](Qt::MouseButtons held) {
        QMouseEvent e(QEvent::MouseMove, QPointF(10, 8), b->mapToGlobal(QPointF(10, 8)), Qt::NoButton, held,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(b, &e);
    };
    press();
    for (int i = 0; i < 4; ++i)
        move(Qt::LeftButton);
    QVERIFY(b->isEnabled());
    // Released away from the button: no click, and the count starts again.
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(200, 80), b->mapToGlobal(QPointF(200, 80)),
                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b, &up);
    QVERIFY(!Ui(f).PopupMenu(4)->isVisible());
    press();
    for (int i = 0; i < 4; ++i)
        move(Qt::LeftButton);
    move(Qt::NoButton); // a move without the button starts again too
    for (int i = 0; i < 4; ++i)
        move(Qt::LeftButton);
    QVERIFY(b->isEnabled());
    move(Qt::LeftButton); // the fifth in a row drags
    QVERIFY(!b->isEnabled());
    QMouseEvent over(QEvent::MouseMove, QPointF(70, 17), f.mapToGlobal(QPointF(70, 17)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&f, &over);
    QVERIFY(b->isEnabled());

    // The menu: every item in order, opened under the button, not while the
    // progress dialog shows.
    QStringList captions;
    for (QAction *a : Ui(f).PopupMenu(4)->actions())
        captions << a->text();
    QCOMPARE(captions, QStringList({"Reset Current &File", "&Load", "&Save", "&Read", "&Program", "&Erase",
                                    "&Blank Check", "&Verify", "Re&turn to Settings..."}));
    QCOMPARE(Ui(f).PopupMenu(4)->actions()[1]->menu()->actions()[1]->text(), QString("Load &Current File"));
    QCOMPARE(Ui(f).PopupMenu(4)->actions()[4]->menu()->actions()[1]->text(),
             QString("Program &Current File"));

    Ui(f).Dialog()->ShowDialog();
    f.SpeedButton1Click();
    QVERIFY(!Ui(f).PopupMenu(4)->isVisible());
    Ui(f).Dialog()->Button1->click();
    QVERIFY(!Ui(f).Dialog()->isVisible());
    f.SpeedButton1Click();
    QVERIFY(Ui(f).PopupMenu(4)->isVisible());
    QVERIFY(!b->isEnabled());
    QCOMPARE(Ui(f).PopupMenu(4)->pos(), b->mapToGlobal(QPoint(0, b->height())));
    Ui(f).PopupMenu(4)->hide();
    QVERIFY(b->isEnabled());

    // "Re&turn to Settings..." is a close request.
    Ui(f).PopupMenu(4)->actions().last()->trigger();
    QVERIFY(!Ui(f).SmallBoxActive());
    QVERIFY(f.isVisible());
}

// A drag as fast as a hand makes it (8 to 12 pixels a move) leaves the
// 16-pixel button at its first move and is still a drag, not a click.
void CommandsTest::smallBoxFastDrag()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    Ui(f).CheckBox(5)->setChecked(true);
    Ui(f).Press(17);
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QToolButton *b = Ui(f).SpeedButton1();
    QPoint at(10, 8);
    QTest::mousePress(b, Qt::LeftButton, {}, at);
    for (int step : {8, 12, 10, 9, 11}) {
        at += QPoint(step / 2, step);
        QTest::mouseMove(b, at);
    }
    QVERIFY(Ui(f).StripDragging());
    QVERIFY(!b->isEnabled());
    QTest::mouseRelease(b, Qt::LeftButton, {}, at);
    QVERIFY(!Ui(f).StripDragging());
    QVERIFY(b->isEnabled());
    QVERIFY(!Ui(f).PopupMenu(4)->isVisible());
}

void CommandsTest::smallBoxCommands()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    StatusTrail trail(f);
    Ui(f).Press(17);
    TForm3 &d = *Ui(f).Dialog();

    MessageBox::PreAnswer(0);
    FileDialog::PreAnswer(Fixture("p16f877a.hex"));
    f.LoadNewFile1Click();
    QCOMPARE(MessageBox::Answered().last(),
             QString("バッファクリア後、ファイル \"p16f877a.hex\" をロードしました。"));
    QCOMPARE(rig.Status(), MessageBox::Answered().last());
    QVERIFY(!d.isVisible()); // file items do without the dialog

    f.Program3Click();
    QVERIFY(d.isVisible());
    QVERIFY(trail.texts.contains("デバイスに書込み中…"));
    QCOMPARE(d.StaticText1->text(), QString("デバイスに書き込みました"));
    QVERIFY(d.Button1->isEnabled());
    QCOMPARE(d.ProgressBar1->value(), 0);
    QVERIFY(ChipHoldsBuffer(f, *rig.sim));

    f.Verify1Click();
    QCOMPARE(d.StaticText1->text(), VerifyOk);
    QCOMPARE(rig.Status(), VerifyOk);
    QVERIFY(rig.Log().contains(VerifyOk));

    f.BlankCheck1Click();
    QCOMPARE(d.StaticText1->text(), QString(" !! ブランクではありません。"));

    Ui(f).Press(13);
    f.Read1Click();
    QVERIFY(trail.texts.contains("デバイスから読込み中…"));
    QCOMPARE(d.StaticText1->text(), QString("デバイスからバッファに読み込みました。"));
    QVERIFY(ChipHoldsBuffer(f, *rig.sim));

    f.Erase1Click();
    QCOMPARE(d.StaticText1->text(), QString("消去OK。　デバイスはブランクです。"));
    QCOMPARE(rig.sim->Chip().Peek(0), uint16_t(0x3FFF));

    // "&Program" alone never verifies.
    trail.texts.clear();
    f.Program3Click();
    QVERIFY(!trail.texts.contains(VerifyOk));

    trail.texts.clear();
    f.LoadEraseprogramVerify1Click();
    QCOMPARE(d.StaticText1->text(), VerifyOk);
    QVERIFY(trail.texts.contains(" \"p16f877a.hex\" をロードしました。　ブランクチェック中…"));
    QVERIFY(rig.Log().contains("ファイル \"p16f877a.hex\" をロードしました。"));
    QVERIFY(ChipHoldsBuffer(f, *rig.sim));
    QVERIFY(rig.Released());
    QVERIFY(Ui(f).SmallBoxActive());
}

void CommandsTest::smallBoxRefusalAndFiles()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    Ui(f).Press(17);
    TForm3 &d = *Ui(f).Dialog();

    // A refused check shows in the dialog and the status line; OK stays usable.
    f.Button11Click(); // close the port (the strip greys the Option tab)
    f.Read1Click();
    QVERIFY(d.isVisible());
    QCOMPARE(d.StaticText1->text(), QString(" !! ポートをオープンしてください。"));
    QCOMPARE(rig.Status(), QString(" !! 接続を確認してポートをオープンしてください。"));
    QCOMPARE(Ui(f).PageControl1()->currentIndex(), int(TForm1::MessageTab));
    QVERIFY(d.Button1->isEnabled());
    d.Button1->click();

    MessageBox::PreAnswer(0);
    Ui(f).SetCurrentFile("/tmp/x.hex");
    Ui(f).StaticText(2)->setText("x");
    f.ResetCurrentFile1Click();
    QCOMPARE(MessageBox::Answered().last(), QString("カレントファイルをリセットしました。"));
    QVERIFY(Ui(f).CurrentFile().empty() && Ui(f).StaticText(2)->text().isEmpty());

    MessageBox::PreAnswer(0);
    FileDialog::PreAnswer(Fixture("p16f877a.hex"));
    f.LoadCurrentFile1Click();
    QCOMPARE(rig.Log().mid(rig.Log().size() - 2),
             QStringList({"ファイル \"p16f877a.hex \"をロードしました。", "チェックサム 0E3C"}));

    MessageBox::PreAnswer(0);
    FileDialog::PreAnswer(rig.dir.filePath("small.hex"));
    f.Save1Click();
    QCOMPARE(rig.Log().last(), QString("ファイル \"small.hex \"にセーブしました。"));
    QCOMPARE(rig.Status(), QString(" \"small.hex \"にセーブしました。"));
    QCOMPARE(MessageBox::Answered().last(), QString("ファイル \"small.hex\" にセーブしました。"));
    QVERIFY(QFile::exists(rig.dir.filePath("small.hex")));
    QVERIFY(rig.Released());
}

// Without a device the strip's loads and save are refused where its user
// sees it, not only in the hidden status line.
void CommandsTest::smallBoxFileItemsRefusedVisibly()
{
    CommandRig rig;
    TForm1 &f = rig.Start();
    QCOMPARE(Ui(f).Selected(), -1);
    Ui(f).Press(17);
    const std::function<void()> items[] = {[&] { f.LoadNewFile1Click(); }, [&] { f.Save1Click(); }};
    for (const auto &item : items) {
        FileDialog::PreAnswer(Fixture("p16f877a.hex"));
        item();
        QVERIFY(Ui(f).Dialog()->isVisible());
        QCOMPARE(Ui(f).Dialog()->StaticText1->text(), QString(" !! デバイスを選択してください。"));
        QVERIFY(Ui(f).Dialog()->Button1->isEnabled());
        Ui(f).Dialog()->Button1->click();
    }
    QVERIFY(MessageBox::Answered().isEmpty());
}

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
#include "image/hex_load.h"

void CommandsTest::fileWithoutConfigurationAsksFirst()
{
    CommandRig rig;
    TForm1 &f = rig.StartWith("PIC16F877A");
    rig.sim->Chip().Poke(0x2007, 0x3F72);
    FileDialog::PreAnswer(rig.Write("code_only.hex", Lines({Record(0, QByteArray("\x85\x30", 2)), ":00000001FF"})));
    Ui(f).Press(1);
    // "いいえ" (the default) keeps the chip as it was; "はい" programs.
    for (int answer : {0, 1}) {
        MessageBox::Reset();
        MessageBox::PreAnswer(answer);
        Ui(f).Press(4);
        QCOMPARE(MessageBox::Answered().size(), 1);
        QVERIFY(MessageBox::Answered()[0].startsWith(
            "ファイル \"code_only.hex\" にConfigurationがありません。デバイスには次の値が書き込まれます: "));
        QCOMPARE(rig.sim->Chip().Peek(0) == 0x3085, answer == 1);
        if (answer == 0) QCOMPARE(rig.Status(), QString(" !! 書込みを中止しました。"));
        QVERIFY(rig.Released());
    }
    // A file that carries its configuration is not asked about.
    MessageBox::Reset();
    FileDialog::PreAnswer(Fixture("p16f877a.hex"));
    Ui(f).Press(1);
    Ui(f).Press(4);
    QCOMPARE(MessageBox::Answered().size(), 0);
}
