#pragma once
// The GoldSrc demo layout as the check reads it: the header fields, the frame
// types, and where each field read lies in its frame. Frame offsets count from
// the frame's type byte. Integers are little-endian, floats 32-bit IEEE 754.
#include <cstdint>
#include <string_view>

namespace rw::demo {

// Header.
inline constexpr std::string_view kMagic("HLDEMO\0", 7);  // at 0; zero bytes pad it to 8
inline constexpr int64_t kProtocolOffset = 12;            // u32 network protocol
inline constexpr int64_t kMapNameOffset = 16;             // zero-terminated 8-bit text
inline constexpr uint32_t kMapNameSize = 260;
inline constexpr int64_t kFirstFrame = 544;  // the header's size

enum FrameType : uint8_t {
    kStartupFrame = 0,
    kNetworkFrame = 1,
    kStartMarker = 2,
    kConsoleCommand = 3,
    kClientData = 4,
    kNextSection = 5,
    kEvent = 6,
    kWeaponAnimation = 7,
    kSoundFrame = 8,
    kDemoBuffer = 9,
};
inline constexpr uint8_t kLastFrameType = kDemoBuffer;

// Every frame opens with its type byte, the frame time (f32) and a frame number.
inline constexpr uint32_t kTimeOffset = 1;
inline constexpr uint32_t kFrameHeadSize = 9;

// Whole sizes of the frames that carry no length.
inline constexpr uint32_t kStartMarkerSize = kFrameHeadSize;
inline constexpr uint32_t kNextSectionSize = kFrameHeadSize;
inline constexpr uint32_t kClientDataSize = kFrameHeadSize + 32;
inline constexpr uint32_t kEventSize = kFrameHeadSize + 84;
inline constexpr uint32_t kWeaponAnimationSize = kFrameHeadSize + 8;

// Type 3: the command text, zero-padded.
inline constexpr uint32_t kCommandTextOffset = kFrameHeadSize;
inline constexpr uint32_t kCommandTextSize = 64;
inline constexpr uint32_t kConsoleCommandSize = kCommandTextOffset + kCommandTextSize;

// Type 8: a channel, the sample length L, L sample bytes, then a tail.
inline constexpr uint32_t kSoundLengthOffset = kFrameHeadSize + 4;
inline constexpr uint32_t kSoundTailSize = 16;

// Type 9: the length L, then L bytes.
inline constexpr uint32_t kBufferLengthOffset = kFrameHeadSize;

// Types 0 and 1: the client state, the message length L, then L message bytes.
inline constexpr uint32_t kOriginOffset = 113;  // 3 x f32
inline constexpr uint32_t kCommandMsecOffset = 247;  // u8
inline constexpr uint32_t kGravityOffset = 297;
inline constexpr uint32_t kMaxSpeedOffset = 305;
inline constexpr uint32_t kAirAccelerationOffset = 317;
inline constexpr uint32_t kEdgeFrictionOffset = 329;
inline constexpr uint32_t kStepSizeOffset = 345;
inline constexpr uint32_t kMaxVelocityOffset = 349;
inline constexpr uint32_t kFootstepsOffset = 361;  // i32; the other settings are f32
inline constexpr uint32_t kMessageLengthOffset = 473;
inline constexpr uint32_t kMessagesOffset = kMessageLengthOffset + 4;
// The fixed part after the type byte, which the walk hands to the findings.
inline constexpr uint32_t kClientFixedSize = kMessagesOffset - 1;

}  // namespace rw::demo
