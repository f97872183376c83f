#include "guitestutil.h"

class DumpViewTest : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_MAIN(DumpViewTest)
#include "dump_view_test.moc"
