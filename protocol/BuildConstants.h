#pragma once
// Constants fixed at build time (CMake cache variables PELMOR_SETUP_MASK0
// and PELMOR_SETUP_MASK1, passed as compile definitions).
#include <array>
#include <cstdint>

#if !defined(PELMOR_SETUP_MASK0) || !defined(PELMOR_SETUP_MASK1)
#error "PELMOR_SETUP_MASK0/1 come from the build (root CMakeLists.txt)"
#endif

// XORed with the setup packet's parameter to form its two-byte mask.
constexpr std::array<uint8_t, 2> kSetupMaskConst = {static_cast<uint8_t>(PELMOR_SETUP_MASK0),
                                                    static_cast<uint8_t>(PELMOR_SETUP_MASK1)};
