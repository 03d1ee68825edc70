#pragma once
// A CAN FD device class that opens its channels without a dialog: every
// channel of adapter 0, CAN FD 1 Mbit/s nominal, 5 Mbit/s data at 80 MHz
// (the simulator checks only that both ends agree).

#include "devices/QUserDeviceUSBCANFD2.h"
#include "devtools/QUserFd2Cfg.h"

namespace bench {

class BenchFdDevice : public QUserDeviceUSBCANFD2
{
public:
    using QUserDeviceUSBCANFD2::QUserDeviceUSBCANFD2;

protected:
    int settingsDialogRun(QUserFd2Cfg *cfg) override
    {
        cfg->devIndex = 0;
        cfg->channel = 0;
        cfg->allChannels = 1;
        cfg->fdEnable = 1;
        cfg->isoStandard = 1;
        cfg->clock = 80;
        cfg->mode = 0;
        return 1;
    }
};

} // namespace bench
