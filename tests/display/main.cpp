#include "tst_PictureBox.h"
#include "tst_Pictures.h"
#include "tst_Window.h"

#include <QApplication>
#include <QTest>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int failed = 0;
    {
        TestPictureBox t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        TestWindow t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        TestPictures t;
        failed += QTest::qExec(&t, argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
