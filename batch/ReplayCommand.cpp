// `rdsim-batch replay`: the record's run repeated by the runs library, what it found printed,
// and its verdict as the exit status.
#include "batch/ReplayCommand.h"

#include "batch/Interrupt.h"
#include "batch/OptionText.h"
#include "batch/Options.h"
#include "batch/RunCommand.h"
#include "engine/Quoted.h"
#include "pictures/PictureRecord.h"
#include "runs/Errors.h"
#include "runs/Replay.h"

#include <cstring>
#include <new>

namespace rd::batch {

namespace {

int exitStatusOf(runs::ReplayVerdict verdict)
{
    switch (verdict) {
    case runs::ReplayVerdict::Reproduced:
        return kExitOk;
    case runs::ReplayVerdict::Differs:
        return kExitDiffers;
    case runs::ReplayVerdict::FileChanged:
        return kExitFileChanged;
    case runs::ReplayVerdict::ArithmeticError:
        break;
    }
    return kExitArithmetic;
}

} // namespace

int runReplay(int argc, const char* const* argv, std::FILE* out, std::FILE* err)
{
    if (argc == 2 && isHelp(argv[1])) {
        std::fputs("Usage: rdsim-batch replay FILE\n"
                   "Runs again the run that FILE (a run's .json record, or a PNG it wrote) "
                   "records and compares\nthe final fields with the record and with the saved "
                   ".npy files. Exit status: 0 reproduced\nbit for bit, 1 the re-run differs "
                   "from the record, 2 no usable record, 3 an arithmetic error\nin the re-run, "
                   "5 out of memory, 6 a file the record names has changed since.\n"
                   "A record is at most 1 MiB, in a file or a picture, and asks for at most "
                   "1000000 steps, as\nthe command line does; files it names must be regular "
                   "files. Texts from the record are\nprinted in quotes, escaped. SIGINT, "
                   "SIGTERM and SIGHUP stop the re-run at the next step\nand end the program "
                   "by the signal.\n"
                   "  -h, --help  this text\n",
            out);
        return kExitOk;
    }
    if (argc != 2 || std::strncmp(argv[1], "--", 2) == 0) {
        std::fputs("rdsim-batch replay: expected one record file (see replay --help)\n", err);
        return kExitUsage;
    }
    const std::string file = argv[1];
    // As a run: a signal stops the re-run at the next step, and the program ends by it.
    installInterruptHandlers();
    try {
        const QJsonObject record = pictures::readRecord(file);
        runs::StepHooks hooks;
        hooks.cancelled = [] { return interruptSignal() != 0; };
        const runs::ReplayResult result
            = runs::replay(record, std::filesystem::path(file).parent_path(), kProgram, hooks);
        for (const std::string& line : result.lines)
            std::fprintf(out, "%s\n", line.c_str());
        std::fflush(out);
        return exitStatusOf(result.verdict);
    } catch (const runs::RecordError& e) {
        std::fprintf(err, "rdsim-batch replay: %s: %s\n", rd::quoted(file).c_str(), e.what());
    } catch (const runs::SettingsError& e) {
        std::fprintf(err, "rdsim-batch replay: %s: the record's settings are refused: %s: %s\n",
            rd::quoted(file).c_str(), optionOf(Options {}, e).c_str(), e.what());
    } catch (const runs::SeededStartError& e) {
        std::fprintf(err,
            "rdsim-batch replay: %s: the record's settings are refused: --init \"seeded\": %s\n",
            rd::quoted(file).c_str(), e.what());
    } catch (const Interrupted&) {
        std::fprintf(err, "rdsim-batch replay: %s: interrupted; nothing was compared\n",
            rd::quoted(file).c_str());
        return kExitOk;
    } catch (const std::bad_alloc&) {
        std::fputs("rdsim-batch replay: out of memory\n", err);
        return kExitMemory;
    }
    return kExitUsage;
}

} // namespace rd::batch
