#include "tst_Controls.h"
#include "tst_Output.h"
#include "tst_Painting.h"
#include "tst_Profiles.h"

#include <QApplication>
#include <QTest>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int failed = 0;
    {
        TestPainting t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        TestProfiles t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        TestControls t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        TestOutput t;
        failed += QTest::qExec(&t, argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
