#pragma once
// Writing a data tab's frames into an ASC or BLF trace file, and asking the
// user for the name of such a file.
//
// The frames are written on a worker thread while the GUI thread waits in a
// local event loop that leaves user input for later. A tab's frames come as
// a snapshot of its compact records, and the worker makes the frame records
// from them too, so the GUI thread only copies blocks: queued batches of
// received frames keep reaching their tabs during the save, the window
// repaints, and a save that takes longer than half a second shows its
// progress. Every write and the closing flush are checked, so a full disk,
// a folder removed underneath or a lost permission ends as a failure.

#include "core/QUserCanMsg.h"
#include "mainwindow/QUserCanFrameSnapshot.h"

#include <QString>
#include <QVector>

#include <functional>

class QWidget;

class QUserTraceSave
{
public:
    enum Result { Saved = 0, CreateFailed, WriteFailed };

    // A save shows its progress once it has run this long.
    static constexpr int kProgressDelayMs = 500;
    // The file dialog's filter; its first entry is the default one.
    static const char *kFilter;

    // Asks for a file name through the prompt seam (caption "另存为", start
    // folder "../"). A name typed without a suffix gets the suffix of the
    // chosen filter, as the platform's own dialogs do; empty when cancelled.
    static QString fileNameAsk(QWidget *parent);
    // The name with the chosen filter's suffix ("ASC File(*.asc)" gives
    // ".asc") when it has none of its own; the filter's first pattern counts,
    // and an empty or pattern-less filter gives ".asc".
    static QString suffixApply(const QString &name, const QString &selectedFilter);

    // progressParent: the window the progress dialog stands over (may be null).
    explicit QUserTraceSave(QWidget *progressParent = nullptr) : parent(progressParent) {}

    // Creates the file and writes every frame of the list in order. Frames
    // written so far go to written (all of them on success).
    Result save(const QString &name, const QVector<QUserCanMsg> &frames);
    // The same for a tab's snapshot, which the save takes over: the worker
    // puts a merged view's entries in time order (each keeps its own time in
    // the file), makes the frame records and gives the snapshot's memory
    // back.
    Result save(const QString &name, QUserCanFrameSnapshot &&frames);

    int writtenCount() const { return written; }
    // Whether the last save took long enough to show its progress.
    bool progressShown() const { return shown; }

private:
    // Writes frames 0 .. count-1 as frameAt gives them, on the worker;
    // prepare runs there before the first one, release after the last one.
    Result run(const QString &name, int count, const std::function<QUserCanMsg(int)> &frameAt,
               const std::function<void()> &prepare, const std::function<void()> &release);

    QWidget *parent = nullptr;
    int written = 0;
    bool shown = false;
};
