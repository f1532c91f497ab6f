#include "tst_RunControl.h"
#include "tst_StartUpAndIntake.h"

#include <QApplication>
#include <QTest>

#include <cstring>
#include <vector>

// "--iteration-limit" as the first argument runs the long run to the iteration limit only;
// the other arguments go to QtTest.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::vector<char*> args(argv, argv + argc);
    const bool limitOnly = args.size() > 1 && std::strcmp(args[1], "--iteration-limit") == 0;
    if (limitOnly)
        args.erase(args.begin() + 1);
    const int n = static_cast<int>(args.size());
    int failed = 0;
    if (limitOnly) {
        TestIterationLimit t;
        failed += QTest::qExec(&t, n, args.data());
    } else {
        TestStartUpAndIntake intake;
        failed += QTest::qExec(&intake, n, args.data());
        TestRunControl run;
        failed += QTest::qExec(&run, n, args.data());
    }
    return failed == 0 ? 0 : 1;
}
