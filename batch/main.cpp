// rdsim-batch: the simulator's runs from the command line, without a window.
#include "batch/AnalyzeCommand.h"
#include "batch/AtlasCommand.h"
#include "batch/Interrupt.h"
#include "batch/Options.h"
#include "batch/ReplayCommand.h"
#include "batch/RunCommand.h"

#include <cstdio>
#include <new>
#include <string_view>
#include <unistd.h>

#ifndef RDSIM_VERSION
#define RDSIM_VERSION "unknown"
#endif

namespace {

// --help and --version succeed only when their text reached standard output.
int printed(int written)
{
    if (written < 0 || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("rdsim-batch: standard output");
        return rd::batch::kExitOutput;
    }
    return rd::batch::kExitOk;
}

} // namespace

int main(int argc, char* argv[])
{
    using namespace rd::batch;
    if (argc > 1 && std::string_view(argv[1]) == "analyze") {
        int status = kExitMemory;
        try {
            status = runAnalyze(argc - 1, argv + 1, stdout, stderr);
        } catch (const std::bad_alloc&) {
            std::fputs("rdsim-batch analyze: out of memory\n", stderr);
        }
        reraiseInterrupt();
        return status;
    }
    if (argc > 1 && std::string_view(argv[1]) == "models")
        return runModels(argc - 1, argv + 1, stdout, stderr);
    if (argc > 1 && std::string_view(argv[1]) == "replay") {
        const int status = runReplay(argc - 1, argv + 1, stdout, stderr);
        reraiseInterrupt();
        return status;
    }
    if (argc > 1 && std::string_view(argv[1]) == "atlas") {
        int status = kExitMemory;
        try {
            status = runAtlas(argc - 1, argv + 1, stdout, stderr);
        } catch (const std::bad_alloc&) {
            std::fputs("rdsim-batch atlas: out of memory\n", stderr);
        }
        reraiseInterrupt();
        return status;
    }
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "rdsim-batch: %s\n", e.what());
        return kExitUsage;
    }
    if (options.help)
        return printed(std::fputs(helpText().c_str(), stdout));
    if (options.version)
        return printed(std::printf("rdsim-batch %s\n", RDSIM_VERSION));
    installInterruptHandlers();
    int status = kExitMemory;
    try {
        status = runBatch(options, !options.quiet && ::isatty(2) == 1, stderr);
    } catch (const std::bad_alloc&) {
        std::fputs("rdsim-batch: out of memory\n", stderr);
    }
    reraiseInterrupt();
    return status;
}
