#pragma once
// The job of a channel's two send threads: the periodic (basic) sender sends
// `msg` again and again, the scheduled (advanced) sender sends `msgList`
// cycle after cycle. A plain value: built by the send panel, copied whole
// into the sender, copied back out to refill the panel.

#include "core/QUserCanMsg.h"

#include <QVector>

#include <cstdint>

class QUserSendTask
{
public:
    QUserSendTask() = default;

    QVector<QUserCanMsg> msgList;   // scheduled send: one cycle, in send order (entries with rowEnable != 0)
    QUserCanMsg msg;                // periodic send: the frame; its sendTick counts the ticks
    uint32_t reqSendCnt = 1;        // periodic: ticks of the run; scheduled: cycles through the list
    uint32_t perSendCnt = 1;        // periodic: frames per tick
    int64_t period = 1000;          // ms between ticks / between the starts of two cycles
    int64_t frameInterval = 10;     // ms between two frames of one cycle
    uint8_t idIncEnable = 0;        // periodic: identifier + 1 after every frame
    uint32_t errorMode = 0;         // scheduled: 0 a failed transmit ends the run, else go on
                                    // (the advanced panel always sets it; zero only so a copy
                                    // never carries an indeterminate value)
    uint8_t running = 0;            // set in a sender's own copy while its run is active
    uint8_t fdCapable = 0;          // the channel runs CAN FD
    uint8_t fdEnable = 0;           // the channel runs CAN FD; the panel offers CAN FD frames
};

Q_DECLARE_METATYPE(QUserSendTask)
