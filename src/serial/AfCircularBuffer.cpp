#include "serial/AfCircularBuffer.h"

#include <algorithm>
#include <cstring>

TAfCircularBuffer::TAfCircularBuffer(int capacity)
    : m_data(new char[static_cast<size_t>(std::max(capacity, 1))]()), m_capacity(std::max(capacity, 0))
{
}

int TAfCircularBuffer::UsedCount() const
{
    if (m_full)
        return m_capacity;
    return m_write >= m_read ? m_write - m_read : m_write + m_capacity - m_read;
}

int TAfCircularBuffer::LinearReadCount() const
{
    if (m_full)
        return m_capacity - m_read;
    return m_write >= m_read ? m_write - m_read : m_capacity - m_read;
}

int TAfCircularBuffer::advance(int position, int count) const
{
    return position + count < m_capacity ? position + count : position + count - m_capacity;
}

bool TAfCircularBuffer::Write(const void *source, int count)
{
    if (count < 1 || FreeCount() < count)
        return false;
    const char *src = static_cast<const char *>(source);
    char *data = m_data.get();
    if (m_write < m_read) {
        std::memcpy(data + m_write, src, static_cast<size_t>(count));
    } else {
        const int room = m_capacity - m_write;
        if (room < count) {
            std::memcpy(data + m_write, src, static_cast<size_t>(room));
            std::memcpy(data, src + room, static_cast<size_t>(count - room));
        } else {
            std::memcpy(data + m_write, src, static_cast<size_t>(count));
        }
    }
    m_write = advance(m_write, count);
    m_full = m_read == m_write;
    return true;
}

bool TAfCircularBuffer::Remove(int count)
{
    if (count < 0 || UsedCount() < count)
        return false;
    m_read = advance(m_read, count);
    if (count > 0)
        m_full = false;
    return true;
}

void TAfCircularBuffer::Clear()
{
    m_read = 0;
    m_write = 0;
    m_full = false;
}
