// The batch tool's options parsed from a list of arguments, as its command line gives them.
#pragma once

#include "batch/Options.h"

#include <string>
#include <vector>

namespace batchtest {

inline rd::batch::Options parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "rdsim-batch");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    return rd::batch::parseOptions(static_cast<int>(argv.size()), argv.data());
}

} // namespace batchtest
