#include "platform/D2xx.h"

#include "platform/D2xxLibFtdi.h"

#include <QMutex>
#include <QMutexLocker>

namespace
{

QMutex backendMutex;
std::shared_ptr<D2xxBackend> currentBackend;

} // namespace

namespace D2xx
{

std::shared_ptr<D2xxBackend> backend()
{
    QMutexLocker lock(&backendMutex);
    if (!currentBackend)
        currentBackend = std::make_shared<LibFtdiD2xx>();
    return currentBackend;
}

void setBackend(std::shared_ptr<D2xxBackend> backend)
{
    QMutexLocker lock(&backendMutex);
    currentBackend = std::move(backend);
}

} // namespace D2xx
