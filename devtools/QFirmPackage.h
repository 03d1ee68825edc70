#pragma once
// Firmware package: one ".dat" file made of a 1024-byte configuration
// segment followed by the image. The hardware and firmware versions come
// from the file name, which ends in ".v<a>.<b>.<c>.<d>.dat": hardware
// a * 256 + b, firmware c * 256 + d, shown as "V<high byte>.<low byte>".
//
// inspect() is the check made when the user picks a file; read() loads a
// package for the transfer (the segment and the image, nothing else).

#include <QByteArray>
#include <QString>

#include <cstdint>

class QIODevice;

class QFirmPackage
{
public:
    enum Check {
        Accepted = 0,
        NoFile,        // nothing chosen
        SizeError,     // shorter than the segment plus one image byte
        NameLength,    // name shorter than ".v1.0.1.1.dat"
        NoVersionMark, // no ".v" in the name
        VersionFormat, // the text after ".v" has not exactly four dots
    };
    enum Read {
        ReadOk = 0,
        OpenError,    // the file does not open
        SegmentError, // fewer than 1024 segment bytes
        ImageError,   // the image not read whole
        TooShort,     // the package holds no image byte: refused before anything is read or sent
    };

    static constexpr int kSegmentSize = 1024;
    static constexpr int kMinSize = kSegmentSize + 1;
    static constexpr int kStartBytes = 16; // segment bytes the start command carries
    static constexpr int kMinNameLength = 13;

    QString path;          // as the file information gives it
    qint64 size = 0;       // bytes
    uint16_t hwVersion = 0;
    uint16_t fwVersion = 0;

    // Versions from a file name (without folder); Accepted, NameLength,
    // NoVersionMark or VersionFormat.
    static Check nameVersions(const QString &fileName, uint16_t *hw, uint16_t *fw);
    // The checks of a chosen path in their order (empty path, size, name);
    // on Accepted *out holds path, size and versions, else it is untouched.
    static Check inspect(const QString &path, QFirmPackage *out);
    // The warning text of a refusal ("" for Accepted).
    static QString checkText(Check c);
    // "V%1.%2" of the high and the low byte.
    static QString versionText(uint16_t v);
    // "文件信息:大小:<n>Byte 硬件版本:V.. 固件版本:V.."
    QString infoText() const;

    // Reads a package of `size` bytes from an open device: the segment into
    // segment[0, 1024), then size - 1024 image bytes into image (resized to
    // size + 16, the bytes after the image zero). TooShort when size leaves
    // no image byte; SegmentError or ImageError when the device ends early.
    static Read read(QIODevice &dev, qint64 size, uint8_t *segment, QByteArray &image);
    // The same from a file path (OpenError when it does not open).
    static Read readFile(const QString &path, qint64 size, uint8_t *segment, QByteArray &image);
};
