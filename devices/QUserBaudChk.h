#pragma once
// Baud-rate detection records and the candidate table "setting/baudlist.txt":
// every integer rate from 5 kbit/s to 1 Mbit/s with up to two BTR0/BTR1 pairs
// for an 8 MHz CAN clock (sample point at least 65 %).

#include <QMetaType>
#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>

struct QUserBaudChkMsg
{
    enum Code {
        Begin = 200,      // detection begins
        TryBegin = 201,   // a candidate is about to be tried
        TryEnd = 202,     // a candidate has been tried
        End = 203,        // detection has ended
        Progress = 205,   // table generation progress in percent
        TableReady = 206, // the candidate table is ready
    };
    int rate = 0;
    int code = 0;
    uint8_t failed = 0;
    int timing0 = 0;
    int timing1 = 1;
    int progress = 0;
};
Q_DECLARE_METATYPE(QUserBaudChkMsg)

struct QUserBaudEntry
{
    int rate = 0;
    int timing0 = 0;
    int timing1 = 0;
};

namespace baudlist {

// "setting/baudlist.txt", relative to the working directory.
QString filePath();
// The standard rates in bit/s, rising.
const QVector<int> &standardRates();
// Up to two pairs for one rate, in search order.
int pairsFor(int rate, QUserBaudEntry out[2]);
// The whole table. keepGoing is asked after every rate (false: stop, result
// false, table holds what was made); progress gets each new whole percentage;
// found gets every entry as it is made.
bool generate(QVector<QUserBaudEntry> &table, const std::function<bool()> &keepGoing = {},
              const std::function<void(int)> &progress = {},
              const std::function<void(const QUserBaudEntry &)> &found = {});
// One line "rate,BTR0,BTR1\n".
QString lineOf(const QUserBaudEntry &e);
// One table line (without its line end); false unless it has exactly three
// comma-separated parts.
bool parseLine(const QString &line, QUserBaudEntry &e);
// Lines of exactly three comma-separated parts; rate decimal, timings hex,
// a part that is not a number reads as 0. False when the file cannot be read.
bool load(const QString &path, QVector<QUserBaudEntry> &table);
// Writes every entry (creating the folder); the number of lines written.
int save(const QString &path, const QVector<QUserBaudEntry> &table);

} // namespace baudlist
