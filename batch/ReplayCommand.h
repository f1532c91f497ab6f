// `rdsim-batch replay`: a run repeated from its record (the JSON file beside its outputs, or
// a PNG it wrote), and the result compared bit for bit with the record and the saved fields.
#pragma once

#include <cstdio>

namespace rd::batch {

// Exit statuses of replay besides the tool's own (2 a record that cannot be used, 3 an
// arithmetic error in the re-run, 5 out of memory).
inline constexpr int kExitDiffers = 1; // the re-run's fields differ from the record
inline constexpr int kExitFileChanged = 6; // a file the record names no longer matches it

// argv[0] is "replay". Returns the exit status.
int runReplay(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

} // namespace rd::batch
