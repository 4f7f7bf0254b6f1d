#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <sys/types.h>

// The seven thread priority levels the port threads can be given, from idle
// to time-critical.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The silent exception: an event entry throws it to drop an event, and the
// port threads ignore it.
class EAbort : public std::exception
{
  public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

// Gives a running thread (by its kernel thread id) the scheduling weight of
// a priority level. Raising a thread above normal needs CAP_SYS_NICE; without
// it the thread keeps running at normal weight.
void AfSetThreadPriority(pid_t threadId, TThreadPriority priority);

// The calling thread's kernel id.
pid_t AfCurrentThreadId();

// The program's standard display of an exception that nobody caught: what
// the user interface installed with AfSetExceptionDisplay (the program shows
// a plain message box), else a warning line.
void AfShowException(const std::exception_ptr &error);
void AfSetExceptionDisplay(std::function<void(const QString &)> display);
QString AfExceptionText(const std::exception_ptr &error);
