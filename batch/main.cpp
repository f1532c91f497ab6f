// rdsim-batch: the simulator's runs from the command line, without a window.
#include "AnalyzeCommand.h"
#include "BatchRun.h"
#include "Options.h"

#include <cstdio>
#include <string_view>
#include <unistd.h>

#ifndef RDSIM_VERSION
#define RDSIM_VERSION "unknown"
#endif

int main(int argc, char* argv[])
{
    using namespace rd::batch;
    if (argc > 1 && std::string_view(argv[1]) == "analyze")
        return runAnalyze(argc - 1, argv + 1, stdout, stderr);
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "rdsim-batch: %s\n", e.what());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(helpText().c_str(), stdout);
        return kExitOk;
    }
    if (options.version) {
        std::printf("rdsim-batch %s\n", RDSIM_VERSION);
        return kExitOk;
    }
    return runBatch(options, !options.quiet && ::isatty(2) == 1, stderr);
}
