// The calls libftdi1 and our backend make of the USB library, answered by the
// emulated converters of EmulatedChip. Built as libusb-1.0.so.0 for tests only.
#include "EmulatedChip.h"
#include "EmulatedFtdi.h"

#include <libusb.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

struct libusb_context {
    int users = 0;
};

struct libusb_device {
    int converter = 0;
    int generation = 0; // a replugged converter is a new device
    std::uint8_t address = 0;
    int references = 0;
};

struct libusb_device_handle {
    libusb_device *device = nullptr;
    bool claimed = false;
};

namespace
{

using Clock = EmulatedChip::Clock;

struct Slot {
    std::unique_ptr<EmulatedChip> chip;
    bool plugged = true;
    bool held = false;
    int generation = 0;
    long unplugToHost = -1;
    long unplugFromHost = -1;
    libusb_device_handle *claimedBy = nullptr;
};

// Every converter ever plugged and every device object handed out; device
// objects live as long as the process, so a stale pointer stays harmless.
struct Bus {
    std::recursive_mutex mutex;
    std::map<int, Slot> slots;
    std::vector<std::unique_ptr<libusb_device>> devices;
    int nextConverter = 1;
    std::uint8_t nextAddress = 2;
    bool trace = std::getenv("TESSARO_USBEMU_TRACE") != nullptr;

    libusb_device *deviceFor(int converter)
    {
        const Slot &s = slots.at(converter);
        for (auto &d : devices)
            if (d->converter == converter && d->generation == s.generation)
                return d.get();
        auto d = std::make_unique<libusb_device>();
        d->converter = converter;
        d->generation = s.generation;
        d->address = nextAddress++;
        devices.push_back(std::move(d));
        return devices.back().get();
    }

    // The converter behind a device, or null once it was unplugged since.
    Slot *present(const libusb_device *device)
    {
        auto it = slots.find(device->converter);
        if (it == slots.end() || !it->second.plugged || it->second.generation != device->generation)
            return nullptr;
        return &it->second;
    }

