#include <gtest/gtest.h>

#include <cstring>

#include "service/HardwareBlock.h"

namespace {

tHardwareBlock SampleBlock(uint32_t recordSize, uint32_t generation) {
  tHardwareBlock block;
  PrepareHardwareBlock(block, 0x00010002, 0x00030004);
  block.RecordSize = recordSize;
  block.Signature = 0x000306C3;
  block.TjMax = 100;
  block.TscClock = 3400.0;
  block.CpuClock = 3600.0;
  block.Temperatures[0] = 41.0;
  block.Temperatures[15] = 47.0;
  block.Generation = generation;
  block.MultiplierClock = 3601.5;
  block.BusClock = 100.04;
  return block;
}

struct tReaderCase {
  const char* Name;
  uint32_t RecordSize;
  uint32_t Generation;
  bool Accepted;
  bool MultiplierValid;  // MultiplierClock and BusClock taken from the record
};

class ReaderRules : public ::testing::TestWithParam<tReaderCase> {};

TEST_P(ReaderRules, AcceptsAndChoosesClocks) {
  const tReaderCase& c = GetParam();
  const tHardwareBlock block = SampleBlock(c.RecordSize, c.Generation);
  tBlockReading reading;
  ASSERT_EQ(ReadHardwareBlock(&block, sizeof block, reading), c.Accepted);
  if (!c.Accepted) return;
  EXPECT_EQ(reading.RecordSize, c.RecordSize);
  EXPECT_EQ(reading.Signature, 0x000306C3u);
  EXPECT_EQ(reading.TjMax, 100);
  EXPECT_EQ(reading.CpuClock, 3600.0);
  EXPECT_EQ(reading.Temperatures[0], 41.0);
  EXPECT_EQ(reading.Temperatures[15], 47.0);
  EXPECT_EQ(reading.HasBusClock, c.MultiplierValid);
  EXPECT_EQ(reading.MultiplierClock, c.MultiplierValid ? 3601.5 : 3400.0);
  EXPECT_EQ(reading.BusClock, c.MultiplierValid ? 100.04 : 0.0);
  // The older form carries no generation, whatever follows it in memory.
  if (c.RecordSize == kOldHardwareBlockSize) {
    EXPECT_EQ(reading.Generation, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReaderRules,
    ::testing::Values(tReaderCase{"Fresh", 0, 0, false, false},
                      tReaderCase{"WrongSize", 300, 5, false, false},
                      tReaderCase{"Old296", 296, 5, true, false},
                      tReaderCase{"Gen0", 316, 0, true, false},
                      tReaderCase{"Gen1", 316, 1, true, true},
                      tReaderCase{"Gen11", 316, 11, true, true},
                      tReaderCase{"Amd12", 316, 12, true, false},
                      tReaderCase{"IntelByModel13", 316, 13, true, true},
                      tReaderCase{"Zen14", 316, 14, true, false},
                      tReaderCase{"Unknown15", 316, 15, true, false},
                      tReaderCase{"Old296Intel13", 296, 13, true, false},
                      tReaderCase{"HighBytesIgnored", 316, 0x1205, true, true},
                      tReaderCase{"LowByteAmd", 316, 0x010C, true, false}),
    [](const ::testing::TestParamInfo<tReaderCase>& info) { return info.param.Name; });

TEST(ReaderRules, FreshSectionIsNoService) {
  unsigned char zeros[kHardwareBlockSize] = {};
  tBlockReading reading;
  reading.TjMax = 77;
  EXPECT_FALSE(ReadHardwareBlock(zeros, sizeof zeros, reading));
  EXPECT_EQ(reading.TjMax, 77);  // untouched on rejection
}

TEST(ReaderRules, NeverReadsPastTheReadableBytes) {
  // A 296-byte record in a 296-byte buffer: accepted without touching byte 296.
  const tHardwareBlock block = SampleBlock(296, 5);
  auto* bytes = new unsigned char[296];
  std::memcpy(bytes, &block, 296);
  tBlockReading reading;
  EXPECT_TRUE(ReadHardwareBlock(bytes, 296, reading));
  delete[] bytes;
  // A record claiming 316 bytes in a shorter view is rejected.
  const tHardwareBlock full = SampleBlock(316, 5);
  EXPECT_FALSE(ReadHardwareBlock(&full, 300, reading));
  EXPECT_FALSE(ReadHardwareBlock(&full, 2, reading));
  EXPECT_FALSE(ReadHardwareBlock(nullptr, 316, reading));
}

TEST(ReaderRules, VersionText) {
  EXPECT_EQ(FormatServiceVersion(0x00010002, 0x00030004), "Service 1.2.3.4");
  EXPECT_EQ(FormatServiceVersion(0xFFFF0000, 0x0000FFFF), "Service 65535.0.0.65535");
  const tHardwareBlock block = SampleBlock(316, 0);
  tBlockReading reading;
  ASSERT_TRUE(ReadHardwareBlock(&block, sizeof block, reading));
  EXPECT_EQ(FormatServiceVersion(reading.VersionMS, reading.VersionLS), "Service 1.2.3.4");
}

TEST(WriterRules, PrepareZeroesAndSetsSizeAndVersion) {
  tHardwareBlock block;
  std::memset(&block, 0xAB, sizeof block);
  PrepareHardwareBlock(block, 0x00010002, 0x00030004);
  EXPECT_EQ(+block.RecordSize, 316u);
  EXPECT_EQ(+block.VersionMS, 0x00010002u);
  EXPECT_EQ(+block.VersionLS, 0x00030004u);
  EXPECT_EQ(+block.Loads[15], 0.0);
  EXPECT_EQ(+block.BusClock, 0.0);
}

TEST(WriterRules, IntelGenerationUsesMultiplierTimesBus) {
  tHardwareBlock block;
  PrepareHardwareBlock(block, 0, 0);
  const double temps[4] = {40, 41, 42, 43};
  tBlockReadings r;
  r.TjMax = 98.5;  // halves to even: 98
  r.TscClock = 3400.0;
  r.CpuClock = 3600.0;
  r.Multiplier = 36;
  r.BusClock = 100.0059;
  r.Generation = 5;
  r.ProcessorCount = 4;
  r.Temperatures = temps;
  UpdateHardwareBlock(block, r);
  EXPECT_EQ(+block.TjMax, 98);
  EXPECT_EQ(+block.Generation, 5u);
  EXPECT_DOUBLE_EQ(+block.MultiplierClock, 36 * 100.0059);
  EXPECT_EQ(+block.BusClock, 100.0059);
  EXPECT_EQ(+block.Temperatures[3], 43.0);
  for (int i = 4; i < kHardwareBlockSlots; ++i) EXPECT_EQ(+block.Temperatures[i], 0.0) << i;
}

// Intel processors named by model (13) carry the multiplier clock as 1..11 do.
TEST(WriterRules, IntelByModelUsesMultiplierTimesBus) {
  tHardwareBlock block;
  PrepareHardwareBlock(block, 0, 0);
  tBlockReadings r;
  r.TscClock = 3200.0;
  r.Multiplier = 49;
  r.BusClock = 100.01;
  r.Generation = kGenIntel;
  UpdateHardwareBlock(block, r);
  EXPECT_DOUBLE_EQ(+block.MultiplierClock, 49 * 100.01);
  EXPECT_EQ(+block.BusClock, 100.01);
}

TEST(WriterRules, OtherGenerationsCopyTscAndLeaveBusClock) {
  for (uint32_t generation : {0u, 12u, 14u}) {
    tHardwareBlock block;
    PrepareHardwareBlock(block, 0, 0);
    tBlockReadings r;
    r.TjMax = 99.5;  // halves to even: 100
    r.TscClock = 2800.25;
    r.CpuClock = 2800.25;
    r.Multiplier = 14;
    r.BusClock = 200.0;
    r.Generation = generation;
    UpdateHardwareBlock(block, r);
    EXPECT_EQ(+block.TjMax, 100);
    EXPECT_EQ(+block.MultiplierClock, 2800.25);
    EXPECT_EQ(+block.BusClock, 0.0) << generation;
  }
}

TEST(WriterRules, NeverWritesPastSlot15) {
  // Guard bytes after the block catch a write past the last slot.
  struct {
    tHardwareBlock Block;
    double Guard[8];
  } frame;
  std::memset(&frame, 0, sizeof frame);
  PrepareHardwareBlock(frame.Block, 0, 0);
  double many[24];
  for (int i = 0; i < 24; ++i) many[i] = 10.0 + i;
  tBlockReadings r;
  r.ProcessorCount = 24;
  r.Temperatures = many;
  r.Generation = 12;
  UpdateHardwareBlock(frame.Block, r);
  StoreBlockLoads(frame.Block, many, 24);
  EXPECT_EQ(+frame.Block.Temperatures[15], 25.0);
  EXPECT_EQ(+frame.Block.Loads[15], 25.0);
  EXPECT_EQ(+frame.Block.Generation, 12u);
  for (double g : frame.Guard) EXPECT_EQ(g, 0.0);
}

TEST(WriterRules, RoundingIsHalfToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(3399.6), 3400);
  EXPECT_EQ(RoundHalfEven(1e300), 2147483647);
}

}  // namespace
