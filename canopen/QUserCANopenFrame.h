#pragma once
// The CiA 301 frame class of the CANopen tools. One half builds frames into
// QUserCanMsg records ready to send (sender tag 104, direction "sent"); the
// other half describes any received or sent frame in one line of text for
// the frame log, and parses the SDO server answers the SDO client waits for.

#include "core/QUserCanMsg.h"

#include <QHash>
#include <QString>

#include <cstdint>

class QUserDictObj;

// A TIME_OF_DAY calendar value, counted from 1984-01-01.
struct CANopenDateTime
{
    uint8_t yearOffset = 0; // years since 1984
    uint8_t month = 1;      // 1-12
    uint8_t reserved = 0;
    uint8_t day = 1;        // 1-31
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
};

class QUserCANopenFrame
{
public:
    int nodeIdFormat = 0; // 1: node ids in decimal; otherwise hexadecimal
    int nodeState = 3;    // NMT state of the last heartbeat: 0 boot-up, 1 stopped, 2 operational, 3 pre-operational

    QUserCANopenFrame();
    // The NMT state (as nodeState counts it) of the last heartbeat or
    // node-guarding answer of one node on one channel (the device id the
    // frame came from; frames handed over without one count as the empty
    // id); -1 while none was seen (and for node ids outside 1-127). Nodes
    // with the same id on different buses are different nodes.
    int nodeStateOf(int node, const QString &channel = QString()) const;

    // ---- builders ------------------------------------------------------
    // Every builder writes identifier, flags, send type 0, direction 1,
    // status 104, length and data of the caller's record and leaves the
    // other fields alone. Node ids must be 1..127 (NMT commands also take 0,
    // all nodes); any other id is refused with a log line and false, the
    // record untouched.
    static bool nodeIdValid(int node, bool allowAll = false);

    // command 0 start, 1 stop, 2 enter pre-operational, 3 reset node, 4 reset communication.
    bool nmtMsgCreat(QUserCanMsg &msg, int node, int command) const;
    // Node-guarding request: remote frame 0x700+node, no data.
    bool nmtGuardStatusGetMsgCreat(QUserCanMsg &msg, int node) const;
    // Node-guarding answer, one byte: state 0 boot-up, 1 stopped (4),
    // 2 operational (5), 3 pre-operational (0x7F); toggle true sets bit 7.
    bool nmtGuardStatusAckMsgCreat(QUserCanMsg &msg, int node, int state, bool toggle = false) const;
    // SYNC: identifier 0x80, no data bytes.
    bool syncMsgCreat(QUserCanMsg &msg) const;
    // EMCY 0x80+node: the hexadecimal texts in wire order (error code
    // low byte first), at least 4, 2 and 10 digits without white space.
    // Texts holding anything but hexadecimal digits and white space are
    // refused with a log line.
    bool emergMsgCreat(QUserCanMsg &msg, int node, const QString &errCode, const QString &errRegister,
                       const QString &manufacturer) const;
    // PDO index 0-7: TPDO1, RPDO1, TPDO2, RPDO2, TPDO3, RPDO3, TPDO4, RPDO4.
    // The frame carries the bytes typed (white space removed from dataText):
    // an even number of hexadecimal digits, at most 16.
    bool pdoMsgCreat(QUserCanMsg &msg, int node, int pdoIndex, QString &dataText) const;
    bool remotePdoMsgCreat(QUserCanMsg &msg, int node, int pdoIndex) const;
    // Expedited download. size 1-4 picks the command byte (any other size
    // gives the one-byte form); the value text holds the value bytes in wire
    // order (white space removed from valueText), four of them are sent.
    // A value text holding anything but hexadecimal digits ("0x10", "-1")
    // is refused with a log line.
    bool sdoFastWriteMsgCreat(QUserCanMsg &msg, int node, uint16_t index, uint32_t subIndex, int size,
                              QString &valueText) const;
    bool sdoFastReadMsgCreat(QUserCanMsg &msg, int node, uint16_t index, uint32_t subIndex) const;
    // SDO abort from the client (CiA 301 abort transfer, 0x80): the object's
    // index and sub-index, then the abort code, least significant byte
    // first, on 0x600+node.
    bool sdoAbortMsgCreat(QUserCanMsg &msg, int node, uint16_t index, uint32_t subIndex, uint32_t abortCode) const;
    // The SDO request for one item of an SDO transfer list: an upload when
    // isRead, else an expedited download of curValue sized by the data type.
    // False (nothing built, one log line) for a download of a type outside
    // 1..8, which no expedited transfer carries.
    bool sdoDictObjMsgCreat(QUserCanMsg &msg, int node, const QUserDictObj &obj) const;
    // TIME (identifier 0x100, 6 bytes): milliseconds after midnight, then
    // days since 1984-01-01. Dates from 1984-01-01 to 2163-06-06 (the end of
    // the 16-bit day count); others are refused.
    bool timeSyncMsgCreat(QUserCanMsg &msg, int year, int month, int day, int hour, int minute, int second) const;

