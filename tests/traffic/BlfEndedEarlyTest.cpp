// "Ended early" (the file is shorter than its header says, so frames are
// missing from its end) for our own recordings, in every state a kill can
// leave them in: the recording replayed write by write through binlog's
// writer, each state read through QUserBlfFile as playback and the viewer
// read it.

#include "tests/binlog/BlfStateCheck.h"
#include "traffic/QUserBlfFile.h"
#include "tests/support/TempWorkDir.h"

#include <gtest/gtest.h>

#include <iostream>

namespace {

struct Read {
    int opened = 0; // the first call's result: -1 when the file does not open
    int64_t frames = 0;
    bool inOrder = true;
    bool endedEarly = false;
    quint32 damaged = 0;
};

Read readThrough(const QString &path)
{
    Read r;
    QUserBlfFile f;
    QList<QUserCanMsg> frames;
    int n = f.fileReadPart(path, frames, 16);
    r.opened = n;
    while (n >= 16)
        n = f.fileReadPart(path, frames, 16);
    r.endedEarly = f.endedEarly();
    r.damaged = f.damagedPlaces();
    f.close();
    for (int i = 0; i < frames.size(); ++i) {
        if (frames[i].idText.trimmed().toUInt(nullptr, 16) != (uint(i) & 0x7FF))
            r.inOrder = false;
    }
    r.frames = frames.size();
    return r;
}

} // namespace

class BlfEndedEarly : public WorkDirTest
{
};

// Recordings as QUserBlfFile writes them (a trigger and a frame, a flush
// every 100 frames; closed with a flush and the close): every state before
// the close has completed, the close window with its deflating, cut and
// header among them, reads as ended early; the closed file does not. So does
// a recording that never took a frame. A recording stopped by a failed
// write is not whole either: it reads as ended early after its close. None
// of them reads as damaged.
TEST_F(BlfEndedEarly, EveryStateBeforeTheCloseEndedEarlyAndTheClosedFileNot)
{
    struct Case {
        blfstate::Recording rec;
        size_t failAt; // a write that fails with the disk full, or none
    };
    const Case cases[] = {
        {{"4 KiB containers", 6, 4096, 1500, 100, true, false, true}, ~size_t(0)},
        {{"default containers", 6, 0, 12000, 100, true, false, true}, ~size_t(0)},
        {{"stored", 0, 4096, 600, 100, true, false, true}, ~size_t(0)},
        {{"no frame", 6, 0, 0, 100, true, false, true}, ~size_t(0)},
        {{"the disk full at write 150", 6, 4096, 1500, 100, true, false, true}, 150},
    };
    const std::string path = workDir.file("state.blf");
    const QString qpath = QString::fromStdString(path);
    size_t total = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rec.name);
        blfstate::TestIo io;
        if (c.failAt != ~size_t(0))
            io.failWrite(c.failAt, blfstate::TestIo::Fault::NoSpace);
        blfstate::Driven d;
        {
            blfstate::Installed installed(&io, 0);
            d = blfstate::drive(c.rec, workDir.file("recorded.blf"), io);
        }
        const bool whole = c.failAt == ~size_t(0);
        ASSERT_EQ(d.closeOk, whole);
        const auto log = io.log();
        int wrong = 0;
        const size_t states = blfstate::forEachState(
            log, d, path,
            [&](const craft::Bytes &image, const blfstate::State &s) {
                if (image.empty())
                    return; // created, nothing written yet: no trace file
                const Read r = readThrough(qpath);
                const bool early = !(s.last && whole);
                if (r.opened < 0 || !r.inOrder || r.frames < s.mustHave || r.endedEarly != early || r.damaged != 0) {
                    if (++wrong <= 5)
                        ADD_FAILURE() << "after " << s.ops << " of " << log.size() << " writes"
                                      << (s.cut ? " and a part of the next" : "") << ": " << r.frames << " frames ("
                                      << s.mustHave << " flushed), ended early " << r.endedEarly << ", expected "
                                      << early << ", " << r.damaged << " damaged places; header claims "
                                      << blfstate::declaredSize(image) << " of " << image.size() << " bytes";
                }
            },
            4096);
        EXPECT_EQ(wrong, 0) << "states told wrong";
        total += states;
    }
    std::cout << total << " states told apart" << std::endl;
}
