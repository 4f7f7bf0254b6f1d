#include "serial/AfUtils.h"

#include <QtGlobal>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void AfSetThreadPriority(pid_t threadId, TThreadPriority priority)
{
    static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
    if (threadId <= 0 || priority < tpIdle || priority > tpTimeCritical)
        return;
    const int wanted = kNice[priority];
    // Linux keeps a nice value per thread; a refused raise leaves it as is.
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), wanted) != 0 && wanted < 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), 0);
}

pid_t AfCurrentThreadId()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

QString AfExceptionText(const std::exception_ptr &error)
{
    if (!error)
        return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown exception");
    }
}

namespace
{
std::function<void(const QString &)> &exceptionDisplay()
{
    static std::function<void(const QString &)> display;
    return display;
}
} // namespace

void AfSetExceptionDisplay(std::function<void(const QString &)> display)
{
    exceptionDisplay() = std::move(display);
}

void AfShowException(const std::exception_ptr &error)
{
    const QString text = AfExceptionText(error);
    if (text.isEmpty())
        return;
    if (exceptionDisplay())
        exceptionDisplay()(text);
    else
        qWarning("%s", qPrintable(text));
}
