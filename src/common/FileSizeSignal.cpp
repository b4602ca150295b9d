#include "common/FileSizeSignal.h"

#include <csignal>

namespace FileSizeSignal {

void ignore() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace FileSizeSignal
