#include "gif/FrameSchedule.h"

uint32_t FrameSchedule::DelayToMs(uint32_t nDelay)
{
    return nDelay >= 5 ? nDelay * 10u : 100u;
}

FrameSchedule::FrameSchedule() : m_bRunning(false), m_nDueMs(0) {}

void FrameSchedule::Restart()
{
    m_bRunning = false;
}

uint32_t FrameSchedule::WaitAfterFrame(uint64_t nNowMs, uint32_t nDelay)
{
    const uint64_t ms = DelayToMs(nDelay);
    uint64_t base = m_nDueMs;
    if (!m_bRunning || nNowMs >= m_nDueMs + ms)
        base = nNowMs;
    m_bRunning = true;
    m_nDueMs = base + ms;
    if (m_nDueMs <= nNowMs)
        return 0;
    // Never INFINITE: even the longest delay ends by itself, as the 32-bit arithmetic says.
    const uint64_t wait = m_nDueMs - nNowMs;
    return wait >= 0xFFFFFFFFu ? 0xFFFFFFFEu : static_cast<uint32_t>(wait);
}
