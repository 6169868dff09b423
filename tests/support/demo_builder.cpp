#include "demo_builder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>

#include "analysis/demo_format.h"

namespace rw::test {
namespace {

void putU32(Bytes& b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}
void putF32(Bytes& b, size_t at, float v) { putU32(b, at, std::bit_cast<uint32_t>(v)); }

using namespace demo;

// Header fields the check skips.
constexpr size_t kFormatVersionOffset = 8;
constexpr size_t kGameFolderOffset = 276;

}  // namespace

DemoBuilder::DemoBuilder(std::string_view name, uint32_t networkProtocol) : bytes_(kFirstFrame, 0) {
    magic(kMagic);
    putU32(bytes_, kFormatVersionOffset, 5);
    protocol(networkProtocol);
    mapName(name);
    std::memcpy(bytes_.data() + kGameFolderOffset, "cstrike", 7);
}

DemoBuilder& DemoBuilder::magic(std::string_view eightBytes) {
    std::fill_n(bytes_.begin(), 8, 0);
    std::copy_n(eightBytes.begin(), std::min<size_t>(8, eightBytes.size()), bytes_.begin());
    return *this;
}

DemoBuilder& DemoBuilder::protocol(uint32_t networkProtocol) {
    putU32(bytes_, kProtocolOffset, networkProtocol);
    return *this;
}

DemoBuilder& DemoBuilder::mapName(std::string_view name) {
    std::fill_n(bytes_.begin() + kMapNameOffset, kMapNameSize, 0);
    std::copy_n(name.begin(), std::min<size_t>(kMapNameSize, name.size()), bytes_.begin() + kMapNameOffset);
    return *this;
}

DemoBuilder& DemoBuilder::frame(uint8_t type, float time, size_t size, uint8_t fill) {
    const size_t at = bytes_.size();
    bytes_.resize(at + size, fill);
    bytes_[at] = type;
    putF32(bytes_, at + kTimeOffset, time);
    putU32(bytes_, at + kTimeOffset + 4, 0);  // frame number
    return *this;
}

DemoBuilder& DemoBuilder::clientFrameClaiming(uint8_t type, const ClientState& s, std::span<const uint8_t> messages,
                                              uint32_t claimedLength) {
    const size_t at = bytes_.size();
    frame(type, s.time, kMessagesOffset);
    for (size_t axis = 0; axis < 3; ++axis) putF32(bytes_, at + kOriginOffset + 4 * axis, s.origin[axis]);
    bytes_[at + kCommandMsecOffset] = s.msec;
    putF32(bytes_, at + kGravityOffset, s.gravity);
    putF32(bytes_, at + kMaxSpeedOffset, s.maxSpeed);
    putF32(bytes_, at + kAirAccelerationOffset, s.airAcceleration);
    putF32(bytes_, at + kEdgeFrictionOffset, s.edgeFriction);
    putF32(bytes_, at + kStepSizeOffset, s.stepSize);
    putF32(bytes_, at + kMaxVelocityOffset, s.maxVelocity);
    putU32(bytes_, at + kFootstepsOffset, static_cast<uint32_t>(s.footsteps));
    putU32(bytes_, at + kMessageLengthOffset, claimedLength);
    bytes_.insert(bytes_.end(), messages.begin(), messages.end());
    return *this;
}

DemoBuilder& DemoBuilder::startupFrame(std::span<const uint8_t> messages, const ClientState& state) {
    return clientFrameClaiming(kStartupFrame, state, messages, static_cast<uint32_t>(messages.size()));
}

DemoBuilder& DemoBuilder::networkFrame(const ClientState& state, std::span<const uint8_t> messages) {
    return clientFrameClaiming(kNetworkFrame, state, messages, static_cast<uint32_t>(messages.size()));
}

DemoBuilder& DemoBuilder::consoleCommand(std::string_view text, float time) {
    const size_t at = bytes_.size();
    frame(kConsoleCommand, time, kConsoleCommandSize);
    std::copy_n(text.begin(), std::min<size_t>(kCommandTextSize, text.size()),
                bytes_.begin() + static_cast<ptrdiff_t>(at + kCommandTextOffset));
    return *this;
}

DemoBuilder& DemoBuilder::startMarker(float time) { return frame(kStartMarker, time, kStartMarkerSize); }
DemoBuilder& DemoBuilder::clientData() { return frame(kClientData, 0.0f, kClientDataSize); }
DemoBuilder& DemoBuilder::nextSection() { return frame(kNextSection, 0.0f, kNextSectionSize); }
DemoBuilder& DemoBuilder::event() { return frame(kEvent, 0.0f, kEventSize); }
DemoBuilder& DemoBuilder::weaponAnimation() { return frame(kWeaponAnimation, 0.0f, kWeaponAnimationSize); }

DemoBuilder& DemoBuilder::soundFrame(uint32_t sampleLength) {
    const size_t at = bytes_.size();
    frame(kSoundFrame, 0.0f, kSoundLengthOffset + 4 + sampleLength + kSoundTailSize, 0x33);
    putU32(bytes_, at + kFrameHeadSize, 1);  // channel
    putU32(bytes_, at + kSoundLengthOffset, sampleLength);
    return *this;
}

DemoBuilder& DemoBuilder::demoBuffer(uint32_t length) {
    const size_t at = bytes_.size();
    frame(kDemoBuffer, 0.0f, kBufferLengthOffset + 4 + length, 0x44);
    putU32(bytes_, at + kBufferLengthOffset, length);
    return *this;
}

DemoBuilder& DemoBuilder::rawBytes(std::span<const uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

std::filesystem::path DemoBuilder::writeTo(const std::filesystem::path& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    return path;
}

namespace msg {

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes filler(size_t n, uint8_t value) { return Bytes(n, value); }

Bytes concat(std::initializer_list<std::span<const uint8_t>> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes steamIdKey(std::string_view digits) { return text(std::string("\\*sid\\") + std::string(digits)); }

Bytes nameKey(std::string_view name) { return text(std::string("\\name\\") + std::string(name)); }

Bytes userInfo(std::string_view name, std::string_view steamIdDigits) {
    // A message number and a player slot come first in a real block.
    return concat({filler(3, 0x0D), nameKey(name), steamIdKey(steamIdDigits), text("\\model\\urban"), Bytes(1, 0),
                   filler(12, 0x21)});
}

Bytes soundResources(int selectIndex, int denyIndex) {
    // Each name, its zero, the index's low byte, its high nibble under other
    // data, and three more bytes.
    const auto entry = [](std::string_view name, int index) {
        if (index < 0) return Bytes{};
        const Bytes tail{0x00, static_cast<uint8_t>(index & 0xFF), static_cast<uint8_t>(((index >> 8) & 0x0F) | 0x30),
                         0x00, 0x00, 0x00};
        return concat({text(name), tail});
    };
    return concat({Bytes{0x2D, 0x01, 0x00}, text("ambience.wav"), Bytes{0x00, 0x01, 0x00},
                   entry("common/wpn_select.wav", selectIndex), entry("common/wpn_denyselect.wav", denyIndex),
                   Bytes(8, 0x00)});
}

Bytes buttonPattern66(std::span<const uint8_t> pattern, uint8_t fill) {
    return concat({Bytes{0x06, 0x06}, filler(5, fill), pattern});
}

Bytes buttonPattern67(std::span<const uint8_t> pattern, uint8_t fill) {
    return concat({Bytes{0x06, 0x07}, filler(6, fill), pattern});
}

Bytes buttonSound(uint8_t lowByte, uint8_t highByte) {
    return Bytes{0x06, 0x07, 0xCC, 0x66, 0x16, lowByte, highByte, 0x80};
}

Bytes buttonSoundFor(int soundIndex) {
    return buttonSound(static_cast<uint8_t>((soundIndex & 1) << 7), static_cast<uint8_t>(soundIndex >> 1));
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
