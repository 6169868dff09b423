#pragma once
// How many processors this process may run on: fewer than the machine has
// under taskset, a container's CPU set or a Windows affinity mask. At least 1.
namespace rw::platform {

unsigned usableProcessors();

}  // namespace rw::platform
