#pragma once
// ASC trace files: one text line per classic or CAN FD frame. The writer lays
// out every line with fixed blank fill; the reader takes the frame lines of
// such files (ours and other tools') and skips everything else.
// Frames read carry, like those read from BLF, the CAN FD flag byte of a
// frame to send (bit 0 bit-rate switch, bit 1 error-state indicator), so
// that playback sends them as recorded.

#include "core/QUserCanMsg.h"
#include "traffic/QUserTraceClock.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

class QUserAscFile
{
public:
    QUserAscFile();
    ~QUserAscFile();
    QUserAscFile(const QUserAscFile &) = delete;
    QUserAscFile &operator=(const QUserAscFile &) = delete;

    // Creates (truncates) the file and writes the four header lines.
    bool fileCreate(const QString &name);
    // One frame line. False when no file is open for writing or the data
    // could not be handed to the file.
    bool write(const QUserCanMsg &msg);
    // The line write() would produce (start time and counter advance too).
    QString msgToLine(const QUserCanMsg &msg, bool &ok);
    // Hands buffered lines to the file; false when the file refuses them.
    bool flush();
    // Writes the end line for a created file and closes; false when the last
    // lines could not be written. True when nothing was open.
    bool close();

    // Batched read: opens the file on the first call, continues on later
    // ones; at most maxCount frames (at least one is taken even for a limit
    // of 0 or less). Returns the number appended; 0 when it cannot open.
    int fileReadPart(const QString &name, QList<QUserCanMsg> &frames, int maxCount);
    // Whole file; 0, or -1 when it cannot open. The file stays open.
    int fileRead(const QString &name, QList<QUserCanMsg> &frames);

    // The two line parsers over the line's white-space separated parts.
    static bool lineToCanMsg(const QStringList &parts, QUserCanMsg &msg);
    static bool lineToCanFdMsg(const QStringList &parts, QUserCanMsg &msg);

    bool isOpen() const { return m_open; }

    // What reading the file last opened for reading met besides its frames
    // (kept after close):
    // - lines that do not parse where frames stand: a line of a frame's
    //   shape (time, channel, identifier, direction; or a CAN FD line of
    //   channel and direction) that the parsers refuse, or a line holding
    //   bytes no text has. Other tools' events, comments and header lines
    //   are no damage, nor is a last line without its line end (a file
    //   cut short while it was written);
    qint64 damagedLines() const { return m_damagedLines; }
    // - the file could not be opened, or was read to its end without one
    //   line of a trace file (header, comment, trigger block, time-stamped
    //   event or frame line): it is no ASC file, an empty file among them.
    bool notTraceFile() const { return m_openFailed || (m_readEnded && !m_sawTraceLine); }

private:
    bool openForRead(const QString &name);
    bool nextLine(const char *&begin, const char *&end);
    template <class P>
    void lineRefused(const char *begin, const char *end, const P &parts);
    void buildLine(const QUserCanMsg &msg, std::string &line);
    bool flushBuffer();

    QFile m_file;
    bool m_open = false;
    bool m_written = false;
    quint64 m_linesSinceFlush = 0;
    QUserTraceClock m_clock;
    bool m_writeError = false;

    std::string m_out;     // lines not yet handed to the file
    std::string m_line;    // scratch of the line being built
    std::string m_scratch; // scratch of identifier and data digits
    QByteArray m_in;       // read buffer
    int m_inPos = 0;
    bool m_inEof = false;
    bool m_decimal = false; // the file's "base dec" line: numbers of frame lines in decimal
    bool m_lineOpen = false; // the line nextLine gave last has no line end (the file's last)
    qint64 m_damagedLines = 0;
    bool m_sawTraceLine = false;
    bool m_readEnded = false;
    bool m_openFailed = false;
};
