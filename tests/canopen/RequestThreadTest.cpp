// The CANopen request thread on its own: its loop turns driven by the test
// (the thread is not started) against a device that records what it is
// handed, and answers fed in as received frames. The host clock is the
// test's (ManualHostClock): it stands still unless a test moves it, so the
// time-outs of 200 ms happen exactly where a test says, and nowhere else
// however slowly the machine turns the loop.
#include "canopen/QUserCANopenPrj.h"
#include "canopen/windows/QUserCANopenThread.h"
#include "canopen/QUserEdsParser.h"
#include "devices/QUserDeviceAdapter.h"
#include "tests/devices/FakeDevice.h"

#include "tests/canopen/CanopenTestUtil.h"
#include "tests/support/ManualHostClock.h"
#include "tests/support/TempWorkDir.h"

#include <QElapsedTimer>
#include <QSemaphore>

#include <atomic>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace {

const QString kDev = QStringLiteral("TRNA702-0-0");

QUserDictObj object(uint32_t index, uint32_t sub, bool read, uint32_t value = 0, uint16_t type = 7)
{
    QUserDictObj o;
    o.index = index;
    o.subIndex = sub;
    o.isRead = read;
    o.curValue = value;
    o.DataType = type;
    return o;
}

// An expedited SDO answer of a node as it arrives: upload (4 value bytes)
// or download confirmation, or an abort.
QUserCanMsg answer(int node, uint8_t cmd, uint16_t index, uint8_t sub, uint32_t value)
{
    QString data = QString::asprintf("%02X%02X%02X%02X", cmd, index & 0xFF, index >> 8, sub);
    for (int i = 0; i < 4; ++i)
        data += QString::asprintf("%02X", (value >> (8 * i)) & 0xFF);
    QUserCanMsg m(QString::asprintf("%08X ", 0x580 + node), false, false, QStringLiteral("8"), data);
    m.direction = 0;
    return m;
}
QUserCanMsg upload(int node, uint16_t index, uint8_t sub, uint32_t value)
{
    return answer(node, 0x43, index, sub, value);
}
QUserCanMsg confirm(int node, uint16_t index, uint8_t sub)
{
    return answer(node, 0x60, index, sub, 0);
}
QUserCanMsg abortFrame(int node, uint16_t index, uint8_t sub, uint32_t code)
{
    return answer(node, 0x80, index, sub, code);
}

class ThreadRig
{
public:
    ThreadRig()
    {
        dev = new FakeDevice;
        reg.deviceReplace(QStringLiteral("TRNA702"), dev);
        QObject::connect(
            &th, &QUserCANopenThread::progressNotice, &ctx,
            [this](void *p, int phase, int) { notices.append({p, phase}); }, Qt::DirectConnection);
        QObject::connect(
            &th, &QUserCANopenThread::dictObjValueChangeNotice, &ctx,
            [this](quint32 i, quint32 s, bool w, quint32 v, quint32 size) { values.append({i, s, w, v, size}); },
            Qt::DirectConnection);
    }
    ~ThreadRig()
    {
        th.stop();
        qDeleteAll(params);
    }

