#include <QApplication>

int runPaintingTests(int argc, char** argv);
int runProfilesTests(int argc, char** argv);
int runControlsTests(int argc, char** argv);
int runOutputTests(int argc, char** argv);

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int failed = 0;
    for (auto run : { runPaintingTests, runProfilesTests, runControlsTests, runOutputTests })
        failed += run(argc, argv);
    return failed == 0 ? 0 : 1;
}
