#include "resources/OrvaneResources.h"

#include <QtGlobal>
#include <atomic>

static void initOrvaneQrc()
{
    Q_INIT_RESOURCE(orvane);
}

void orvaneResourcesInit()
{
    static std::atomic<bool> done{false};
    if (!done.exchange(true))
        initOrvaneQrc();
}
