#pragma once

#include <QString>

#include <optional>
#include <utility>

// What went wrong, told once: which kind of thing failed, on which file,
// port or remote, and why. The core's public functions report with it; the
// window turns it into a message box, the tool into a line on standard
// error and an exit code.
struct Failure {
    enum class Kind {
        File,     // a file could not be read, written or used
        Port,     // the serial port or the USB cable could not be opened or used
        Device,   // the communicator did not answer as it should
        Format,   // the contents are not what their kind must hold
        Refused,  // a value or a request that is not allowed
        History,  // the device history could not keep or list an entry
        Share,    // the device history could not be shared with the remote
        Argument, // a malformed request (a command line, a filter)
    };

    Kind kind = Kind::File;
    QString subject; // the file, port or remote; may be empty
    QString reason;  // in English, to follow the subject: "a named pipe, not a regular file"
    int code = 0;    // the system's error number, where there is one

    // "subject: reason", or the reason alone.
    QString text() const { return subject.isEmpty() ? reason : subject + QStringLiteral(": ") + reason; }
};

// A value, or the failure that kept it from being made.
template <typename T>
class [[nodiscard]] Result
{
  public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const & { return *m_value; }
    T &value() & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    const T *operator->() const { return &*m_value; }
    const T &operator*() const { return *m_value; }
    // Only when !ok().
    const Failure &failure() const { return m_failure; }

  private:
    std::optional<T> m_value;
    Failure m_failure;
};

// Done, or the failure that stopped it.
template <>
class [[nodiscard]] Result<void>
{
  public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_failure(std::move(failure)) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Failure &failure() const { return m_failure; }

  private:
    bool m_failed = false;
    Failure m_failure;
};