    QUserCANopenReqPara *para(int kind)
    {
        auto *p = new QUserCANopenReqPara;
        p->kind = kind;
        p->devId = kDev;
        p->adapter = &reg;
        p->thread = &th;
        params.append(p);
        return p;
    }
    QUserCANopenReqPara *post(int type, QUserCANopenReqPara *p)
    {
        auto *r = new QUserCANopenReq;
        r->type = type;
        r->param = p;
        th.reqPost(r);
        return p;
    }
    QUserCANopenReqPara *sdo(const QVector<QUserDictObj> &list, int node = 5)
    {
        QUserCANopenReqPara *p = para(5);
        p->sdoList = new QVector<QUserDictObj>(list);
        p->nodeId = uint8_t(node);
        return post(QUserCANopenThread::ReqSdoTransfer, p);
    }
    void receive(const QUserCanMsg &frame)
    {
        QUserCANopenReqPara *p = para(6);
        p->rxFrame = frame;
        post(QUserCANopenThread::ReqCanMsgRec, p);
    }
    // One turn of the loop, as run() does it.
    void turn()
    {
        th.reqFinishNotice();
        th.sdoTransferStep();
        th.reqProcessOne();
    }
    void turns(int n)
    {
        for (int i = 0; i < n; ++i)
            turn();
    }
    // Turns until the parameter record's finish notice, or ms pass.
    bool runUntilFinished(QUserCANopenReqPara *p, int ms = testsupport::kGiveUpMs)
    {
        QElapsedTimer t;
        t.start();
        while (!finished(p)) {
            if (t.elapsed() > ms)
                return false;
            turn();
            QThread::usleep(200);
        }
        return true;
    }
    bool finished(QUserCANopenReqPara *p) const
    {
        for (const auto &n : notices)
            if (n.first == p && n.second == 1)
                return true;
        return false;
    }
    // SDO requests the device was handed for a node.
    int sdoSends(int node = 5) const
    {
        int n = 0;
        for (const auto &s : dev->sent)
            n += s.msg.getId() == 0x600 + node;
        return n;
    }

    struct Value {
        quint32 index, sub;
        bool write;
        quint32 value;
        quint32 size; // bytes the answer indicated, 0 none
    };
    testsupport::ManualHostClockScope clock; // first in, last out
    QObject owner;
    QUserDeviceAdapter reg{&owner};
    FakeDevice *dev = nullptr;
    QUserCANopenThread th;
    QObject ctx;
    QVector<QPair<void *, int>> notices;
    QVector<Value> values;
    QList<QUserCANopenReqPara *> params;
};

} // namespace

// ---- SDO client ------------------------------------------------------------------------

// Read, then write: the upload answer's value lands in the list, the
// download confirmation leaves the written value; one send each.
TEST(RequestThread, SdoListReadsAndWritesObjectByObject)
{
    ThreadRig r;
    QUserCANopenReqPara *p = r.sdo({object(0x2001, 0, true), object(0x2002, 0, false, 0xCAFE)});
    r.turns(3); // take the list, idle -> send, send
    ASSERT_EQ(r.sdoSends(), 1);
    EXPECT_EQ(r.dev->sent.last().msg.dataText.toUpper().remove(' ').left(8), QStringLiteral("40012000"));
    r.turn(); // the step sees the wait state
    r.receive(upload(5, 0x2001, 0, 0x1234));
    r.turns(6);
    ASSERT_EQ(r.sdoSends(), 2);
    r.receive(confirm(5, 0x2002, 0));
    ASSERT_TRUE(r.runUntilFinished(p));
    EXPECT_EQ(p->result, 0);
    EXPECT_EQ(r.sdoSends(), 2);
    EXPECT_EQ(p->sdoList->at(0).curValue, 0x1234u);
    EXPECT_EQ(p->sdoList->at(1).curValue, 0xCAFEu);
    EXPECT_EQ(r.dev->sent.last().msg.dataText.toUpper().remove(' '), QStringLiteral("23022000FECA0000"));
}

TEST(RequestThread, EmptyListFinishesAtOnce)
{
    ThreadRig r;
    QUserCANopenReqPara *p = r.sdo({});
    r.turns(3);
    EXPECT_TRUE(r.finished(p));
    EXPECT_EQ(p->result, 0);
    EXPECT_EQ(r.sdoSends(), 0);
}

