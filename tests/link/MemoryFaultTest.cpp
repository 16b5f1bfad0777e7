// Randomised faults on the sensor's side of the line during page writes: a
// write is never reported as verified unless the unit holds the image.
#include <gtest/gtest.h>

#include <random>

#include "link/MemoryRig.h"

namespace tolvane::link::test {
namespace {

TEST(UnitMemoryFaults, VerifiedMeansTheUnitHoldsTheImage) {
  std::mt19937 random(20261209);
  int verified = 0;
  int failed = 0;
  for (int run = 0; run < 1000; ++run) {
    sim::SimOptions options;
    auto& f = options.faults;
    int spoil = -1;
    switch (random() % 7) {
      case 0: f.dropEvery = static_cast<std::uint32_t>(20 + random() % 400); break;
      case 1: f.corruptEvery = static_cast<std::uint32_t>(20 + random() % 400); break;
      case 2:
        f.statusByte = 1 + static_cast<int>(random() % 4);
        f.statusCommand = std::array<int, 4>{CMD_ERASE_SCRATCH, CMD_WRITE_SCRATCH, CMD_COPY_SCRATCH,
                                             CMD_READ_BLOCK}[random() % 4];
        break;
      case 3: f.noReady = true; break;
      case 4: f.unplugAfter = 1 + random() % 1500; break;
      case 5: spoil = static_cast<int>(random() % 8); break;
      default: break;  // no fault
    }
    MemoryRig rig(options);
    rig.bridge.spoilBlock = spoil;
    for (auto& b : rig.memory.Staging()) {
      b = static_cast<std::uint8_t>(random());
    }
    const int wrote = rig.memory.WritePage(1);
    const int ok = wrote == 0 ? rig.memory.VerifyPage(PAGE_CUSTOMER) : 0;
    if (ok == 1) {
      ++verified;
      ASSERT_EQ(rig.sensor->Page(1), rig.memory.Staging()) << "run " << run;
      ASSERT_EQ(rig.memory.Page(PAGE_CUSTOMER), rig.memory.Staging()) << "run " << run;
    } else {
      ++failed;
      // Without a verify the cache keeps the old content.
      ASSERT_NE(rig.memory.Page(PAGE_CUSTOMER), rig.memory.Staging()) << "run " << run;
      if (wrote != 0) {
        ASSERT_FALSE(rig.link.IsLinkOpen()) << "run " << run;
      }
    }
  }
  // Both outcomes occur, so the check above had something to check.
  EXPECT_GT(verified, 100);
  EXPECT_GT(failed, 100);
}

}  // namespace
}  // namespace tolvane::link::test
