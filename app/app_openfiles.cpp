#include "app/app_openfiles.h"

#include <sys/resource.h>

bool AppOpenFiles::raiseLimit(int wanted)
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    const rlim_t target = rlim_t(wanted);
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= target)
        return true;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= target ? target : limit.rlim_max;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= target;
}