// The first object answers on its second try; the next object then starts
// with three fresh tries (it is answered on its third). A try is repeated
// once more than 200 ms have passed since it was sent, not before.
TEST(RequestThread, RetriesAfter200MsAndGivesEachObjectThreeTries)
{
    ThreadRig r;
    QUserCANopenReqPara *p = r.sdo({object(0x2001, 0, true), object(0x2002, 0, true)});
    // Moves the clock by ms and turns the loop a few times: the sends then.
    auto after = [&](int ms) {
        r.clock->advance(ms);
        r.turns(3);
        return r.sdoSends();
    };
    r.turns(3);
    ASSERT_EQ(r.sdoSends(), 1);
    EXPECT_EQ(after(200), 1) << "tried again at 200 ms";
    EXPECT_EQ(after(1), 2);
    r.receive(upload(5, 0x2001, 0, 7));
    r.turns(6);
    ASSERT_EQ(r.sdoSends(), 3) << "the second object, at once";
    EXPECT_EQ(after(200), 3);
    EXPECT_EQ(after(1), 4);
    EXPECT_EQ(after(200), 4);
    EXPECT_EQ(after(1), 5); // its third try
    r.receive(upload(5, 0x2002, 0, 8));
    ASSERT_TRUE(r.runUntilFinished(p));
    EXPECT_EQ(p->result, 0);
    EXPECT_EQ(r.sdoSends(), 5);
    EXPECT_EQ(p->sdoList->at(1).curValue, 8u);
}

// Three sends 201 ms apart (a try ends once more than 200 ms have passed),
// then the transfer ends with result 6 when the third has waited as long;
// the objects after the one that failed are not sent.
TEST(RequestThread, TimesOutAfterThreeTriesOf200Ms)
{
    ThreadRig r;
    const int64_t t0 = r.clock->peekMs();
    QUserCANopenReqPara *p = r.sdo({object(0x2001, 0, true), object(0x2002, 0, true)});
    r.turns(3);
    ASSERT_EQ(r.sdoSends(), 1);
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        r.clock->advance(200);
        r.turns(3);
        EXPECT_FALSE(r.finished(p));
        EXPECT_EQ(r.sdoSends(), k);
        r.clock->advance(1);
        r.turns(3);
        EXPECT_EQ(r.finished(p), k == 3);
    }
    EXPECT_EQ(p->result, QUserCANopenThread::ResultSdoTimeout);
    EXPECT_EQ(p->sdoPos, 0);
    EXPECT_EQ(r.sdoSends(), 3);
    ASSERT_EQ(r.dev->sent.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(r.dev->sent[i].atMs - t0, 201 * i) << i;
}

// Answers of another node, index or sub-index are announced but do not
// advance the transfer.
TEST(RequestThread, ForeignAnswersAreAnnouncedButDoNotCount)
{
    ThreadRig r;
    QUserCANopenReqPara *p = r.sdo({object(0x2001, 0, true)});
    r.turns(4);
    ASSERT_EQ(r.sdoSends(), 1);
    r.receive(upload(6, 0x2001, 0, 1)); // another node
    r.receive(upload(5, 0x2002, 0, 2)); // another index
    r.receive(upload(5, 0x2001, 1, 3)); // another sub-index
    r.turns(6);
    EXPECT_FALSE(r.finished(p));
    EXPECT_EQ(p->sdoList->at(0).curValue, 0u);
    ASSERT_EQ(r.values.size(), 3);
    EXPECT_EQ(r.values[0].value, 1u);
    EXPECT_EQ(r.values[1].index, 0x2002u);
    EXPECT_EQ(r.values[2].sub, 1u);
    r.receive(upload(5, 0x2001, 0, 4));
    ASSERT_TRUE(r.runUntilFinished(p));
    EXPECT_EQ(p->sdoList->at(0).curValue, 4u);
    EXPECT_EQ(r.sdoSends(), 1);
}

