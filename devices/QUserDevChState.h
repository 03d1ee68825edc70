#pragma once
// What one channel of one adapter is, as the user configured it and as it
// runs: open or not, classic or CAN FD, work mode, relay, both bit rates and a
// one-line display text for the status bar. A plain value: the device keeps
// the master copy of each channel's record and hands out copies.
//
// A channel whose adapter left the host while it was open is lost: closed
// (chOpen 0), and its text begins with "[已断开]" / "[DISCONNECTED]" until
// the channel is opened again or its tab is closed.

#include <QString>

#include <cstdint>

class QUserDevChState
{
public:
    QUserDevChState() = default;
    QUserDevChState(const QString &id, int kind) : devId(id), devKind(kind) {}

    QString devId;
    QString devName;
    int devKind = 0;          // 0 classic device, 1 CAN FD device
    int workMode = 0;         // 0 normal, 1 listen only
    uint8_t chOpen = 0;
    uint8_t fdEnable = 0;
    uint8_t relayShow = 0;
    uint8_t relayState = 0;
    uint32_t arbTiming[5] = {0, 0, 0, 0, 0};  // clock MHz, prescaler, SJW, TSEG1, TSEG2
    QString arbBaudText;
    uint32_t dataTiming[5] = {0, 0, 0, 0, 0};
    QString dataBaudText;
    QString stateText;
    int language = 0;         // 0 Chinese, else English
    uint8_t chLost = 0;       // 1: the adapter left the host while the channel was open

    int chOpenSet(uint8_t v) { chOpen = v; return 1; }
    uint8_t chOpenGet() const { return chOpen; }
    int fdEnableSet(uint8_t v) { fdEnable = v; return 1; }
    uint8_t fdEnableGet() const { return devKind == 1 ? fdEnable : 0; }
    int workModeSet(int mode) { workMode = mode; return 1; }
    int workModeGet(int &mode) const { mode = workMode; return 1; }
    bool isListenMode() const { return workMode == 1; }
    int relayShowSet() { relayShow = 1; return 1; }
    int relayShowClear() { relayShow = 0; return 1; }
    uint8_t relayShowGet() const { return relayShow; }
    int relayStateSet(uint8_t v) { relayState = v; return 1; }
    uint8_t relayStateGet() const { return relayState; }
    int languageSet(int lang) { language = lang; return 1; }
    int chLostSet(uint8_t v) { chLost = v; return 1; }
    uint8_t chLostGet() const { return chLost; }

    // Stores one phase's timing (0 nominal, 1 data) and rebuilds its bit-rate
    // text; 0 for any other phase.
    int baudSet(int index, uint32_t clockMHz, uint32_t brp, uint32_t sjw, uint32_t tseg1, uint32_t tseg2);
    // Rebuilds and returns the display text.
    QString devStateText();

    // "500Kbps", "2.5Mbps", ... for a rate in kbit/s.
    static QString rateText(float kbps);
};
