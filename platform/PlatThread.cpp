#include "platform/PlatThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace plat {

namespace {

// Linux gives threads their own nice value; a higher Windows priority maps
// to a lower nice value. Raising it needs privileges: a refusal is fine.
bool applyPriority(int priority)
{
    if (priority == THREAD_PRIORITY_NORMAL)
        return true;
    int nice = 0;
    if (priority >= THREAD_PRIORITY_TIME_CRITICAL)
        nice = -10;
    else if (priority >= THREAD_PRIORITY_HIGHEST)
        nice = -5;
    else if (priority > 0)
        nice = -2;
    else
        nice = -priority * 2;
    pid_t tid = pid_t(syscall(SYS_gettid));
    return setpriority(PRIO_PROCESS, id_t(tid), nice) == 0;
}

} // namespace

WinThread::~WinThread() { join(); }

void WinThread::join()
{
    if (t_.joinable() && t_.get_id() != std::this_thread::get_id())
        t_.join();
}

std::unique_ptr<WinThread> AfxBeginThread(ThreadBody body, void *arg, int priority)
{
    std::unique_ptr<WinThread> th(new WinThread);
    WinThread *raw = th.get();
    raw->t_ = std::thread([raw, body, arg, priority] {
        raw->priorityApplied_.store(applyPriority(priority));
        raw->exit_.store(body(arg));
        raw->finished_.store(true);
    });
    return th;
}

} // namespace plat