// The node may answer before the loop's next step: an answer taken from
// the queue in the same turn as the send counts, for every object of the
// list, and no try is repeated. (Such answers used to be dropped, so a fast
// node timed out after three answered tries.)
TEST(RequestThread, AnswerInTheTurnOfTheSendCounts)
{
    ThreadRig r;
    QUserCANopenReqPara *p = r.sdo({object(0x2001, 0, true), object(0x2002, 0, false, 0x55)});
    r.turns(2); // taken; idle -> send
    r.receive(upload(5, 0x2001, 0, 9));
    r.turn(); // sends, then takes the answer in the same turn
    ASSERT_EQ(r.sdoSends(), 1);
    r.turns(2); // the first object is done; idle -> send for the second
    r.receive(confirm(5, 0x2002, 0));
    r.turn();
    ASSERT_EQ(r.sdoSends(), 2);
    r.turns(2);
    EXPECT_TRUE(r.finished(p));
    EXPECT_EQ(p->result, 0);
    EXPECT_EQ(p->sdoList->at(0).curValue, 9u);
    EXPECT_EQ(p->sdoList->at(1).curValue, 0x55u);
    EXPECT_EQ(r.sdoSends(), 2);
}

// A node that always answers within the turn of the send: the whole list
// completes with one send per object, the loop running as fast as it can.
TEST(RequestThread, NodeThatAnswersAtOnceNeverTimesOut)
{
    ThreadRig r;
    QVector<QUserDictObj> list;
    for (uint32_t i = 0; i < 20; ++i)
        list.append(object(0x2000 + i, 0, true));
    QUserCANopenReqPara *p = r.sdo(list);
    QElapsedTimer t;
    t.start();
    int answered = 0;
    while (!r.finished(p) && t.elapsed() < testsupport::kGiveUpMs) {
        r.th.reqFinishNotice();
        r.th.sdoTransferStep();
        // Answer each request as soon as it is handed to the device, ahead
        // of the queue take of this turn.
        while (answered < r.sdoSends()) {
            const QByteArray d = QByteArray::fromHex(r.dev->sent[answered].msg.dataText.toLatin1());
            ASSERT_GE(d.size(), 4);
            const uint16_t index = uint16_t(uint8_t(d[1]) | (uint8_t(d[2]) << 8));
            r.receive(upload(5, index, uint8_t(d[3]), index));
            ++answered;
        }
        r.th.reqProcessOne();
    }
    ASSERT_TRUE(r.finished(p));
    EXPECT_EQ(p->result, 0);
    EXPECT_EQ(r.sdoSends(), 20);
    for (int i = 0; i < list.size(); ++i)
        EXPECT_EQ(p->sdoList->at(i).curValue, 0x2000u + uint32_t(i)) << i;
}

// An abort of the object in flight ends the transfer at once with its own
// result and code: no further try, no time-out (the clock does not move).
TEST(RequestThread, AbortOfTheObjectInFlightEndsTheTransferAtOnce)
{
    ThreadRig r;
    QUserCANopenReqPara *p = r.sdo({object(0x2003, 0, false, 1, 5), object(0x2001, 0, true)});
    r.turns(4);
    ASSERT_EQ(r.sdoSends(), 1);
    r.receive(abortFrame(5, 0x2003, 0, 0x06010002));
    ASSERT_TRUE(r.runUntilFinished(p));
    EXPECT_EQ(p->result, QUserCANopenThread::ResultSdoAborted);
    EXPECT_EQ(p->abortCode, 0x06010002u);
    EXPECT_EQ(p->sdoPos, 0);
    EXPECT_EQ(r.sdoSends(), 1);
    EXPECT_TRUE(r.values.isEmpty()); // an abort is no value
}

// Aborts that are not about the object in flight change nothing.
TEST(RequestThread, ForeignAbortsAreIgnored)
{
    ThreadRig r;
    QUserCANopenReqPara *p = r.sdo({object(0x2001, 0, true)});
    r.turns(4);
    r.receive(abortFrame(6, 0x2001, 0, 0x06020000));
    r.receive(abortFrame(5, 0x2002, 0, 0x06020000));
    r.turns(4);
    EXPECT_FALSE(r.finished(p));
    r.receive(upload(5, 0x2001, 0, 1));
    ASSERT_TRUE(r.runUntilFinished(p));
    EXPECT_EQ(p->result, 0);
}

