#include "usb_helper.h"

#include <dlfcn.h>

#include <string>

std::string ModelFarEnd::receive(std::uint8_t byte, std::chrono::steady_clock::time_point at)
{
    if (model.midCommand() && at - m_last >= std::chrono::milliseconds(AbandonAfterMs))
        model.abandonCommand();
    m_last = at;
    const QByteArray answer = model.feed(byte);
    return std::string(answer.constData(), std::size_t(answer.size()));
}

int EmulatedBus::plugCommunicator(const KavrDeviceState &state)
{
    const int id = EmulatedFtdi::plug({});
    communicator = std::make_shared<ModelFarEnd>(state);
    EmulatedFtdi::setFarEnd(id, communicator);
    return id;
}

bool emulatedUsbLoaded()
{
    Dl_info info{};
    void *init = dlsym(RTLD_DEFAULT, "libusb_init");
    if (!init || !dladdr(init, &info) || !info.dli_fname)
        return false;
    return std::string(info.dli_fname).find("/usbemu/") != std::string::npos;
}
