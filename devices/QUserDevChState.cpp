#include "devices/QUserDevChState.h"

QString QUserDevChState::rateText(float rate)
{
    // Timings come from settings files: keep nonsense finite and in range.
    if (!(rate >= 0.0f))
        rate = 0.0f;
    if (rate > 2.0e9f)
        rate = 2.0e9f;
    const int n = int(rate);
    if (rate >= 1000.0f) {
        if (n % 1000 == 0)
            return QString::asprintf("%d", n / 1000) + QStringLiteral("Mbps");
        return QString::asprintf("%.1f", double(rate / 1000.0f)) + QStringLiteral("Mbps");
    }
    return QString::asprintf("%d", n) + QStringLiteral("Kbps");
}

int QUserDevChState::baudSet(int index, uint32_t clockMHz, uint32_t brp, uint32_t sjw, uint32_t tseg1,
                             uint32_t tseg2)
{
    if (index != 0 && index != 1)
        return 0;
    uint32_t *t = index == 0 ? arbTiming : dataTiming;
    t[0] = clockMHz;
    t[1] = brp;
    t[2] = sjw;
    t[3] = tseg1;
    t[4] = tseg2;
    if (brp == 0)
        return 1;
    // The nominal clock drives both phases.
    const double r = double(arbTiming[0]) * 1000.0 / double(brp) / (double(tseg1) + double(tseg2) + 1.0);
    const QString text = rateText(float(r));
    if (index == 0)
        arbBaudText = text;
    else
        dataBaudText = text;
    return 1;
}

QString QUserDevChState::devStateText()
{
    const bool en = language != 0;
    const bool fd = devKind == 1 && fdEnable != 0;
    QString s;
    if (chLost)
        s += en ? QStringLiteral("[DISCONNECTED]") : QStringLiteral("[已断开]");
    s += fd ? QStringLiteral("[FD]") : QStringLiteral("[CAN]");
    if (relayShow) {
        s += en ? QStringLiteral("RelayState->") : QStringLiteral("中继状态->");
        if (relayState)
            s += en ? QStringLiteral("[OPEN]") : QStringLiteral("[开启]");
        else
            s += en ? QStringLiteral("[CLOSE]") : QStringLiteral("[关闭]");
    }
    if (workMode == 0)
        s += en ? QStringLiteral("[NORMAL]") : QStringLiteral("[正常模式]");
    else if (workMode == 1)
        s += en ? QStringLiteral("[LISTEN]") : QStringLiteral("[只听模式]");
    else
        s += en ? QStringLiteral("[UNKOWN]") : QStringLiteral("[未知模式]");
    s += QLatin1Char('[') + arbBaudText;
    if (fd)
        s += QLatin1Char(',') + dataBaudText;
    s += QLatin1Char(']');
    stateText = s;
    return stateText;
}