// A node that answers a read with a segmented upload (initiate answer with
// e=0: the object is longer than four bytes) has answered: the read ends at
// once, refused as no expedited transfer carries the object, and the
// transfer the node opened is closed with the CiA 301 abort frame on
// 0x600+node: 80, index low and high byte, sub-index, then the code
// 0x06010000 ("unsupported access to an object") low byte first.
TEST(RequestThread, SegmentedAnswerIsAbortedAndRefused)
{
    for (uint8_t cmd : {uint8_t(0x41), uint8_t(0x40)}) { // size indicated, and not
        SCOPED_TRACE(int(cmd));
        ThreadRig r;
        QUserCANopenReqPara *p = r.sdo({object(0x1008, 0, true, 0, 9), object(0x2001, 0, true)});
        r.turns(4);
        ASSERT_EQ(r.sdoSends(), 1);
        // Another object's or node's segmented answer is not ours to end.
        r.receive(answer(5, 0x41, 0x1009, 0, 9));
        r.receive(answer(6, 0x41, 0x1008, 0, 9));
        r.turns(4);
        EXPECT_FALSE(r.finished(p));
        EXPECT_EQ(r.sdoSends(), 1);
        r.receive(answer(5, cmd, 0x1008, 0, cmd == 0x41 ? 9 : 0));
        ASSERT_TRUE(r.runUntilFinished(p));
        EXPECT_EQ(p->result, QUserCANopenThread::ResultSdoRefused);
        EXPECT_EQ(p->sdoPos, 0);
        ASSERT_EQ(r.sdoSends(), 2) << "the request and the abort, no second try";
        EXPECT_EQ(r.dev->sent.last().msg.getId(), 0x605);
        EXPECT_EQ(r.dev->sent.last().msg.dataText.toUpper().remove(' '), QStringLiteral("8008100000000106"));
        EXPECT_TRUE(r.values.isEmpty());
    }
}

// An answer without size indication (0x42) carries four bytes. The one for
// the read in flight comes back cut to the object's size; any other says
// that it left its size to the object (0), so that who knows the object can
// cut it; sized answers tell their size.
TEST(RequestThread, UnsizedAnswersSayWhetherTheyWereCut)
{
    ThreadRig r;
    QUserCANopenReqPara *p = r.sdo({object(0x2001, 0, true, 0, 6 /* UNSIGNED16 */)});
    r.turns(4);
    ASSERT_EQ(r.sdoSends(), 1);
    r.receive(answer(5, 0x42, 0x2000, 0, 0xA5A5A512)); // not in flight
    r.receive(answer(5, 0x4B, 0x2002, 0, 0x1234));
    r.receive(answer(5, 0x42, 0x2001, 0, 0xA5A51234));
    ASSERT_TRUE(r.runUntilFinished(p));
    EXPECT_EQ(p->result, 0);
    EXPECT_EQ(p->sdoList->at(0).curValue, 0x1234u);
    ASSERT_EQ(r.values.size(), 3);
    EXPECT_EQ(r.values[0].value, 0xA5A5A512u);
    EXPECT_EQ(r.values[0].size, 0u);
    EXPECT_EQ(r.values[1].size, 2u);
    EXPECT_EQ(r.values[2].value, 0x1234u);
    EXPECT_EQ(r.values[2].size, 4u);
}

// A write of an object that is not 1-4 bytes is no expedited transfer: the
// list ends with its own result and nothing is sent.
TEST(RequestThread, ObjectThatNoExpeditedTransferCarriesIsRefused)
{
    ThreadRig r;
    QUserCANopenReqPara *p = r.sdo({object(0x2010, 0, false, 1, 9 /* VISIBLE_STRING */)});
    ASSERT_TRUE(r.runUntilFinished(p));
    EXPECT_EQ(p->result, QUserCANopenThread::ResultSdoRefused);
    EXPECT_EQ(r.sdoSends(), 0);
}

