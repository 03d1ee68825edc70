#pragma once
/*
 * Records of kemusb's handle path (the OCAN_ functions and the device
 * objects behind them). Little-endian, fixed layout.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Identifier word flags of the frame records. */
#define OCAN_ID_REMOTE 0x40000000u
#define OCAN_ID_EXTENDED 0x80000000u
#define OCAN_ID_MASK 0x1FFFFFFFu

/* Classic frame to send, 20 bytes. */
typedef struct OCAN_CAN_TX {
    uint32_t IdWord;
    uint8_t Len;
    uint8_t Reserved[3];
    uint8_t Data[8];
    uint32_t SendType;
} OCAN_CAN_TX;

/* Classic frame received, 24 bytes. */
typedef struct OCAN_CAN_RX {
    uint32_t IdWord;
    uint8_t Len;
    uint8_t Reserved[3];
    uint8_t Data[8];
    uint32_t TimeStamp;
    uint32_t Reserved2;
} OCAN_CAN_RX;

/* OCAN_CANFD_*::Flags */
#define OCAN_FD_BRS 0x01u
#define OCAN_FD_ESI 0x02u

/* CAN FD frame to send, 76 bytes. */
typedef struct OCAN_CANFD_TX {
    uint32_t IdWord;
    uint8_t Len;
    uint8_t Flags;
    uint8_t Reserved[2];
    uint8_t Data[64];
    uint32_t SendType;
} OCAN_CANFD_TX;

/* CAN FD frame received, 80 bytes. */
typedef struct OCAN_CANFD_RX {
    uint32_t IdWord;
    uint8_t Len;
    uint8_t Flags;
    uint8_t Reserved[2];
    uint8_t Data[64];
    uint32_t TimeStamp;
    uint32_t Reserved2;
} OCAN_CANFD_RX;

/* Channel initialisation, 32 bytes; the layout after AccMask depends on CanType. */
typedef struct OCAN_INIT_CONFIG {
    uint32_t CanType; /* 0 classic, 1 CAN FD */
    uint32_t AccCode;
    uint32_t AccMask;
    union {
        struct {
            uint32_t ArbTiming;
            uint32_t DataTiming;
            uint32_t Reserved;
            uint8_t Filter;
            uint8_t Mode;
            uint8_t Pad[6];
        } fd;
        struct {
            uint32_t Reserved;
            uint8_t Filter;
            uint8_t Timing0;
            uint8_t Timing1;
            uint8_t Mode;
            uint8_t Pad[12];
        } can;
    };
} OCAN_INIT_CONFIG;

/* Device information. */
typedef struct OCAN_DEVICE_INFO {
    uint16_t HwVersion;
    uint16_t FwVersion;
    uint16_t DrVersion;
    uint16_t InVersion;
    uint16_t IrqNum;
    uint8_t CanNum;
    char SerialNum[20];
    char HwType[40];
    char Reserved[4];
} OCAN_DEVICE_INFO;

/* Channel error information, 8 bytes. */
typedef struct OCAN_ERR_INFO {
    uint32_t ErrCode;
    uint8_t PassiveErrData[3];
    uint8_t ArLostErrData;
} OCAN_ERR_INFO;

/* Channel status, 12 bytes. */
typedef struct OCAN_CAN_STATUS {
    uint8_t ErrInterrupt;
    uint8_t RegMode;
    uint8_t RegStatus;
    uint8_t RegALCapture;
    uint8_t RegECCapture;
    uint8_t RegEWLimit;
    uint8_t RegRECounter;
    uint8_t RegTECounter;
    uint32_t Reserved;
} OCAN_CAN_STATUS;

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(OCAN_CAN_TX) == 20, "OCAN_CAN_TX size");
static_assert(offsetof(OCAN_CAN_TX, Data) == 8 && offsetof(OCAN_CAN_TX, SendType) == 16, "OCAN_CAN_TX layout");
static_assert(sizeof(OCAN_CAN_RX) == 24, "OCAN_CAN_RX size");
static_assert(offsetof(OCAN_CAN_RX, TimeStamp) == 16, "OCAN_CAN_RX layout");
static_assert(sizeof(OCAN_CANFD_TX) == 76, "OCAN_CANFD_TX size");
static_assert(offsetof(OCAN_CANFD_TX, Flags) == 5 && offsetof(OCAN_CANFD_TX, SendType) == 72, "OCAN_CANFD_TX layout");
static_assert(sizeof(OCAN_CANFD_RX) == 80, "OCAN_CANFD_RX size");
static_assert(offsetof(OCAN_CANFD_RX, TimeStamp) == 72, "OCAN_CANFD_RX layout");
static_assert(sizeof(OCAN_INIT_CONFIG) == 32, "OCAN_INIT_CONFIG size");
static_assert(offsetof(OCAN_INIT_CONFIG, fd.ArbTiming) == 12 && offsetof(OCAN_INIT_CONFIG, fd.DataTiming) == 16 &&
                  offsetof(OCAN_INIT_CONFIG, fd.Filter) == 24 && offsetof(OCAN_INIT_CONFIG, fd.Mode) == 25,
              "OCAN_INIT_CONFIG fd layout");
static_assert(offsetof(OCAN_INIT_CONFIG, can.Filter) == 16 && offsetof(OCAN_INIT_CONFIG, can.Timing0) == 17 &&
                  offsetof(OCAN_INIT_CONFIG, can.Timing1) == 18 && offsetof(OCAN_INIT_CONFIG, can.Mode) == 19,
              "OCAN_INIT_CONFIG classic layout");
static_assert(offsetof(OCAN_DEVICE_INFO, CanNum) == 10 && offsetof(OCAN_DEVICE_INFO, SerialNum) == 11 &&
                  offsetof(OCAN_DEVICE_INFO, HwType) == 31 && offsetof(OCAN_DEVICE_INFO, Reserved) == 71,
              "OCAN_DEVICE_INFO layout");
static_assert(sizeof(OCAN_ERR_INFO) == 8, "OCAN_ERR_INFO size");
static_assert(sizeof(OCAN_CAN_STATUS) == 12, "OCAN_CAN_STATUS size");
#endif
