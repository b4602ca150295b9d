#pragma once

// A file-size limit (ulimit -f) makes the system end a process with SIGXFSZ
// the moment a write goes past it: no message, no cleanup, and in the window
// the unsaved invoice gone. Ignored, the write fails with EFBIG instead and
// every save reports it in Spanish, leaving the old file whole. Both programs
// call this first thing.
namespace FileSizeSignal {

void ignore();

} // namespace FileSizeSignal