// A second list posted while one runs waits for its turn.
TEST(RequestThread, SecondListWaitsForTheFirst)
{
    ThreadRig r;
    QUserCANopenReqPara *a = r.sdo({object(0x2001, 0, true)});
    QUserCANopenReqPara *b = r.sdo({object(0x2002, 0, true)});
    r.turns(5);
    ASSERT_EQ(r.sdoSends(), 1);
    r.receive(upload(5, 0x2001, 0, 1));
    ASSERT_TRUE(r.runUntilFinished(a));
    r.turns(4);
    EXPECT_EQ(r.sdoSends(), 2);
    r.receive(upload(5, 0x2002, 0, 2));
    ASSERT_TRUE(r.runUntilFinished(b));
    EXPECT_EQ(a->sdoList->at(0).curValue, 1u);
    EXPECT_EQ(b->sdoList->at(0).curValue, 2u);
}

// ---- the other requests ------------------------------------------------------------------

// The pause is a sleep of the machine's: only lower bounds, on its clock.
TEST(RequestThread, FrameListIsPacedAfterEveryFrame)
{
    ThreadRig r;
    QUserHostClockScope machine(nullptr);
    QUserCANopenReqPara *p = r.para(0);
    p->paceMs = 10;
    for (int i = 0; i < 3; ++i)
        p->frames.append(QUserCanMsg(QString::number(0x100 + i, 16), false, false, "1", "00"));
    QElapsedTimer t;
    t.start();
    r.post(0, p);
    r.turn();
    EXPECT_GE(t.elapsed(), 30);
    ASSERT_EQ(r.dev->sent.size(), 3);
    EXPECT_GE(r.dev->sent[2].atMs - r.dev->sent[0].atMs, 20);
    r.turn();
    EXPECT_TRUE(r.finished(p));
    EXPECT_EQ(p->result, 0);
}

TEST(RequestThread, LoadAndSaveResults)
{
    TempWorkDir dir;
    ThreadRig r;
    QUserEdsParser parser;

    QUserCANopenReqPara *good = r.para(1);
    good->parser = &parser;
    good->filePath = cotest::edsPath("drive.eds");
    QUserCANopenReqPara *missing = r.para(1);
    missing->parser = &parser;
    missing->filePath = QStringLiteral("no-such.eds");
    QUserCANopenReqPara *noParser = r.para(1);
    QUserCANopenReqPara *saveBare = r.para(3);
    saveBare->project = new QUserCANopenPrj;
    QUserCANopenReqPara *save = r.para(3);
    save->project = new QUserCANopenPrj;
    save->filePath = QString::fromStdString(dir.file("p.prj"));
    save->edsPath = good->filePath;
    save->listenList = new QVector<QUserDictObj>{object(0x2001, 0, true)};
    save->rxPdoList = new QVector<QUserDictObj>;
    save->txPdoList = new QVector<QUserDictObj>;
    QUserCANopenReqPara *load = r.para(2);
    load->project = new QUserCANopenPrj;
    load->filePath = save->filePath;
    QUserCANopenReqPara *loadBad = r.para(2);
    loadBad->project = new QUserCANopenPrj;
    loadBad->filePath = QStringLiteral("missing.prj");

    for (auto *p : {good, missing, noParser})
        r.post(1, p);
    for (auto *p : {saveBare, save})
        r.post(3, p);
    for (auto *p : {load, loadBad})
        r.post(2, p);
    r.turns(20);
    EXPECT_EQ(good->result, 0);
    EXPECT_FALSE(parser.dictObjList.isEmpty());
    EXPECT_EQ(missing->result, QUserCANopenThread::ResultLoadFail);
    EXPECT_EQ(noParser->result, QUserCANopenThread::ResultLoadFail);
    EXPECT_EQ(saveBare->result, QUserCANopenThread::ResultSaveFail);
    EXPECT_EQ(save->result, 0);
    EXPECT_EQ(load->result, 0);
    QList<QUserDictObj> listen;
    load->project->listenDictObjListGet(listen);
    ASSERT_EQ(listen.size(), 1);
    EXPECT_EQ(listen[0].index, 0x2001u);
    EXPECT_EQ(loadBad->result, QUserCANopenThread::ResultLoadFail);
    // Started and finished notices for every request, in the order taken.
    EXPECT_EQ(r.notices.size(), 14);
}

