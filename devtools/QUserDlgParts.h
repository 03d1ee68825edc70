#pragma once
// Pieces the device dialogs share: the result tables of the two bit-timing
// calculators, the channel dialogs' check that a free adapter and channel
// are chosen, and lists as wide as their entries.

#include <QList>
#include <QStringList>

class QComboBox;
class QTableWidget;
class QWidget;

namespace dlgparts {

// Sets a calculator's result table up: the columns with their headers and
// widths, read-only, whole single rows selected, alternating colours, no
// sorting, headers left-aligned, the last column stretched, no row numbers.
void resultTableSetup(QTableWidget *table, const QStringList &headers, const QList<int> &widths);

// True when the adapter and channel lists of a channel dialog show numbers.
// Otherwise (no free adapter or channel is listed) shows the error box
// "没有可打开的通道!!!" over dlg and gives false: accepting would hand back a
// record naming adapter 0, which may be open already or not exist at all.
bool channelChosen(QWidget *dlg, const QComboBox *devIndex, const QComboBox *chIndex);

// Widens every column narrower than its header's text ("Timing 0" and
// "Sample point" were cut in English). Call once the table is in its
// dialog, which decides the header's font.
void headersFit(QTableWidget *t);

// Makes a list at least as wide as its longest entry needs, with the
// theme's padding and the drop-down (a fixed minimum of the form cut
// "VARIRORODadi" and "Standard, single ID"); a larger minimum stays. Call
// once the entries are in.
void comboFitEntries(QComboBox *combo);

} // namespace dlgparts
