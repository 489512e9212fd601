// When an animation shows its next frame. A frame's time counts from the moment it was due,
// not from the end of its drawing, so drawing time does not add up over a loop; after a stall
// of more than a whole frame the schedule starts again from now rather than catching up in a
// burst of frames. Plain C++: the caller supplies the clock.
#pragma once

#include <cstdint>

class FrameSchedule {
public:
    // Milliseconds a frame stays for its delay in hundredths of a second: delay x 10 from 5
    // on, 100 ms for 0 to 4. Unsigned 32-bit, so the delay of a frame without a control
    // extension (0xFFFFFFFF) means 4294967286 ms, in effect until a stop.
    static uint32_t DelayToMs(uint32_t nDelay);

    FrameSchedule();
    // The next frame drawn starts the schedule afresh.
    void Restart();
    // A frame of the given delay was drawn at nNowMs: milliseconds to wait before the next.
    uint32_t WaitAfterFrame(uint64_t nNowMs, uint32_t nDelay);

private:
    bool m_bRunning;
    uint64_t m_nDueMs;   // when the frame drawn last was due
};