// ---- thread life -------------------------------------------------------------------------

// stop() acknowledges through the loop and returns only when it has ended;
// the destructor of a running thread does the same and frees what it held.
// The transfer in hand is never answered, and cannot time out either (the
// clock stands still): a stop that waited for it would not return.
TEST(RequestThread, StopEndsTheLoopAndDestructionWaits)
{
    auto *r = new ThreadRig;
    r->th.start();
    QUserCANopenReqPara *p = r->sdo({object(0x2001, 0, true)}); // never answered
    ASSERT_TRUE(testsupport::waitUntilReal([&] {
        QMutexLocker lock(&r->dev->mutex);
        return !r->dev->sent.isEmpty();
    })) << "the loop never sent the request";
    r->th.stop();
    EXPECT_TRUE(r->th.isFinished());
    const int sends = r->sdoSends();
    QThread::msleep(250);
    EXPECT_EQ(r->sdoSends(), sends); // nothing runs any more
    (void)p;
    delete r;
}

TEST(RequestThread, DestroyingARunningThreadStopsItFirst)
{
    testsupport::ManualHostClockScope clock; // the transfer cannot time out
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    auto *dev = new FakeDevice;
    reg.deviceReplace(QStringLiteral("TRNA702"), dev);
    auto *th = new QUserCANopenThread;
    th->start();
    auto *p = new QUserCANopenReqPara;
    p->kind = 5;
    p->devId = kDev;
    p->adapter = &reg;
    p->nodeId = 5;
    p->sdoList = new QVector<QUserDictObj>{object(0x2001, 0, true)};
    auto *req = new QUserCANopenReq;
    req->type = QUserCANopenThread::ReqSdoTransfer;
    req->param = p;
    th->reqPost(req);
    ASSERT_TRUE(testsupport::waitUntilReal([&] {
        QMutexLocker lock(&dev->mutex);
        return !dev->sent.isEmpty();
    })) << "the loop never sent the request";
    delete th; // the loop must have ended before the members go
    QMutexLocker lock(&dev->mutex);
    const int sends = dev->sent.size();
    lock.unlock();
    QThread::msleep(250);
    lock.relock();
    EXPECT_EQ(dev->sent.size(), sends);
    EXPECT_GE(sends, 1);
    delete p;
}

// A posted record belongs to the running thread at once: posting never
// reads it again (the thread may have finished and freed it already).
TEST(RequestThread, PostingToARunningThreadLeavesTheRecordAlone)
{
    QUserCANopenThread th;
    QObject ctx;
    std::atomic<int> finished{0};
    QObject::connect(
        &th, &QUserCANopenThread::progressNotice, &ctx,
        [&](void *p, int phase, int) {
            if (phase == 1 && p)
                ++finished;
        },
        Qt::DirectConnection);
    th.start();
    const int n = 20000;
    std::vector<std::unique_ptr<QUserCANopenReqPara>> params;
    params.reserve(n);
    for (int i = 0; i < n; ++i) {
        params.emplace_back(new QUserCANopenReqPara);
        params.back()->kind = 6;
        auto *req = new QUserCANopenReq;
        req->type = QUserCANopenThread::ReqCanMsgRec;
        req->param = params.back().get();
        ASSERT_TRUE(th.reqPost(req));
    }
    QElapsedTimer t;
    t.start();
    while (finished.load() < n && t.elapsed() < 3 * testsupport::kGiveUpMs)
        QThread::msleep(2);
    th.stop();
    EXPECT_EQ(finished.load(), n);
}
