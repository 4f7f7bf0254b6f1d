#include "sim/KavrDeviceModel.h"

#include <algorithm>

namespace
{
constexpr int BlockSize = 128;
constexpr int HoursPos = 45;   // block position 46
constexpr int DaysPos = 46;    // block position 47
constexpr int PowerOnPos = 47; // block position 48
} // namespace

KavrDeviceModel::KavrDeviceModel(const KavrDeviceState &state, const KavrDeviceFaults &faults)
    : m_state(state), m_faults(faults), m_noise(faults.noiseSeed ? faults.noiseSeed : 1)
{
    m_state.serviceHours = std::clamp(m_state.serviceHours, 0, KavrDeviceState::MaxServiceHours);
}

KavrDeviceState KavrDeviceModel::initialState()
{
    KavrDeviceState s;
    s.block = factoryBlock();
    return s;
}

QByteArray KavrDeviceModel::feed(std::uint8_t byte)
{
    if (m_faults.silent)
        return {};
    if (m_phase == Phase::WriteData)
        return shape(writeData(byte));
    return shape(command(byte));
}

void KavrDeviceModel::abandonCommand()
{
    m_phase = Phase::Idle;
    m_incoming.clear();
}

QByteArray KavrDeviceModel::command(std::uint8_t byte)
{
    const Phase before = m_phase;
    m_phase = Phase::Idle;
    if (byte == 'P') {
        if (before == Phase::AfterR)
            return blockForRead();
        if (before == Phase::AfterW) {
            m_phase = Phase::WriteData;
            m_incoming.clear();
        }
        return {};
    }
    switch (byte) {
    case 'V':
        return statusAnswer();
    case 'R':
        m_phase = Phase::AfterR;
        break;
    case 'W':
        m_phase = Phase::AfterW;
        break;
    default:
        break;
    }
    return {};
}

QByteArray KavrDeviceModel::writeData(std::uint8_t byte)
{
    m_incoming.append(char(byte));
    const int n = m_incoming.size();
    if (m_faults.dropHandshakeAt > 0 && n >= m_faults.dropHandshakeAt) {
        // The device loses the thread here: no handshake, nothing stored.
        abandonCommand();
        return {};
    }
    if (m_faults.earlyZAt > 0 && n == m_faults.earlyZAt && n < BlockSize) {
        // Confirms a block it never got whole.
        abandonCommand();
        return QByteArray(1, 'Z');
    }
    if (n < BlockSize)
        return QByteArray(1, 'D');

    m_phase = Phase::Idle;
    m_lastWritten = m_incoming;
    m_incoming.clear();
    std::copy(m_lastWritten.cbegin(), m_lastWritten.cend(), m_state.block.begin());
    // A memory cell that does not keep what it was given: confirmed all the
    // same, and read back as it was stored.
    if (m_faults.corruptWriteAt >= 1 && m_faults.corruptWriteAt <= BlockSize)
        m_state.block[size_t(m_faults.corruptWriteAt - 1)] ^= 0x01;
    m_state.serviceHours = std::min<int>(m_state.block[HoursPos] + 24 * m_state.block[DaysPos],
                                         KavrDeviceState::MaxServiceHours);
    m_state.powerOnCount = m_state.block[PowerOnPos];
    ++m_writes;
    return m_faults.noZ ? QByteArray() : QByteArray(1, 'Z');
}

QByteArray KavrDeviceModel::blockForRead() const
{
    QByteArray out(reinterpret_cast<const char *>(m_state.block.data()), BlockSize);
    out[HoursPos] = char(m_state.serviceHours % 24);
    out[DaysPos] = char(m_state.serviceHours / 24);
    out[PowerOnPos] = char(m_state.powerOnCount);
    if (m_faults.wrongMarker)
        out[0] = char(m_faults.wrongMarkerByte);
    return out;
}

QByteArray KavrDeviceModel::statusAnswer() const
{
    const char answer[10] = {'V',
                             char(m_state.firmware),
                             'U',
                             char(m_state.powerOnCount),
                             'N',
                             char(m_state.serialNumber >> 8),
                             char(m_state.serialNumber & 0xFF),
                             'S',
                             char(m_state.serviceHours % 24),
                             char(m_state.serviceHours / 24)};
    return QByteArray(answer, sizeof answer);
}

QByteArray KavrDeviceModel::shape(QByteArray answer)
{
    if (m_faults.cutAfter >= 0 && answer.size() > m_faults.cutAfter)
        answer.truncate(m_faults.cutAfter);
    if (m_faults.strayAfter > 0 && answer.size() >= m_faults.strayAfter &&
        !(m_faults.strayOnce && m_strayed)) {
        answer.insert(m_faults.strayAfter, char(nextNoise()));
        m_strayed = true;
    }
    if (m_faults.noiseEvery <= 0 || answer.isEmpty())
        return answer;
    QByteArray noisy;
    for (char c : answer) {
        noisy.append(c);
        if (++m_answerBytes % m_faults.noiseEvery == 0)
            noisy.append(char(nextNoise()));
    }
    return noisy;
}

std::uint8_t KavrDeviceModel::nextNoise()
{
    // xorshift32: cheap, fixed for a given seed, never stuck at zero.
    m_noise ^= m_noise << 13;
    m_noise ^= m_noise >> 17;
    m_noise ^= m_noise << 5;
    return std::uint8_t(m_noise >> 24);
}
