#include "arrival_log.h"

#include "shared/monotonic_clock.h"

#include <pthread.h>

#include <mutex>

namespace {
// Guards the log: the handler's thread writes, the test's thread reads.
std::mutex logLock;
// Handler calls so far: written by noteArrival, read by arrivals().
std::vector<Arrival> noted;
// The thread that cleared the log: written by clearArrivals, read by noteArrival, under logLock.
pthread_t caller = pthread_self();
}  // namespace

int64_t nowNs()
{
    return k3l::monotonicNanoseconds();
}

void noteArrival(FMUSIC_MODULE* module, unsigned char parameter)
{
    const int64_t ns = nowNs();
    std::lock_guard<std::mutex> hold(logLock);
    noted.push_back(Arrival{ns, parameter, module, pthread_equal(pthread_self(), caller) != 0});
}

void clearArrivals()
{
    std::lock_guard<std::mutex> hold(logLock);
    noted.clear();
    noted.reserve(100000);
    caller = pthread_self();
}

std::vector<Arrival> arrivals()
{
    std::lock_guard<std::mutex> hold(logLock);
    return noted;
}
