#pragma once
// The PCA9548 bus multiplexer in front of the sensors: one byte written to its address opens the
// channels of its set bits. The adapter board wires its six sensor connectors to channels
// 4, 5, 6, 3, 2 and 0, in connector order; channels 1 and 7 have no connector.

#include <cstdint>

namespace pca9548 {

constexpr uint8_t kAddress = 0x70;
constexpr uint8_t kAllOff = 0x00;
constexpr int kChannelCount = 8;
constexpr int kBoardCount = 6;
constexpr uint8_t kBoardMasks[kBoardCount] = {0x10, 0x20, 0x40, 0x08, 0x04, 0x01};

}  // namespace pca9548
