// The texts the device layer reads from files and from frame records: baud
// table lines, advanced-sender list lines, frame records converted to
// adapter records, and bit timings turned into rate texts.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "devices/QKemFrames.h"
#include "devices/QUserBaudChk.h"
#include "devices/QUserDevChState.h"
#include "traffic/QUserAdvanceSend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));

    QUserBaudEntry e;
    baudlist::parseLine(text, e);

    QUserCanMsg entry;
    if (QUserAdvanceSend::lineToEntry(text, entry)) {
        const QString back = QUserAdvanceSend::entryToLine(entry);
        QUserCanMsg again;
        QUserAdvanceSend::lineToEntry(back, again);
    }

    // Three texts split at '|': identifier, length, data.
    const QStringList parts = text.split(QLatin1Char('|'));
    QUserCanMsg m;
    m.idText = parts.value(0);
    m.lenText = parts.value(1);
    m.dataText = parts.value(2);
    m.fdFlags = size > 0 ? data[0] : 0;
    KCAN_CAN_OBJ obj;
    kemframes::toCanObj(m, obj, (size & 1) != 0);
    KCAN_CANFD_OBJ fd;
    kemframes::toCanFdObj(m, fd);

    if (size >= 24) {
        uint32_t v[6];
        std::memcpy(v, data, sizeof v);
        QUserDevChState s("X-0-0", int(v[5] & 1));
        s.baudSet(0, v[0], v[1], 1, v[2], v[3]);
        s.baudSet(1, v[4], v[1] ^ v[4], 1, v[3], v[2]);
        s.workModeSet(int(v[5] >> 8));
        s.languageSet(int(v[5] >> 1) & 1);
        s.devStateText();
    }
    return 0;
}