    void checkUnplugAfter(Slot &s)
    {
        const auto &c = s.chip->counters();
        if ((s.unplugToHost >= 0 && c.bytesToHost >= s.unplugToHost) ||
            (s.unplugFromHost >= 0 && c.bytesFromHost >= s.unplugFromHost)) {
            s.plugged = false;
            s.claimedBy = nullptr;
            s.unplugToHost = s.unplugFromHost = -1;
        }
    }
};

Bus &bus()
{
    static Bus b;
    return b;
}

void trace(const char *format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char *format, ...)
{
    if (!bus().trace)
        return;
    va_list args;
    va_start(args, format);
    std::fputs("usbemu: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

Slot &slot(int converter)
{
    return bus().slots.at(converter);
}

// Descriptors of an FT232R: one configuration, one interface, bulk IN 0x81
// and bulk OUT 0x02 of 64 bytes.
struct ConfigDescriptor {
    libusb_config_descriptor config{};
    libusb_interface interface {
    };
    libusb_interface_descriptor setting{};
    libusb_endpoint_descriptor endpoints[2]{};
};

} // namespace

namespace EmulatedFtdi
{

int plug(const Converter &converter)
{
    std::lock_guard lock(bus().mutex);
    const int id = bus().nextConverter++;
    Slot &s = bus().slots[id];
    s.chip = std::make_unique<EmulatedChip>(converter);
    return id;
}

void unplug(int converter)
{
    std::lock_guard lock(bus().mutex);
    Slot &s = slot(converter);
    s.plugged = false;
    s.claimedBy = nullptr;
}

void replug(int converter)
{
    std::lock_guard lock(bus().mutex);
    Slot &s = slot(converter);
    s.plugged = true;
    s.claimedBy = nullptr;
    ++s.generation;
    s.chip->powerUp();
}

void unplugAfter(int converter, long bytesToHost, long bytesFromHost)
{
    std::lock_guard lock(bus().mutex);
    Slot &s = slot(converter);
    const auto &c = s.chip->counters();
    s.unplugToHost = bytesToHost < 0 ? -1 : c.bytesToHost + bytesToHost;
    s.unplugFromHost = bytesFromHost < 0 ? -1 : c.bytesFromHost + bytesFromHost;
}

void setHeld(int converter, bool held)
{
    std::lock_guard lock(bus().mutex);
    slot(converter).held = held;
}

void setFarEnd(int converter, std::shared_ptr<FarEnd> farEnd)
{
    std::lock_guard lock(bus().mutex);
    slot(converter).chip->setFarEnd(std::move(farEnd));
}

void fixLatency(int converter, int ms)
{
    std::lock_guard lock(bus().mutex);
    slot(converter).chip->fixLatency(ms);
}

void speedUpLine(int converter, int factor)
{
    std::lock_guard lock(bus().mutex);
    slot(converter).chip->speedUpLine(factor);
}

LineState line(int converter)
{
    std::lock_guard lock(bus().mutex);
    return slot(converter).chip->line();
}

std::vector<ControlRequest> requests(int converter)
{
    std::lock_guard lock(bus().mutex);
    return slot(converter).chip->requests();
}

void clearRequests(int converter)
{
    std::lock_guard lock(bus().mutex);
    slot(converter).chip->clearRequests();
}

Counters counters(int converter)
{
    std::lock_guard lock(bus().mutex);
    return slot(converter).chip->counters();
}

void removeAll()
{
    std::lock_guard lock(bus().mutex);
    for (auto &[id, s] : bus().slots) {
        s.plugged = false;
        s.claimedBy = nullptr;
        s.chip->setFarEnd(nullptr);
    }
}

} // namespace EmulatedFtdi

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context **ctx)
{
    trace("init");
    if (ctx)
        *ctx = new libusb_context;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_exit(libusb_context *ctx)
{
    trace("exit");
    delete ctx;
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context *, libusb_device ***list)
{
    std::lock_guard lock(bus().mutex);
    std::vector<libusb_device *> found;
    for (auto &[id, s] : bus().slots)
        if (s.plugged)
            found.push_back(bus().deviceFor(id));
    auto **out = static_cast<libusb_device **>(std::calloc(found.size() + 1, sizeof(libusb_device *)));
    if (!out)
        return LIBUSB_ERROR_NO_MEM;
    for (std::size_t i = 0; i < found.size(); ++i) {
        ++found[i]->references;
        out[i] = found[i];
    }
    *list = out;
    trace("get_device_list: %zu", found.size());
    return ssize_t(found.size());
}

void LIBUSB_CALL libusb_free_device_list(libusb_device **list, int unrefDevices)
{
    if (!list)
        return;
    std::lock_guard lock(bus().mutex);
    if (unrefDevices)
        for (libusb_device **d = list; *d; ++d)
            --(*d)->references;
    std::free(list);
}

libusb_device *LIBUSB_CALL libusb_ref_device(libusb_device *dev)
{
    std::lock_guard lock(bus().mutex);
    ++dev->references;
    return dev;
}

void LIBUSB_CALL libusb_unref_device(libusb_device *dev)
{
    std::lock_guard lock(bus().mutex);
    if (dev)
        --dev->references;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device *)
{
    return 1;
}

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device *dev)
{
    return dev->address;
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device *dev, libusb_device_descriptor *desc)
{
    std::lock_guard lock(bus().mutex);
    const EmulatedFtdi::Converter &c = slot(dev->converter).chip->converter();
    *desc = libusb_device_descriptor{};
    desc->bLength = LIBUSB_DT_DEVICE_SIZE;
    desc->bDescriptorType = LIBUSB_DT_DEVICE;
    desc->bcdUSB = 0x0200;
    desc->bMaxPacketSize0 = 8;
    desc->idVendor = EmulatedFtdi::VendorId;
    desc->idProduct = c.productId;
    desc->bcdDevice = 0x0600; // FT232R
    desc->iManufacturer = 1;
    desc->iProduct = 2;
    desc->iSerialNumber = c.hasSerial ? 3 : 0;
    desc->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_get_config_descriptor(libusb_device *, uint8_t index,
                                             libusb_config_descriptor **config)
{
    if (index != 0)
        return LIBUSB_ERROR_NOT_FOUND;
    auto *d = new ConfigDescriptor;
    for (int i = 0; i < 2; ++i) {
        d->endpoints[i].bLength = LIBUSB_DT_ENDPOINT_SIZE;
        d->endpoints[i].bDescriptorType = LIBUSB_DT_ENDPOINT;
        d->endpoints[i].bEndpointAddress = i == 0 ? 0x81 : 0x02;
        d->endpoints[i].bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
        d->endpoints[i].wMaxPacketSize = EmulatedChip::PacketSize;
    }
    d->setting.bLength = LIBUSB_DT_INTERFACE_SIZE;
    d->setting.bDescriptorType = LIBUSB_DT_INTERFACE;
    d->setting.bNumEndpoints = 2;
    d->setting.bInterfaceClass = LIBUSB_CLASS_VENDOR_SPEC;
    d->setting.iInterface = 2;
    d->setting.endpoint = d->endpoints;
    d->interface.altsetting = &d->setting;
    d->interface.num_altsetting = 1;
    d->config.bLength = LIBUSB_DT_CONFIG_SIZE;
    d->config.bDescriptorType = LIBUSB_DT_CONFIG;
    d->config.wTotalLength = LIBUSB_DT_CONFIG_SIZE + LIBUSB_DT_INTERFACE_SIZE + 2 * LIBUSB_DT_ENDPOINT_SIZE;
    d->config.bNumInterfaces = 1;
    d->config.bConfigurationValue = 1;
    d->config.bmAttributes = 0xA0;
    d->config.MaxPower = 45;
    d->config.interface = &d->interface;
    *config = &d->config;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_free_config_descriptor(libusb_config_descriptor *config)
{
    // The config descriptor is the first member of the block it came in.
    delete reinterpret_cast<ConfigDescriptor *>(config);
}

int LIBUSB_CALL libusb_open(libusb_device *dev, libusb_device_handle **handle)
{
    std::lock_guard lock(bus().mutex);
    trace("open converter %d", dev->converter);
    if (!bus().present(dev))
        return LIBUSB_ERROR_NO_DEVICE;
    *handle = new libusb_device_handle{dev, false};
    ++dev->references;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_close(libusb_device_handle *handle)
{
    if (!handle)
        return;
    std::lock_guard lock(bus().mutex);
    trace("close converter %d", handle->device->converter);
    if (Slot *s = bus().present(handle->device); s && s->claimedBy == handle)
        s->claimedBy = nullptr;
    --handle->device->references;
    delete handle;
}

int LIBUSB_CALL libusb_get_configuration(libusb_device_handle *handle, int *config)
{
    std::lock_guard lock(bus().mutex);
    if (!bus().present(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    *config = 1;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_set_configuration(libusb_device_handle *handle, int configuration)
{
    std::lock_guard lock(bus().mutex);
    trace("set_configuration %d", configuration);
    if (!bus().present(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    return configuration == 1 ? LIBUSB_SUCCESS : LIBUSB_ERROR_NOT_FOUND;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle *handle, int interface)
{
    std::lock_guard lock(bus().mutex);
    Slot *s = bus().present(handle->device);
    trace("claim_interface %d", interface);
    if (!s)
        return LIBUSB_ERROR_NO_DEVICE;
    if (interface != 0)
        return LIBUSB_ERROR_NOT_FOUND;
    if (s->held || (s->claimedBy && s->claimedBy != handle))
        return LIBUSB_ERROR_BUSY;
    s->claimedBy = handle;
    handle->claimed = true;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle *handle, int)
{
    std::lock_guard lock(bus().mutex);
    trace("release_interface");
    handle->claimed = false;
    Slot *s = bus().present(handle->device);
    if (!s)
        return LIBUSB_ERROR_NO_DEVICE;
    if (s->claimedBy == handle)
        s->claimedBy = nullptr;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle *handle, int)
{
    std::lock_guard lock(bus().mutex);
    return bus().present(handle->device) ? LIBUSB_ERROR_NOT_FOUND : LIBUSB_ERROR_NO_DEVICE;
}

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle *, int)
{
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_get_string_descriptor_ascii(libusb_device_handle *handle, uint8_t index,
                                                   unsigned char *data, int length)
{
    std::lock_guard lock(bus().mutex);
    Slot *s = bus().present(handle->device);
    trace("get_string_descriptor_ascii %d", index);
    if (!s)
        return LIBUSB_ERROR_NO_DEVICE;
    if (index == 0 || length <= 0)
        return LIBUSB_ERROR_INVALID_PARAM;
    const EmulatedFtdi::Converter &c = s->chip->converter();
    std::string text;
    if (index == 1)
        text = "FTDI";
    else if (index == 2)
        text = "FT232R USB UART";
    else if (index == 3 && c.hasSerial)
        text = c.serial;
    else
        return LIBUSB_ERROR_PIPE;
    const int n = std::min<int>(int(text.size()), length - 1);
    std::memcpy(data, text.data(), std::size_t(n));
    data[n] = 0;
    return n;
}

int LIBUSB_CALL libusb_control_transfer(libusb_device_handle *handle, uint8_t requestType, uint8_t request,
                                        uint16_t value, uint16_t index, unsigned char *data, uint16_t length,
                                        unsigned int)
{
    std::lock_guard lock(bus().mutex);
    Slot *s = bus().present(handle->device);
    trace("control %02x %02x value %04x index %04x length %u", requestType, request, value, index, length);
    if (!s)
        return LIBUSB_ERROR_NO_DEVICE;
    const int result = s->chip->control(requestType, request, value, index, data, length);
    return result < 0 ? LIBUSB_ERROR_PIPE : result;
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle *handle, unsigned char endpoint,
                                     unsigned char *data, int length, int *transferred, unsigned int timeout)
{
    int got = 0;
    if (transferred)
        *transferred = 0;
    const auto deadline =
        timeout ? Clock::now() + std::chrono::milliseconds(timeout) : Clock::time_point::max();
    std::unique_lock lock(bus().mutex);
    if (!handle->claimed)
        return LIBUSB_ERROR_IO;

    if (!(endpoint & LIBUSB_ENDPOINT_IN)) {
        Slot *s = bus().present(handle->device);
        if (!s)
            return LIBUSB_ERROR_NO_DEVICE;
        trace("bulk out %d bytes", length);
        const auto accepted = s->chip->send(data, length, Clock::now());
        bus().checkUnplugAfter(*s);
        lock.unlock();
        // The chip takes no more while its transmit buffer is full.
        if (accepted > Clock::now()) {
            if (accepted > deadline) {
                std::this_thread::sleep_until(deadline);
                return LIBUSB_ERROR_TIMEOUT;
            }
            std::this_thread::sleep_until(accepted);
        }
        if (transferred)
            *transferred = length;
        return LIBUSB_SUCCESS;
    }

    std::string packet;
    for (;;) {
        Slot *s = bus().present(handle->device);
        if (!s) {
            if (transferred)
                *transferred = got;
            return LIBUSB_ERROR_NO_DEVICE;
        }
        auto now = Clock::now();
        Clock::time_point wake;
        if (s->chip->takePacket(now, &packet, &wake)) {
            bus().checkUnplugAfter(*s);
            if (int(packet.size()) > length - got) {
                if (transferred)
                    *transferred = got;
                return LIBUSB_ERROR_OVERFLOW;
            }
            std::memcpy(data + got, packet.data(), packet.size());
            got += int(packet.size());
            // A short packet ends the transfer, as does a full buffer.
            if (int(packet.size()) < EmulatedChip::PacketSize || length - got < EmulatedChip::PacketSize) {
                if (transferred)
                    *transferred = got;
                trace("bulk in %d bytes", got);
                return LIBUSB_SUCCESS;
            }
            continue;
        }
        if (now >= deadline) {
            if (transferred)
                *transferred = got;
            return LIBUSB_ERROR_TIMEOUT;
        }
        lock.unlock();
        std::this_thread::sleep_until(std::min(wake, deadline));
        lock.lock();
    }
}

// Asynchronous transfers: libftdi1 refers to them for calls the program does
// not make; they are refused.
libusb_transfer *LIBUSB_CALL libusb_alloc_transfer(int isoPackets)
{
    const std::size_t size =
        sizeof(libusb_transfer) + sizeof(libusb_iso_packet_descriptor) * std::size_t(isoPackets);
    return static_cast<libusb_transfer *>(std::calloc(1, size));
}

void LIBUSB_CALL libusb_free_transfer(libusb_transfer *transfer)
{
    std::free(transfer);
}

int LIBUSB_CALL libusb_submit_transfer(libusb_transfer *)
{
    trace("submit_transfer refused");
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

int LIBUSB_CALL libusb_cancel_transfer(libusb_transfer *)
{
    return LIBUSB_ERROR_NOT_FOUND;
}

int LIBUSB_CALL libusb_handle_events_timeout(libusb_context *, struct timeval *)
{
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_handle_events_timeout_completed(libusb_context *, struct timeval *, int *completed)
{
    if (completed)
        *completed = 1;
    return LIBUSB_SUCCESS;
}

} // extern "C"