    // ---- SDO answers ----------------------------------------------------
    // An expedited upload answer (0x43/47/4B/4F, or 0x42 without size
    // indication: four bytes, len 4) or a download confirmation (0x60) on
    // 0x580-0x5FF. White space is removed from msg's data text.
    bool sdoResponseParse(QUserCanMsg &msg, uint8_t &node, bool &isWrite, uint16_t &index, uint16_t &subIndex,
                          uint32_t &len, uint32_t &value) const;
    // The same; *sizeIndicated (when given) tells an upload answer that
    // carried its size from one that left it to the object's data type.
    bool sdoResponseParse(QUserCanMsg &msg, uint8_t &node, bool &isWrite, uint16_t &index, uint16_t &subIndex,
                          uint32_t &len, uint32_t &value, bool *sizeIndicated) const;
    // An initiate upload answer that opens a segmented transfer (scs 2, e=0:
    // 0x40, or 0x41 with the size in bytes 4-7): the object does not fit an
    // expedited transfer. *size (when given) gets the size indicated, 0
    // when none is.
    bool sdoSegmentedUploadParse(const QUserCanMsg &msg, uint8_t &node, uint16_t &index, uint16_t &subIndex,
                                 uint32_t *size = nullptr) const;
    // An abort (0x80) on 0x580-0x5FF with its four code bytes.
    bool sdoAbortParse(const QUserCanMsg &msg, uint8_t &node, uint16_t &index, uint16_t &subIndex,
                       uint32_t &abortCode) const;
    // CiA 301 abort code "unsupported access to an object".
    static constexpr uint32_t kAbortUnsupportedAccess = 0x06010000;
    // The words of a CiA 301 SDO abort code ("未知错误" for others).
    static QString sdoAbortText(uint32_t abortCode);

    void nodeIdFormatSet(int format) { nodeIdFormat = format; }

    // ---- decoding -------------------------------------------------------
    // Replace text with the one-line description; false (text untouched)
    // when the frame is not a CANopen object this class knows.
    bool msgAnalysis(const QUserCanMsg &msg, QString &text) const;
    bool isNmtClassMsg(const QUserCanMsg &msg, const QString &channel = QString());
    bool heartBeatStateUpdate(const QUserCanMsg &msg, const QString &channel = QString());

    bool nmtMsgAnalysis(const QUserCanMsg &msg, QString &text) const;
    bool emergMsgAnalysis(const QUserCanMsg &msg, QString &text) const;
    static bool timeMsgAnalysis(const QUserCanMsg &msg, QString &text);
    bool heartBeatMsgAnalysis(const QUserCanMsg &msg, QString &text) const;
    bool pdoMsgAnalysis(const QUserCanMsg &msg, QString &text) const;
    bool sdoResponseMsgAnalysis(const QUserCanMsg &msg, QString &text) const;
    bool sdoRequestMsgAnalysis(const QUserCanMsg &msg, QString &text) const;

    // ---- calendar (epoch 1984-01-01, Gregorian) ---------------------------
    static uint32_t dateTimeToSeconds(const CANopenDateTime &dt);
    static uint32_t secondsToDays(uint32_t seconds);
    static void daysToDate(uint16_t days, CANopenDateTime &dt);
    static void daysToDate32(uint32_t days, int &year, int &month, int &day);
    static void secondsToDateTime(uint32_t seconds, CANopenDateTime &dt);
    static bool isLeapYear(int year);

private:
    struct NodeStates
    {
        int8_t state[128];
        NodeStates();
    };
    QHash<QString, NodeStates> nodeStates;

    QString nodeText(uint32_t node) const;
    QString sdoNodeText(uint32_t node) const;
    bool sdoAnalysis(const QUserCanMsg &msg, bool request, QString &text) const;
};
