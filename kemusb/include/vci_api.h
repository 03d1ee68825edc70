#pragma once
/*
 * The VCI_ and KVCI_ functions of kemusb: classic adapters (types 3 and 4)
 * and Kvaser interfaces (63, 68-73) by device type, device index and channel.
 * Results are 1 for success and 0 for failure unless a count is returned;
 * VCI_OpenDevice returns 0xFFFFFFFF when the adapter cannot be opened.
 */

#include "kcan_records.h"
#include "kemusb_export.h"
#include "ocan_records.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The classic frame record, 24 bytes: data directly behind the length. */
#pragma pack(push, 1)
typedef struct VCI_CAN_OBJ {
    uint32_t ID;
    uint32_t TimeStamp;
    uint8_t TimeFlag;
    uint8_t SendType;
    uint8_t RemoteFlag;
    uint8_t ExternFlag;
    uint8_t DataLen;
    uint8_t Data[8];
    uint8_t Reserved[3];
} VCI_CAN_OBJ;
#pragma pack(pop)

#ifdef __cplusplus
}

static_assert(sizeof(VCI_CAN_OBJ) == 24, "VCI_CAN_OBJ size");
static_assert(offsetof(VCI_CAN_OBJ, DataLen) == 12 && offsetof(VCI_CAN_OBJ, Data) == 13 &&
                  offsetof(VCI_CAN_OBJ, Reserved) == 21,
              "VCI_CAN_OBJ layout");
#else
_Static_assert(sizeof(VCI_CAN_OBJ) == 24, "VCI_CAN_OBJ size");
#endif

KEMUSB_API uint32_t VCI_OpenDevice(uint32_t type, uint32_t index, uint32_t reserved);
KEMUSB_API uint32_t VCI_CloseDevice(uint32_t type, uint32_t index);
KEMUSB_API uint32_t VCI_InitCAN(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *init);
KEMUSB_API uint32_t VCI_StartCAN(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t VCI_ResetCAN(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t VCI_ClearBuffer(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t VCI_GetReceiveNum(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t VCI_Transmit(uint32_t type, uint32_t index, uint32_t channel, const VCI_CAN_OBJ *frames,
                                 uint32_t count);
KEMUSB_API uint32_t VCI_Receive(uint32_t type, uint32_t index, uint32_t channel, VCI_CAN_OBJ *frames, uint32_t count,
                                int32_t waitMs);
KEMUSB_API uint32_t VCI_ReadBoardInfo(uint32_t type, uint32_t index, OCAN_DEVICE_INFO *info);
KEMUSB_API uint32_t VCI_DevRelayStatusSet(uint32_t type, uint32_t index, uint8_t a, uint8_t b);
KEMUSB_API uint32_t VCI_DevRelayStatusGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b);
KEMUSB_API uint32_t VCI_DevBaudParaGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0,
                                       uint8_t *timing1);
KEMUSB_API uint32_t VCI_DevChStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b,
                                      uint8_t *c);
KEMUSB_API uint32_t VCI_DevDataTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len);
KEMUSB_API uint32_t VCI_ReadErrInfo(uint32_t type, uint32_t index, uint32_t channel, OCAN_ERR_INFO *info);
KEMUSB_API uint32_t VCI_ReadCANStatus(uint32_t type, uint32_t index, uint32_t channel, OCAN_CAN_STATUS *status);
KEMUSB_API uint32_t VCI_GetReference(uint32_t type, uint32_t index, uint32_t channel, uint32_t refType,
                                     uint32_t *out);
KEMUSB_API uint32_t VCI_SetReference(uint32_t type, uint32_t index, uint32_t channel, uint32_t refType, void *data);

/* Kept for callers that bind them; they do nothing and return 1. */
KEMUSB_API uint32_t SetRate(uint32_t type, uint32_t index, uint32_t channel, uint32_t rate);
KEMUSB_API uint32_t GetCANParam(uint32_t type, uint32_t index, uint32_t channel, void *param);
KEMUSB_API uint32_t SetFilter(uint32_t type, uint32_t index, uint32_t channel, void *filter);
KEMUSB_API uint32_t VCI_FindUsbDevice(void *info);
KEMUSB_API uint32_t VCI_FindUsbDevice2(void *info);
KEMUSB_API uint32_t VCI_UsbDeviceReset(uint32_t type, uint32_t index, uint32_t reserved);
KEMUSB_API uint32_t VCI_GetReference2(uint32_t type, uint32_t index, uint32_t channel, uint32_t refType,
                                      void *data);
KEMUSB_API uint32_t VCI_SetReference2(uint32_t type, uint32_t index, uint32_t channel, uint32_t refType,
                                      void *data);
KEMUSB_API uint32_t VCI_ConnectDevice(uint32_t type, uint32_t index);
KEMUSB_API uint32_t VCI_DevErrStatusGet(uint32_t type, uint32_t index, uint32_t channel, void *status);
KEMUSB_API uint32_t VCI_DisableRxAcptFilter(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t VCI_RxAcptFilterInit(uint32_t type, uint32_t index, uint32_t channel, void *filter);
KEMUSB_API uint32_t VCI_RxAcptMaskInit(uint32_t type, uint32_t index, uint32_t channel, void *mask);
KEMUSB_API uint32_t VCI_SetOperationMode(uint32_t type, uint32_t index, uint32_t channel, uint32_t mode);

KEMUSB_API uint32_t KVCI_InitCAN(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *config);
KEMUSB_API uint32_t KVCI_Transmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames,
                                  uint32_t count);
KEMUSB_API uint32_t KVCI_Receive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *frames,
                                 uint32_t count, int32_t waitMs);
