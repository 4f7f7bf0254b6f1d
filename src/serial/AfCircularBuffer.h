#pragma once

#include <memory>

// Fixed-size byte ring used as a port's output buffer. No locking inside:
// the owner locks. Writes are all or nothing; the bytes of the piece being
// sent stay in place until Remove, and new bytes only go to the free part.
class TAfCircularBuffer
{
  public:
    explicit TAfCircularBuffer(int capacity);

    int Capacity() const { return m_capacity; }
    int UsedCount() const;
    int FreeCount() const { return m_capacity - UsedCount(); }
    // Bytes readable in one piece from the read position.
    int LinearReadCount() const;
    const char *ReadPointer() const { return m_data.get() + m_read; }

    bool Write(const void *source, int count);
    bool Remove(int count);
    void Clear();

    // The block and positions as they are, for callers that check placement.
    const char *Data() const { return m_data.get(); }
    int ReadPosition() const { return m_read; }
    int WritePosition() const { return m_write; }
    bool Full() const { return m_full; }

  private:
    int advance(int position, int count) const;

    std::unique_ptr<char[]> m_data;
    int m_capacity;
    int m_read = 0;
    int m_write = 0;
    bool m_full = false;
};
