#pragma once
// The status code of the shared result: 0 idle, 1 to 99 percent of a running
// check, 100 a finished check, 101/102 the update pass, negative a failure
// whose text is the message text.
#include <cstdint>

namespace rw {

namespace status {
inline constexpr int32_t idle = 0;
inline constexpr int32_t finished = 100;
inline constexpr int32_t updateCheckRunning = 101;
inline constexpr int32_t updateMessage = 102;
inline constexpr int32_t openFailed = -1;
inline constexpr int32_t rejected = -2;
inline constexpr int32_t noDemoInArchive = -3;
}  // namespace status

}  // namespace rw
