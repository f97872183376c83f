// The Configuration Memory tab's configuration bits by name: the dialog
// writes the Config fields as typing would, "Set" stores them, and parts
// without names fall back to the hex fields with a note in the log.
#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ConfigBitsDialog.h"
#include "guitestutil.h"
#include "texts/configbits_texts.h"

class ConfigBitsTest : public QObject {
    Q_OBJECT
private:
    // Ticks the option, opens the dialog, picks the setting and confirms.
    static void ChooseByName(TForm1 &f, const char *field, const char *setting)
    {
        Ui(f).PageControl1()->setCurrentIndex(TForm1::ConfigTab);
        Ui(f).CheckBox(1)->setChecked(true);
        QVERIFY(Ui(f).ConfigBitsButton()->isVisible() && Ui(f).ConfigBitsButton()->isEnabled());
        QTest::mouseClick(Ui(f).ConfigBitsButton(), Qt::LeftButton);
        auto *dialog = f.findChild<TConfigBitsDialog *>();
        QVERIFY(dialog);
        QComboBox *box = dialog->FieldBox(field);
        QVERIFY2(box, field);
        const int i = box->findText(setting, Qt::MatchStartsWith);
        QVERIFY2(i >= 0, setting);
        box->setCurrentIndex(i);
        dialog->accept();
    }

private slots:
    void changingOneFieldKeepsTheRestAndSetStoresIt()
    {
        WindowUnderTest w;
        w.Settings().WriteString("device", "name", "PIC16F877A");
        TForm1 &f = w.Create();
        Ui(f).EditBuffer().Words[0x2007] = 0x3F72;
        Ui(f).FillConfigFields();
        QVERIFY(Ui(f).MaskEdit(3)->toolTip().contains("FOSC = HS  (HS oscillator)"));
        QVERIFY(Ui(f).MaskEdit(3)->toolTip().startsWith("書き換える場合には"));

        ChooseByName(f, "WDTE", "ON");
        QCOMPARE(Ui(f).MaskEdit(3)->text(), QString("3F76"));
        QVERIFY(Ui(f).MaskEdit(3)->toolTip().contains("WDTE = ON"));
        QCOMPARE(Ui(f).Buffer().Words[0x2007], 0x3F72); // only Set stores
        QTest::mouseClick(Ui(f).Button(18), Qt::LeftButton);
        QCOMPARE(Ui(f).Buffer().Words[0x2007], 0x3F76);
    }

    void pic18BytesLandInTheirHalfOfTheField()
    {
        WindowUnderTest w;
        w.Settings().WriteString("device", "group", "PIC18");
        w.Settings().WriteString("device", "name", "PIC18F4550");
        TForm1 &f = w.Create();
        QCOMPARE(Ui(f).ComboBox1()->currentText(), QString("PIC18F4550"));
        const QString config3 = Ui(f).MaskEdit(5)->text();
        ChooseByName(f, "LVP", "OFF");
        // CONFIG4L is the low byte of Config4; CONFIG4H and the other fields stay.
        const uint16_t config4 = Ui(f).MaskEdit(6)->text().toUShort(nullptr, 16);
        QCOMPARE(config4 & 0x04, 0);
        QCOMPARE(Ui(f).MaskEdit(5)->text(), config3);
        QTest::mouseClick(Ui(f).Button(18), Qt::LeftButton);
        QCOMPARE(Ui(f).Buffer().Config18[6] & 0x04, 0);
        QCOMPARE(Ui(f).Buffer().Config18[7], uint8_t(config4 >> 8));
    }

    void aPartWithoutNamesKeepsTheHexFields()
    {
        WindowUnderTest w;
        w.Settings().WriteString("device", "name", "PIC16F877A");
        TForm1 &f = w.Create();
        w.Choose("PIC12F610");
        QVERIFY(Ui(f).Memo(4)->toPlainText().endsWith(QString::fromStdString(texts::NoConfigNames())));
        Ui(f).CheckBox(1)->setChecked(true);
        QVERIFY(!Ui(f).ConfigBitsButton()->isEnabled());
        QCOMPARE(Ui(f).MaskEdit(3)->toolTip(),
                 QString("書き換える場合には、Data Sheetなどで確認してください。"));
    }

    // A header that is a folder or a FIFO: the window names it and goes on
    // without names, neither hanging nor ending.
    void aHeaderThatIsNoFileIsNamedInTheLog()
    {
        QTemporaryDir headers;
        QVERIFY(QDir(headers.path()).mkdir("p12f675.inc"));
        const QByteArray fifo = (headers.path() + "/p16f88.inc").toUtf8();
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        qputenv("TARNVIK_GPUTILS_HEADERS", headers.path().toUtf8());
        WindowUnderTest w;
        w.Settings().WriteString("device", "name", "PIC16F877A");
        TForm1 &f = w.Create();
        w.Choose("PIC12F675");
        QVERIFY(Ui(f).Memo(4)->toPlainText().contains(headers.path() +
                                                      "/p12f675.inc: ファイルではなくフォルダーです。"));
        QVERIFY(Ui(f).Memo(4)->toPlainText().endsWith(QString::fromStdString(texts::NoConfigNames())));
        w.Choose("PIC16F88");
        QVERIFY(Ui(f).Memo(4)->toPlainText().contains(QString::fromUtf8(fifo) +
                                                      ": 通常のファイルではありません"));
        qunsetenv("TARNVIK_GPUTILS_HEADERS");
    }
};

QTEST_MAIN(ConfigBitsTest)
#include "config_bits_test.moc"
