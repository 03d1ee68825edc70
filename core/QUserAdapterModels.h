#pragma once
// The adapter models of the program, in one table: type name, family, the
// adapter library's device type number, channels, controller clock, CAN FD
// capability and where the device selection dialog offers the model. The
// device registry makes its devices from it, the device classes and their
// drivers take their channel counts, type numbers and capability from it,
// the selection dialog its lists and the bit-timing dialogs their clocks.
//
// Adding a model: one row here (in the selection list's order within its
// class); then check that its family's device class and dialogs need nothing
// more. kemusb keeps its own table (it is a library of its own), and so does
// its simulator; tests/devices/AdapterModelsTest.cpp holds this table against
// every consumer of it.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

enum class QUserAdapterFamily {
    Classic,  // classic CAN adapters: device class QUserDeviceUSBCAN2, driver QKemDev
    CanFd,    // CAN FD adapters: device class QUserDeviceUSBCANFD2, driver QKemFdDev
    Recorder, // recording adapters: configured, no frame traffic
    Lin,      // LIN adapters: offered by the selection dialog, no device class
};

struct QUserAdapterModel
{
    const char *name;          // device type name: device ids, settings files, log lines
    QUserAdapterFamily family;
    int typeNumber;            // device type number towards the adapter library; 0: it has no path for the model
    int channels;              // channels per adapter; 0: no device class drives the model
    int clockMHz;              // controller clock in MHz; 0: not known
    bool fdCapable;            // the channel settings offer CAN FD
    int selectClass;           // device selection dialog class offering it (0 CAN/FD, 1 recorders, 2 LIN); -1: none
    const char *editions[2];   // selection-list texts that stand for the model instead of its name
};

namespace QUserAdapterModels {

// Rows in the order of the device registry and of the selection lists.
// clang-format off
inline constexpr QUserAdapterModel kModels[] = {
    // name           family                       type ch clock  FD    class editions
    {"USBCAN1",      QUserAdapterFamily::Classic,  4,   1, 16,  false, 0, {QT_TRANSLATE_NOOP("QUserDlgDeviceSel", "USBCAN1-A"),
                                                                            QT_TRANSLATE_NOOP("QUserDlgDeviceSel", "USBCAN1-B")}},
    {"USBCAN2",      QUserAdapterFamily::Classic,  4,   2, 16,  false, 0, {QT_TRANSLATE_NOOP("QUserDlgDeviceSel", "USBCAN2-A"),
                                                                            QT_TRANSLATE_NOOP("QUserDlgDeviceSel", "USBCAN2-B")}},
    {"VARIRORODadi", QUserAdapterFamily::CanFd,    41,  1, 60,  true,  0, {nullptr, nullptr}},
    {"VURIVUVU1",    QUserAdapterFamily::CanFd,    41,  1, 60,  true,  0, {nullptr, nullptr}},
    {"USBCANFD2",    QUserAdapterFamily::CanFd,    41,  2, 60,  true,  0, {nullptr, nullptr}},
    {"TRNA701",      QUserAdapterFamily::CanFd,    65,  4, 60,  false, 0, {nullptr, nullptr}},
    {"TRNB701",      QUserAdapterFamily::CanFd,    64,  4, 60,  true,  0, {nullptr, nullptr}},
    {"TRNA702",      QUserAdapterFamily::CanFd,    66,  8, 80,  false, 0, {nullptr, nullptr}},
    {"TRNB702",      QUserAdapterFamily::CanFd,    67,  8, 80,  true,  0, {nullptr, nullptr}},
    {"TRND701",      QUserAdapterFamily::Recorder, 61,  2, 60,  true,  -1, {nullptr, nullptr}},
    {"TRND702",      QUserAdapterFamily::Recorder, 62,  2, 200, true,  1, {nullptr, nullptr}},
    {"TRNC701",      QUserAdapterFamily::Lin,      0,   0, 0,   false, 2, {nullptr, nullptr}},
};
// clang-format on

// The row of a type name (exact, case-sensitive); nullptr outside the table.
const QUserAdapterModel *byName(const QString &name);
// The rows with a device type number, in table order (several names may
// share one number: both classic models use 4).
std::vector<const QUserAdapterModel *> byTypeNumber(int typeNumber);
// The row a selection-list text stands for: a model name, or one of its
// editions as listed or as translated; nullptr for any other text.
const QUserAdapterModel *bySelectionText(const QString &text);
// The type names of a family, in table order.
QStringList names(QUserAdapterFamily family);

// The row the CAN FD device class and its driver work with for a type name.
// A name outside the CAN FD family is served as "any other name" is: one
// channel, type number 41, CAN FD capable, 60 MHz (the values of
// "VARIRORODadi"). The driver's devSet and the settings dialog's defaults
// rely on that row being there for every name, so it is kept on purpose.
const QUserAdapterModel &fdDevice(const QString &name);
// The row the classic device class works with: a name outside the classic
// family is served as one channel, type number 4, 16 MHz ("USBCAN1"): the
// classic device has two channels only for exactly "USBCAN2".
const QUserAdapterModel &classicDevice(const QString &name);

} // namespace QUserAdapterModels
