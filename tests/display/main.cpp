#include <QApplication>

int runPictureBoxTests(int argc, char** argv);
int runWindowTests(int argc, char** argv);
int runPicturesTests(int argc, char** argv);

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int failed = 0;
    for (auto run : { runPictureBoxTests, runWindowTests, runPicturesTests })
        failed += run(argc, argv);
    return failed == 0 ? 0 : 1;
}
