#pragma once
// Writes synthetic GoldSrc demos frame by frame for tests: the
// header, then frames of every type with their layouts.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/demo_walk.h"
#include "memory_file.h"

namespace rw::test {

using Bytes = std::vector<uint8_t>;

// The client-state fields of a type-0/1 frame that the check reads. The
// defaults are the values a correct LAN run holds.
struct ClientState {
    float time = 0.0f;
    std::array<float, 3> origin{};
    uint8_t msec = 10;
    float gravity = 800.0f;
    float maxSpeed = 320.0f;
    float airAcceleration = 10.0f;
    float edgeFriction = 2.0f;
    float stepSize = 18.0f;
    float maxVelocity = 2000.0f;
    int32_t footsteps = 1;
};

class DemoBuilder {
public:
    explicit DemoBuilder(std::string_view mapName = "kz_builder", uint32_t networkProtocol = 48);

    // Types 0 and 1: the fixed part with the client state, then the messages.
    DemoBuilder& startupFrame(std::span<const uint8_t> messages);
    DemoBuilder& networkFrame(const ClientState& state = {}, std::span<const uint8_t> messages = {});
    DemoBuilder& consoleCommand(std::string_view text);  // type 3, 64 bytes zero-padded
    // Any other type: 2 and 4 to 7 carry no length, 8 (sound) and 9 (buffer) carry `length` bytes more.
    DemoBuilder& frame(uint8_t type, uint32_t length = 8);
    DemoBuilder& startMarker() { return frame(2); }
    DemoBuilder& demoBuffer(uint32_t length = 8) { return frame(9, length); }
    DemoBuilder& rawBytes(std::span<const uint8_t> bytes);

    const Bytes& bytes() const { return bytes_; }
    size_t size() const { return bytes_.size(); }

private:
    // Appends a frame of the given whole size, its head written and the rest zero.
    size_t head(uint8_t type, float time, size_t size);
    DemoBuilder& clientFrame(uint8_t type, const ClientState& state, std::span<const uint8_t> messages);
    Bytes bytes_;
};

namespace msg {  // message blocks and pieces of them

// A user-info string as a type-0 block holds it: "\name\<name>\*sid\<digits>".
Bytes userInfo(std::string_view name, std::string_view steamIdDigits);
// A resource-list block (first byte 0x2D) naming the two weapon-selection
// sounds with their index bytes; a negative index leaves that sound out.
Bytes soundResources(int selectIndex, int denyIndex = -1);
// 06 06, five bytes, then the pattern (modes 0, 1 and 3's pattern entries),
// or 06 07, six bytes, then the pattern (mode 2).
Bytes buttonPattern(uint8_t second, std::span<const uint8_t> pattern);
// 06 07 CC 66 16, the two bit-packed bytes naming sound index s, 80 (mode 3 positions).
Bytes buttonSoundFor(int soundIndex);
// A 6-byte mode-3 position entry.
Bytes positionEntry(int16_t x, int16_t y, int16_t z);

Bytes concat(std::initializer_list<std::span<const uint8_t>> parts);
Bytes text(std::string_view s);
Bytes filler(size_t n, uint8_t value = 0x55);

}  // namespace msg

// The check over a demo held in memory.
inline void checkDemoBytes(std::span<const uint8_t> demo, const RecordsDatabase* records, CheckResult& result,
                           RunSeries* series = nullptr) {
    checkDemo(openMemoryFile(demo), nullptr, records, result, series);
}

}  // namespace rw::test
