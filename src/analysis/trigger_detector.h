#pragma once
// Recognises the press of a map's start or stop button in the network message
// block of one frame. The demo does not record presses; it records the sound
// messages the server sends for them, so this is a byte-pattern scan over the
// raw block, not a decoder of the message stream.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/sound_openings.h"
#include "records/records_database.h"

namespace rw {

class DemoReader;

// Sound index value meaning "not in the demo's resource list".
inline constexpr int32_t kNoSoundIndex = 65535;

struct TriggerInputs {
    // The entries of one phase (start or stop) of the map.
    std::span<const ByteString> entries;
    // Mode 3 only, one per entry: 1 = message pattern, 0 = 6-byte button
    // position (x, y, z as signed 16-bit little-endian game units).
    std::span<const uint8_t> kinds;
    uint8_t mode = 0;
    int32_t selectSoundIndex = kNoSoundIndex;
    int32_t denySoundIndex = kNoSoundIndex;
    std::array<float, 3> origin{};
};

// Where in a block the scan stops to look closer. It depends only on the
// mode, the entries and their kinds, so a walk makes it once per phase and
// hands it to every block of that phase.
openings::Filter triggerFilter(const TriggerInputs& inputs);

// True when the block holds a press matching one of the entries under the
// rules of the mode. Modes above 3 detect nothing. The filter is
// triggerFilter(inputs).
bool detectTriggerInBlock(std::span<const uint8_t> block, const TriggerInputs& inputs, const openings::Filter& filter);

// The same test on the length bytes at offset in the demo. Only bytes the file
// actually holds are scanned; scratch is reused between calls.
bool detectTrigger(DemoReader& reader, int64_t offset, uint32_t length, const TriggerInputs& inputs,
                   const openings::Filter& filter, std::vector<uint8_t>& scratch);

}  // namespace rw
