#pragma once
// The adapter transport below kemusb: what SetupAPI enumeration, CreateFile
// and the WinUSB pipe calls give the library, over one of two back ends:
//   "libusb" (the default) drives real adapters through libusb-1.0;
//   "sim" serves simulated adapters in the same process (platform/PlatSim.h).
// The environment variable KEMUSB_BACKEND picks one at the first use.
//
// Read semantics are WinUSB's: a read ends when its buffer is full or a
// short packet ends the device's transfer; the surplus of a packet larger
// than the buffer is kept for the next read; a time-out returns what arrived.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

enum UsbPipeType : uint8_t {
    UsbdPipeTypeControl = 0,
    UsbdPipeTypeIsochronous = 1,
    UsbdPipeTypeBulk = 2,
    UsbdPipeTypeInterrupt = 3,
};

struct UsbPipeInfo
{
    uint8_t pipeType = UsbdPipeTypeBulk;
    uint8_t pipeId = 0xFF;          // endpoint address, bit 0x80 = IN
    uint16_t maximumPacketSize = 0;
    uint8_t interval = 0;
};

enum class UsbStatus {
    Ok,      // done (a read may still be shorter than asked)
    Timeout, // the pipe time-out passed; the count tells what arrived
    Error,   // device gone, no such pipe, transfer error (gone() tells the first)
};

// One opened adapter: interface 0 claimed, alternate setting 0.
class UsbDevice
{
public:
    virtual ~UsbDevice() = default;
    virtual std::vector<UsbPipeInfo> queryPipes() = 0;
    // Pipe transfer time-out in ms (0: none), as PIPE_TRANSFER_TIMEOUT.
    virtual bool setPipeTimeout(uint8_t pipeId, uint32_t ms) = 0;
    virtual UsbStatus writePipe(uint8_t pipeId, const uint8_t *buf, uint32_t len, uint32_t *written) = 0;
    virtual UsbStatus readPipe(uint8_t pipeId, uint8_t *buf, uint32_t len, uint32_t *read) = 0;
    // Whether the device has gone from the host (unplugged, or it stopped
    // answering for good): no transfer through this handle will work again,
    // and the adapter can only be had by opening it afresh. Asked after a
    // transfer failed; it never turns false again.
    virtual bool gone() const { return false; }
};

class UsbBackend
{
public:
    virtual ~UsbBackend() = default;
    virtual const char *name() const = 0;
    // Whether the adapters behind it are models that a library registers
    // (the simulated world) rather than devices found on the bus.
    virtual bool carriesModels() const { return false; }
    // Interface paths of the present adapters in a stable order; each holds
    // "#vid_xxxx&pid_xxxx#" in lower-case hexadecimal.
    virtual std::vector<std::string> devicePaths() = 0;
    // Opens one path; null when it is busy (held elsewhere) or fails.
    virtual std::unique_ptr<UsbDevice> open(const std::string &path) = 0;
};

// The class GUID of USB device interfaces, as it appears in paths.
extern const char *const kUsbInterfaceGuid;

// "\\?\usb#vid_0471&pid_7a41#<instance>#{guid}"
std::string usbInterfacePath(uint16_t vid, uint16_t pid, const std::string &instance);
// The instance part of such a path ("" when it is not one).
std::string usbPathInstance(const std::string &path);

// The back end in use: the one installed by setUsbBackend, else the one
// KEMUSB_BACKEND names ("sim" or "libusb"; anything else means libusb).
UsbBackend &usbBackend();
std::shared_ptr<UsbBackend> setUsbBackend(std::shared_ptr<UsbBackend> backend);

} // namespace plat
