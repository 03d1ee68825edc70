#pragma once
/*
 * binlog: our reader and writer of BLF trace files (binary logging format).
 *
 * The program loads it at run time by file name, the way it loads the
 * binlog.dll of other installations, so only this C interface is public.
 * Handles are opaque pointers; BLCreateFile fails with the all-bits-set
 * pointer (BL_INVALID_HANDLE). Every other function returns a 32-bit result,
 * non-zero for success. No C++ exception leaves any of them: a function
 * that runs out of memory or threads returns its failure value.
 *
 * Objects handed to BLWriteObject and read back by BLReadObjectSecure start
 * with the 32-byte object header (version 1):
 *   0 "LOBJ", 4 u16 header size, 6 u16 header version, 8 u32 object size,
 *   12 u32 object type, 16 u32 object flags (1: time in 10 us, 2: time in ns),
 *   20 u16 client index, 22 u16 object version, 24 u64 time stamp.
 * The first 16 bytes are the base header that BLPeekObject fills.
 */

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define BINLOG_API __declspec(dllexport)
#else
#define BINLOG_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define BL_INVALID_HANDLE ((void *)~(uintptr_t)0)

#define BL_ACCESS_WRITE 0x40000000u
#define BL_ACCESS_READ 0x80000000u

#define BL_OBJ_FLAG_TIME_TEN_MICS 0x00000001u
#define BL_OBJ_FLAG_TIME_ONE_NANS 0x00000002u

#define BL_OBJ_TYPE_CAN_MESSAGE 1
#define BL_OBJ_TYPE_CAN_ERROR 2
#define BL_OBJ_TYPE_APP_TRIGGER 5
#define BL_OBJ_TYPE_LOG_CONTAINER 10
#define BL_OBJ_TYPE_CAN_FD_MESSAGE 100
#define BL_OBJ_TYPE_CAN_FD_MESSAGE_64 101

/* Opens a file: access BL_ACCESS_WRITE creates (truncates) it, BL_ACCESS_READ
 * opens an existing one. */
BINLOG_API void *BLCreateFile(const char *name, uint32_t access);

/* Writer: application id and version stored in the file header. */
BINLOG_API int32_t BLSetApplication(void *h, uint8_t appId, uint8_t major, uint8_t minor, uint8_t build);

/* Writer: compression 0 stores containers uncompressed, 1..10 compresses with
 * zlib (levels above 9 count as 9). `reserved` 0 keeps the default container
 * size (1 MiB of object data: a deflate window restarts at every container,
 * and 128 KiB containers made recorded frame traffic about 15 % larger); any
 * other value is taken as the container size in bytes (at least 64, at most
 * 16 MiB).
 * Returns 1. */
BINLOG_API int32_t BLSetWriteOptions(void *h, uint32_t compression, uint32_t reserved);

/* Writer: measurement start time, a UTC SYSTEMTIME record: year, month, day of
 * week, day, hour, minute, second, milliseconds. */
BINLOG_API int32_t BLSetMeasurementStartTime(void *h, const uint16_t systemTime[8]);

/* Writer: appends one complete object (header and body, `object size` bytes).
 * Returns 1 when taken. */
BINLOG_API int32_t BLWriteObject(void *h, const void *object);

/* Writer: puts every object taken so far into the file and brings the file
 * header up to date, all before it returns, so a program that ends right
 * after it (a crash, a kill) leaves a readable file with those objects. The
 * flushed objects grow a stored container at the file's end; once it holds
 * a container's worth, a worker thread deflates it and the deflated one
 * takes its place, so frequent flushes cost neither the caller's time nor
 * file size. A kill at any moment leaves a file that reads to the last
 * completed flush; it holds at most about 7.2 MiB beyond its deflated
 * containers with the default containers (stored containers not yet
 * deflated, reserved space), a closed file none.
 * 0 when the file could not be written. A failed write (a full disk, an I/O
 * error) ends the writing: the file keeps every object of every flush that
 * returned 1, and from then on BLWriteObject, BLFlushFileBuffers and
 * BLCloseHandle return 0 without touching the file. */
BINLOG_API int32_t BLFlushFileBuffers(void *h, uint32_t flags);

/* Closes either kind of handle; a writer flushes first. Only a close that
 * completes gives the file header the file's size: a file whose header
 * claims more than the file holds was not closed (the writer was killed, or
 * a write failed). 0 when a write failed (the handle is released all the
 * same). */
BINLOG_API int32_t BLCloseHandle(void *h);

/* Reader: fills the 16-byte base header of the next object; 0 at the end of
 * the file. Damaged data does not end the read: a container that does not
 * inflate or whose header does not hold, and objects that do not parse, are
 * passed over up to the next object that checks out (BLGetReadDamage tells
 * what was passed over). */
BINLOG_API int32_t BLPeekObject(void *h, void *baseHeader);

/* Reader: reads the next object into `object`, whose base header holds the
 * peeked type. The object comes back with a version-1 header whatever the
 * file holds; a body shorter than the buffer is padded with zeros, a longer
 * one is cut. */
BINLOG_API int32_t BLReadObjectSecure(void *h, void *object, size_t bufferSize);

/* Reader: releases an object read into a caller's buffer (nothing to do). */
BINLOG_API int32_t BLFreeObject(void *h, void *object);

/* Reader: passes over the next object. */
BINLOG_API int32_t BLSkipObject(void *h, void *baseHeader);

/* Reader: the damaged data passed over so far. `places` counts each run of
 * damaged data between objects read once, `bytes` the bytes skipped there
 * (file bytes of skipped containers and stream bytes of objects that did
 * not parse). A file cut short is no damage. Either pointer may be null.
 * Returns 1, or 0 for a handle that is no reader. */
BINLOG_API int32_t BLGetReadDamage(void *h, uint32_t *places, uint64_t *bytes);

#ifdef __cplusplus
}
#endif
