#pragma once
// Channel settings record that the two adapter device classes hand to their
// channel dialogs and start channels from. The classic dialog fills the
// register fields (timing0 .. mode, clock 16); the CAN FD dialog fills the
// CAN FD fields (mode, fdEnable .. rules). Defaults are those the device
// classes start from before a dialog fills the record.

#include "core/QUserFliterCfg.h" // QUserFliterRule

#include <QString>
#include <QVector>

#include <cstdint>

struct QUserFd2Cfg
{
    int32_t devIndex = 0;      // adapter index within the device type
    int32_t channel = 0;       // channel of that adapter
    uint8_t allChannels = 0;   // non-zero: open every free channel of the adapter
    int32_t timing0 = 0;       // classic BTR0
    int32_t timing1 = 0;       // classic BTR1
    int32_t relay = 0;         // classic relay state, filled by the device class
    int32_t filter = 0;        // classic filter mode: 0 dual, 1 single
    uint32_t accCode = 0;      // classic acceptance code
    uint32_t accMask = 0;      // classic acceptance mask
    int32_t mode = 0;          // work mode: 0 normal, 1 listen-only
    uint8_t fdEnable = 1;      // 1 "CANFD", 0 "CAN"
    uint8_t isoStandard = 0;   // 1 "CANFD-ISO", 0 "NON-ISO"
    uint8_t selfBaud = 0;      // custom timing words in use
    uint8_t filterEnable = 0;  // apply the rule list to the channel
    QString selfBaudText;      // custom timing text, trimmed
    int32_t clock = 60;        // controller clock in MHz
    uint32_t arbTimingWord = 0x01400106; // arbitration (or only) phase timing word
    uint32_t dataTimingWord = 0x00800001; // data phase timing word
    QVector<QUserFliterRule> rules;
};

// The same record under the name the classic adapters' dialog and device
// class use for it: the classic channel settings record.
using QUserUsbcan2Cfg = QUserFd2Cfg;
