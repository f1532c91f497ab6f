#include <QApplication>

#include <cstring>
#include <vector>

int runStartUpAndIntakeTests(int argc, char** argv);
int runRunControlTests(int argc, char** argv);
int runIterationLimitTest(int argc, char** argv);

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
    if (limitOnly)
        return runIterationLimitTest(n, args.data()) == 0 ? 0 : 1;
    const int failed
        = runStartUpAndIntakeTests(n, args.data()) + runRunControlTests(n, args.data());
    return failed == 0 ? 0 : 1;
}
