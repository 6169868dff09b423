#include "demo_builder.h"

#include <algorithm>
#include <bit>

#include "analysis/demo_format.h"

namespace rw::test {
namespace {

using namespace demo;

void putU32(Bytes& b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}
void putF32(Bytes& b, size_t at, float v) { putU32(b, at, std::bit_cast<uint32_t>(v)); }

// Types 2 to 7 by their whole size (3, the console command, has a writer of its own).
constexpr uint32_t kFixedSizes[] = {kStartMarkerSize, 0,          kClientDataSize,
                                    kNextSectionSize, kEventSize, kWeaponAnimationSize};

}  // namespace

DemoBuilder::DemoBuilder(std::string_view name, uint32_t networkProtocol) : bytes_(kFirstFrame, 0) {
    std::copy(kMagic.begin(), kMagic.end(), bytes_.begin());
    putU32(bytes_, kProtocolOffset, networkProtocol);
    std::copy_n(name.begin(), std::min<size_t>(kMapNameSize, name.size()), bytes_.begin() + kMapNameOffset);
}

size_t DemoBuilder::head(uint8_t type, float time, size_t size) {
    const size_t at = bytes_.size();
    bytes_.resize(at + size, 0);
    bytes_[at] = type;
    putF32(bytes_, at + kTimeOffset, time);
    return at;
}

DemoBuilder& DemoBuilder::clientFrame(uint8_t type, const ClientState& s, std::span<const uint8_t> messages) {
    const size_t at = head(type, s.time, kMessagesOffset);
    for (size_t axis = 0; axis < 3; ++axis) putF32(bytes_, at + kOriginOffset + 4 * axis, s.origin[axis]);
    bytes_[at + kCommandMsecOffset] = s.msec;
    const std::pair<uint32_t, float> settings[] = {
        {kGravityOffset, s.gravity},       {kMaxSpeedOffset, s.maxSpeed},     {kAirAccelerationOffset, s.airAcceleration},
        {kEdgeFrictionOffset, s.edgeFriction}, {kStepSizeOffset, s.stepSize}, {kMaxVelocityOffset, s.maxVelocity}};
    for (const auto& [offset, value] : settings) putF32(bytes_, at + offset, value);
    putU32(bytes_, at + kFootstepsOffset, static_cast<uint32_t>(s.footsteps));
    putU32(bytes_, at + kMessageLengthOffset, static_cast<uint32_t>(messages.size()));
    return rawBytes(messages);
}

DemoBuilder& DemoBuilder::startupFrame(std::span<const uint8_t> messages) { return clientFrame(kStartupFrame, {}, messages); }

DemoBuilder& DemoBuilder::networkFrame(const ClientState& state, std::span<const uint8_t> messages) {
    return clientFrame(kNetworkFrame, state, messages);
}

DemoBuilder& DemoBuilder::consoleCommand(std::string_view text) {
    const size_t at = head(kConsoleCommand, 0.0f, kConsoleCommandSize);
    std::copy_n(text.begin(), std::min<size_t>(kCommandTextSize, text.size()),
                bytes_.begin() + static_cast<ptrdiff_t>(at + kCommandTextOffset));
    return *this;
}

DemoBuilder& DemoBuilder::frame(uint8_t type, uint32_t length) {
    if (type == kSoundFrame) {
        const size_t at = head(type, 0.0f, kSoundLengthOffset + 4 + length + kSoundTailSize);
        putU32(bytes_, at + kFrameHeadSize, 1);  // channel
        putU32(bytes_, at + kSoundLengthOffset, length);
    } else if (type == kDemoBuffer) {
        putU32(bytes_, head(type, 0.0f, kBufferLengthOffset + 4 + length) + kBufferLengthOffset, length);
    } else {
        head(type, 0.0f, kFixedSizes[type - kStartMarker]);
    }
    return *this;
}

DemoBuilder& DemoBuilder::rawBytes(std::span<const uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

namespace msg {

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes filler(size_t n, uint8_t value) { return Bytes(n, value); }

Bytes concat(std::initializer_list<std::span<const uint8_t>> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes userInfo(std::string_view name, std::string_view steamIdDigits) {
    // A message number and a player slot come first in a real block.
    return concat({filler(3, 0x0D), text("\\name\\"), text(name), text("\\*sid\\"), text(steamIdDigits),
                   text("\\model\\urban"), Bytes(1, 0), filler(12, 0x21)});
}

Bytes soundResources(int select, int deny) {
    // Each name, its zero, the index's low byte, its high nibble under other data, and three more bytes.
    const auto entry = [](std::string_view name, int index) {
        const Bytes tail{0, static_cast<uint8_t>(index), static_cast<uint8_t>(((index >> 8) & 0x0F) | 0x30), 0, 0, 0};
        return index < 0 ? Bytes{} : concat({text(name), tail});
    };
    return concat({Bytes{0x2D, 0x01, 0x00}, text("ambience.wav"), Bytes{0x00, 0x01, 0x00},
                   entry("common/wpn_select.wav", select), entry("common/wpn_denyselect.wav", deny), Bytes(8, 0)});
}

Bytes buttonPattern(uint8_t second, std::span<const uint8_t> pattern) {
    return concat({Bytes{0x06, second}, filler(second - 1u, 0x11), pattern});
}

Bytes buttonSoundFor(int s) {
    return Bytes{0x06, 0x07, 0xCC, 0x66, 0x16, static_cast<uint8_t>((s & 1) << 7), static_cast<uint8_t>(s >> 1), 0x80};
}

Bytes positionEntry(int16_t x, int16_t y, int16_t z) {
    Bytes out;
    for (int16_t v : {x, y, z}) {
        out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF));
        out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
    }
    return out;
}

}  // namespace msg
}  // namespace rw::test
