#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ThreadPriority {

bool lowerCurrentThread()
{
    // On Linux the niceness belongs to the thread (its id as a "process"), not the whole process.
    const auto thread = id_t(syscall(SYS_gettid));
    return setpriority(PRIO_PROCESS, thread, kBackgroundNice) == 0;
}

} // namespace ThreadPriority
