// The live output's song rendered ahead of what it consumed, and the song's heard timeline: the
// output consumes the lookahead whichever consumer it has, device or silent, so that a change of
// consumer moves no row (player_live.cpp).
#include <algorithm>
#include <vector>

#include "platform/player_dispatch.h"
#include "platform/player_front.h"
#include "platform/player_live_parts.h"

namespace {

constexpr int64_t LOOKAHEAD_NS = 500000000;  // nanoseconds of song rendered ahead of what the output consumed
constexpr int RENDER_FRAMES = 256;           // frames rendered at a time into the lookahead
constexpr int64_t FILL_STEP_FRAMES = 2048;   // frames the lookahead may grow by in one take, beyond the take

// The mixing rate in Hz: written by openOutput, read by every thread.
std::atomic<int> mixRate{DEFAULT_MIX_RATE};

// The song rendered ahead: frames [aheadRead, aheadWrite) of the song, at their frame's index
// modulo aheadCapacity. Sized by openOutput; under playerRenderLock after that.
struct Lookahead {
    std::vector<float> frames;  // interleaved stereo
    int64_t capacity = 0;       // frames it holds
    int64_t target = 0;         // frames kept rendered beyond aheadRead
    int64_t read = 0;           // song frame the output consumes next
    int64_t write = 0;          // song frame rendered next
    bool timed = false;         // whether the song's heard timeline is set (its consumption began)
};
Lookahead ahead;

// The heard timeline: when song frame 0 is (or would have been) heard, nanoseconds on the
// monotonic clock. Written by the consumer with every buffer it takes; read by the dispatcher.
std::atomic<int64_t> timelineOrigin{0};
// When the consumer last took frames of the song, nanoseconds; 0 while the song is not consumed
// (it waits for its output). Written by the consumer, read by the dispatcher.
std::atomic<int64_t> lastConsumedNs{0};

// Whole frames played at the mixing rate in `ns` nanoseconds.
int64_t nsToFrames(int64_t ns)
{
    const int64_t rate = mixRate.load();
    return ns / k3l::NANOSECONDS_PER_SECOND * rate + ns % k3l::NANOSECONDS_PER_SECOND * rate / k3l::NANOSECONDS_PER_SECOND;
}

// Renders the playing song toward `ahead.target` frames beyond what was consumed, at least
// `needed` frames and at most FILL_STEP_FRAMES more than that at a time, so that the lookahead
// builds up over the song's first buffers rather than in one. Caller holds playerRenderLock; a song plays.
void fillLookahead(int64_t needed)
{
    const int64_t until = std::max(ahead.read + needed,
                                   std::min(ahead.read + ahead.target, ahead.write + needed + FILL_STEP_FRAMES));
    bool queued = false;
    while (ahead.write < until) {
        const int64_t start = ahead.write % ahead.capacity;
        const int frames = static_cast<int>(std::min<int64_t>({RENDER_FRAMES, until - ahead.write,
                                                                ahead.capacity - start}));
        queued |= renderPlayingSong(&ahead.frames[start * MODULE_CHANNELS], frames, ahead.write) > 0;
        ahead.write += frames;
    }
    if (queued) {
        wakeDispatcher();
    }
}

}  // namespace

void prepareLookahead(int rate)
{
    mixRate.store(rate);
    ahead.target = nsToFrames(LOOKAHEAD_NS);
    ahead.capacity = ahead.target + 2 * RENDER_FRAMES + static_cast<int64_t>(DEVICE_BUFFER_FRAMES) * 16;
    ahead.frames.assign(static_cast<size_t>(ahead.capacity * MODULE_CHANNELS), 0.0f);
    ahead.read = ahead.write = 0;
}

void restartLookahead()
{
    ahead.read = ahead.write = 0;
    ahead.timed = false;
    lastConsumedNs.store(0);
}

int outputRate()
{
    return mixRate.load();
}

int64_t framesToNs(int64_t frames)
{
    const int64_t rate = mixRate.load();
    return frames / rate * k3l::NANOSECONDS_PER_SECOND + frames % rate * k3l::NANOSECONDS_PER_SECOND / rate;
}

void consumeSong(float* out, int64_t frames, int64_t firstHeardNs, int64_t now)
{
    fillLookahead(frames);
    for (int64_t done = 0; out != nullptr && done < frames;) {
        const int64_t start = (ahead.read + done) % ahead.capacity;
        const int64_t count = std::min(frames - done, ahead.capacity - start);
        std::copy(&ahead.frames[start * MODULE_CHANNELS], &ahead.frames[(start + count) * MODULE_CHANNELS],
                  out + done * MODULE_CHANNELS);
        done += count;
    }
    timelineOrigin.store(firstHeardNs - framesToNs(ahead.read));
    ahead.timed = true;
    const bool resumed = now - lastConsumedNs.load() > HOLD_NS;
    ahead.read += frames;
    lastConsumedNs.store(now);
    fillLookahead(0);
    if (resumed) {
        wakeDispatcher();  // events were held while nothing was consumed: their times are known again
    }
}

void passOverUntil(int64_t untilNs, int64_t now)
{
    const int64_t origin = timelineOrigin.load();
    const int64_t most = ahead.capacity - ahead.target;  // frames one take may hold
    for (int64_t due = nsToFrames(untilNs - origin) - ahead.read; due > 0;
         due = nsToFrames(untilNs - origin) - ahead.read) {
        consumeSong(nullptr, std::min(due, most), origin + framesToNs(ahead.read), now);
    }
}

bool songTimed()
{
    return ahead.timed;
}

void delayTimeline(int64_t ns)
{
    timelineOrigin.store(timelineOrigin.load() + ns);
}

void holdSongEvents()
{
    lastConsumedNs.store(0);
}

int64_t heardNsOfFrame(int64_t frame)
{
    const int64_t consumed = lastConsumedNs.load();
    if (consumed == 0 || k3l::monotonicNanoseconds() - consumed > HOLD_NS) {
        return -1;
    }
    return timelineOrigin.load() + framesToNs(frame);
}
