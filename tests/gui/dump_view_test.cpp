#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "image/dump.h"
#include "guitestutil.h"

class DumpViewTest : public QObject {
    Q_OBJECT
private slots:
    void initialContentsBeforeFirstRedraw();
    void fourteenBitViews();
    void twelveBitViews();
    void pic18Views();
    void dataViewHiddenWithoutEeprom();
    void redrawShowsBufferChanges();
};

namespace {

QStringList Lines(QPlainTextEdit *memo)
{
    return memo->toPlainText().split('\n');
}

const QString Dot = QString::fromUtf8("\xEF\xBD\xA5");

} // namespace

void DumpViewTest::initialContentsBeforeFirstRedraw()
{
    WindowUnderTest w;
    TForm1 &f = w.Create(false);
    const QStringList program = Lines(Ui(f).Memo(1));
    QCOMPARE(program.size(), 11);
    QCOMPARE(program[0], "000000: 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF " + Dot.repeated(16));
    QVERIFY(program[10].startsWith("000050: "));
    const QStringList data = Lines(Ui(f).Memo(2));
    QCOMPARE(data.size(), 8);
    QCOMPARE(data[7], "0070: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF " + Dot.repeated(16));
    QCOMPARE(Ui(f).Memo(3)->toPlainText(),
             "002000: 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF " + Dot.repeated(16));
    QCOMPARE(Ui(f).Label(3)->text(),
             QString("ADDR  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ----- ASCII-----"));
    QVERIFY(Ui(f).Memo(1)->font().fixedPitch());
    QCOMPARE(Ui(f).Memo(1)->font().families().value(0), QString("ＭＳ ゴシック"));
    QCOMPARE(Ui(f).Memo(1)->font().pixelSize(), 12);
    QCOMPARE(f.font().families().value(0), QString("ＭＳ Ｐゴシック"));
}

void DumpViewTest::fourteenBitViews()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC16F883");
    TForm1 &f = w.Create();
    QCOMPARE(Lines(Ui(f).Memo(1)).size(), 512);
    QCOMPARE(Lines(Ui(f).Memo(1))[511],
             "000FF8: 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF " + QString(Dot + "?").repeated(8));
    QCOMPARE(Lines(Ui(f).Memo(2)).size(), 16);
    const QStringList config = Lines(Ui(f).Memo(3));
    QCOMPARE(config.size(), 2);
    QCOMPARE(config[1], "002008: 3FFF 3FFF " + QString(30, ' ') + QString(Dot + "?").repeated(2));
    QCOMPARE(Ui(f).Label(5)->text(),
             QString("ADDRESS 0000 0001 0002 0003 0004 0005 0006 0007 ----- ASCII-----"));
}

void DumpViewTest::twelveBitViews()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "name", "PIC10F200");
    TForm1 &f = w.Create();
    QCOMPARE(Lines(Ui(f).Memo(1)).size(), 32);
    QCOMPARE(Lines(Ui(f).Memo(1))[0], "000000: 0FFF 0FFF 0FFF 0FFF 0FFF 0FFF 0FFF 0FFF " + Dot.repeated(16));
    const QStringList config = Lines(Ui(f).Memo(3));
    QCOMPARE(config.size(), 2);
    QCOMPARE(config[0], "000100: 0FFF 0FFF 0FFF 0FFF 0FFF " + QString(15, ' ') + Dot.repeated(10));
    QCOMPARE(config[1], "0001FF: 0FFF" + QString(36, ' ') + Dot + Dot);
}

void DumpViewTest::pic18Views()
{
    WindowUnderTest w;
    w.Settings().WriteString("device", "group", "PIC18");
    w.Settings().WriteString("device", "name", "PIC18F452");
    TForm1 &f = w.Create();
    const QStringList program = Lines(Ui(f).Memo(1));
    QCOMPARE(program.size(), 2048);
    QCOMPARE(program[2047], "007FF0: FFFF FFFF FFFF FFFF FFFF FFFF FFFF FFFF " + Dot.repeated(16));
    QCOMPARE(Ui(f).Label(1)->text(),
             QString("ADDRESS 0000 0002 0004 0006 0008 000A 000C 000E ----- ASCII-----"));
    QCOMPARE(Ui(f).Label(5)->text(), Ui(f).Label(1)->text());
    const QStringList config = Lines(Ui(f).Memo(3));
    QCOMPARE(config.size(), 2);
    QCOMPARE(config[1], "300000: " + QString("FFFF ").repeated(7) + QString(5, ' ') + Dot.repeated(14));
}

void DumpViewTest::dataViewHiddenWithoutEeprom()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    w.Choose("PIC16F877A");
    QVERIFY(!Ui(f).Memo(2)->isHidden());
    const QString before = Ui(f).Memo(2)->toPlainText();
    w.Choose("PIC10F200");
    QVERIFY(Ui(f).Memo(2)->isHidden());
    QCOMPARE(Ui(f).Memo(2)->toPlainText(), before); // the old lines are not cleared
    w.Choose("PIC12F675");
    QVERIFY(!Ui(f).Memo(2)->isHidden());
    QCOMPARE(Lines(Ui(f).Memo(2)).size(), 8);

    w.Choose("<PIC18F>");
    w.Choose("PIC18F2450");
    QVERIFY(Ui(f).Memo(2)->isHidden());
    QCOMPARE(Ui(f).Buffer().EEData18.size(), size_t(0));
    w.Choose("PIC18F2455");
    QVERIFY(!Ui(f).Memo(2)->isHidden());
}

void DumpViewTest::redrawShowsBufferChanges()
{
    WindowUnderTest w;
    TForm1 &f = w.Create();
    w.Choose("PIC16F628A");
    Ui(f).EditBuffer().Words[0] = 0x4142;
    Ui(f).EditBuffer().Words[0x2100] = 0x7F;
    Ui(f).EditBuffer().Words[0x2007] = 0x3F10;
    Ui(f).RedrawBuffer();
    QCOMPARE(Lines(Ui(f).Memo(1))[0],
             "000000: 4142 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF BA" + QString(Dot + "?").repeated(7));
    QVERIFY(Lines(Ui(f).Memo(2))[0].startsWith("0000: 7F FF"));
    QVERIFY(Ui(f).Memo(3)->toPlainText().contains(" 3F10 "));
    QCOMPARE(Ui(f).MaskEdit(3)->text(), QString("3F10"));
    QVERIFY(!Ui(f).Memo(1)->isHidden());
}

QTEST_MAIN(DumpViewTest)
#include "dump_view_test.moc"
