#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct ExchangeState;

// A hex trace of everything that goes over the line, for support: one line
// per transfer with the wall-clock time to the millisecond, the exchange
// step, the direction and the bytes.
//
//   2026-12-08 10:15:02.417 version   H>D 56 | V
//   2026-12-08 10:15:02.473 version   D>H 56 78 55 00 4E 03 E9 53 00 03 | VxU.N..S..
//   2026-12-08 10:15:03.101 write 5   H>D 07 | .
//
// H>D is host to device, D>H device to host. The file is appended to, so one
// file can gather many runs. Lines are handed to a writer thread: the
// exchange never waits for the disk. Should the disk stall, at most
// MaxPending bytes are held and later lines are counted and reported as
// dropped instead of growing without bound.
class ExchangeTrace
{
  public:
    ExchangeTrace();
    ~ExchangeTrace(); // writes out every line still held
    ExchangeTrace(const ExchangeTrace &) = delete;
    ExchangeTrace &operator=(const ExchangeTrace &) = delete;

    // Opens path for appending (created when missing). Only a regular file
    // (or a link to one) is taken: a named pipe, a device, a socket or a
    // folder is refused at once; the failure names the file and the reason.
    Result<void> open(const QString &path);
    // Traces into a descriptor the caller opened (a pipe to a viewer, a
    // test's pipe), which the trace owns from here on; name is what path()
    // and the messages call it.
    void adopt(int fd, const QString &name);
    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }

    enum class Direction { Sent, Received };
    // A transfer during the exchange's current step. Empty byte runs are not
    // traced.
    void transfer(Direction direction, const ExchangeState &exchange, const QByteArray &bytes);
    // A line of its own (start and end of a run, outcomes).
    void note(const QString &text);

    // The step an exchange is in: "start" before a command is sent, "version",
    // "read", "write" (with the data byte's number while a write sends them).
    static QString step(const ExchangeState &exchange, Direction direction);
    // "56 78 55 | VxU" for the given bytes.
    static QString hexLine(const QByteArray &bytes);

    // Blocks until every line handed over so far is on disk (tests, end of a
    // command-line run). Fails with the first failed write so far.
    Result<void> flush();

    // Ends the trace: every line written out, the file flushed to the disk
    // and closed. Fails, naming the file and the reason, when any write, the
    // flush or the close failed (a full disk, a failing device, a pipe nobody
    // reads). The destructor closes a trace that is still open.
    Result<void> close();

    // Whether any line could not be written (lines dropped because the file
    // could not keep up are counted in the file itself, not here).
    bool failed() const;

    static constexpr qsizetype MaxPending = 4 << 20;

  private:
    void enqueue(const QString &line);
    // The first failed write, flush or close so far.
    Result<void> status() const;
    void writerLoop();

    QString m_path;
    int m_fd = -1;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    std::deque<QByteArray> m_queue;
    qsizetype m_pending = 0;
    quint64 m_dropped = 0;
    int m_failure = 0; // the error number of the first failed write or close
    bool m_writing = false;
    bool m_stop = false;
    std::thread m_writer;
};
