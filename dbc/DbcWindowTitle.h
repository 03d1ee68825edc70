#pragma once
// The titles of the two DBC windows: what the window is, the file it works
// on and, for the send window, the channel it sends on, so that several
// windows open side by side can be told apart.

#include <QString>

namespace DbcWindowTitle {

// The non-empty parts joined by " - ": "DBC发送 - engine.dbc - USBCANFD2 设备:0 通道:0".
QString compose(const QString &kind, const QString &fileName, const QString &channel = QString());
// A channel's device id as the main window's data tabs name it, in the
// program's language (the "language" setting); empty for an empty id.
QString channelText(const QString &devId);

} // namespace DbcWindowTitle
