// The shell's platform-free rules: hashing and dispatch on texts, the texts
// it shows, the PE link stamp, device paths, WM_COPYDATA texts and the
// mapping of a service block reading onto the processor snapshot.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "applet/shell/ShellRules.h"

namespace {

TEST(ShellText, HashesOfTheWordsTheShellDispatchesOn) {
  const struct {
    const char* text;
    uint32_t hash;
  } cases[] = {
      {"", 0x811C9DC5u},          {"-UNINSTALL", 0xED44C91Au}, {"/UNINSTALL", 0xC9629958u},
      {"NVI", 0x54B56624u},       {"ATI", 0x529C2493u},        {"AMD", 0x7363FFF5u},
      {"RAD", 0x93D93E88u},       {"INT", 0xD8C3957Eu},
  };
  for (const auto& c : cases) EXPECT_EQ(HashText(c.text), c.hash) << c.text;
  // Bytes above 127 are hashed as unsigned bytes.
  EXPECT_EQ(HashText("\xB0"), (0x811C9DC5u ^ 0xB0u) * 0x01000193u);
}

TEST(ShellText, StopSwitchesInAnyCase) {
  const struct {
    const char* argument;
    bool stop;
  } cases[] = {
      {"-uninstall", true}, {"/Uninstall", true}, {"-UNINSTALL", true}, {"/UNINSTALL", true},
      {"uninstall", false}, {"-uninstall ", false}, {"--uninstall", false}, {"", false}, {"-install", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsStopSwitch(c.argument), c.stop) << c.argument;
}

// Only a name that does not exist means that no copy runs; a refusal of any
// other kind (an elevated copy's mutex denies access) is a running copy.
TEST(ShellText, RunningCopyFromTheMutexOpen) {
  const struct {
    bool opened;
    uint32_t error;
    tRunningCopy copy;
  } cases[] = {
      {true, 0, kRunningCopyOpened},         {true, 183, kRunningCopyOpened},
      {false, 2, kNoRunningCopy},            {false, 5, kRunningCopyUnreachable},
      {false, 6, kRunningCopyUnreachable},   {false, 0, kRunningCopyUnreachable},
      {false, 1450, kRunningCopyUnreachable},
  };
  for (const auto& c : cases) EXPECT_EQ(RunningCopyFromOpen(c.opened, c.error), c.copy) << c.opened << " " << c.error;
}

TEST(ShellText, AdapterKindFromTheFirstThreeLetters) {
  const struct {
    const char* device;
    tAdapterKind kind;
  } cases[] = {
      {"NVIDIA GeForce GTX 1080", kAdapterNvidia},
      {"nVidia Quadro", kAdapterNvidia},
      {"ATI Radeon HD 5770", kAdapterAti},
      {"AMD Radeon RX 580", kAdapterAti},
      {"Radeon RX Vega", kAdapterAti},
      {"Intel(R) UHD Graphics 630", kAdapterIntel},
      {"Microsoft Basic Display Adapter", kAdapterNone},
      {"NV", kAdapterNone},
      {"", kAdapterNone},
  };
  for (const auto& c : cases) EXPECT_EQ(AdapterKindFromName(c.device), c.kind) << c.device;
}

TEST(ShellText, ClampAndIndexOfText) {
  EXPECT_EQ(Clamp(7, 1, 4), 4);
  EXPECT_EQ(Clamp(0.5, 1, 4), 1);
  EXPECT_EQ(Clamp(2.5, 1, 4), 2.5);
  EXPECT_EQ(Clamp(1, 1, 4), 1);
  EXPECT_EQ(Clamp(4, 1, 4), 4);

  const std::vector<std::string> fonts = {"5x7", "4x7", "5x6", "4x6", "4x5", "D7x10", "D7x12", "D8x14"};
  EXPECT_EQ(IndexOfText("d7x12", fonts), 6);
  EXPECT_EQ(IndexOfText("D8X14", fonts), 7);
  EXPECT_EQ(IndexOfText("4x7", fonts), 1);
  EXPECT_EQ(IndexOfText("9x9", fonts), 0);
  EXPECT_EQ(IndexOfText("D7x1", fonts), 0);  // a prefix is no match
  EXPECT_EQ(IndexOfText("", fonts), 0);
  EXPECT_EQ(IndexOfText("x", {}), 0);
}

TEST(ShellText, MessagesTrayTipAndCaptureName) {
  EXPECT_EQ(MissingIniText("C:\\a.ini"), "Error, C:\\a.ini                      \n\r\r");
  const std::string longPath(40, 'p');
  EXPECT_EQ(MissingIniText(longPath), "Error, " + longPath + "\n\r\r");

  EXPECT_EQ(TrayTipText("Kestrani", "Dec 10 2026", "08:49:00"), "Kestrani\rBuild: Dec 10 2026-08:49:00");
  const std::string tip = TrayTipText(std::string(60, 't'), "Dec 10 2026", "08:49:00");
  EXPECT_EQ(tip.size(), 63u);
  EXPECT_EQ(tip, std::string(60, 't') + "\rBu");

  EXPECT_EQ(CaptureFileName("C:\\Pictures\\", "2026-12-10", "084900"), "C:\\Pictures\\2026-12-10-084900.bmp");
  EXPECT_EQ(ServiceVersionText(0x00010002, 0x00030004), "Service 1.2.3.4");
}

// A 512-byte file start with "MZ", the PE offset and "PE\0\0" there.
std::vector<uint8_t> Header(uint32_t peOffset, uint32_t stamp, size_t length = 512) {
  std::vector<uint8_t> bytes(length, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  std::memcpy(&bytes[60], &peOffset, 4);
  if (peOffset + 12 <= length) {
    std::memcpy(&bytes[peOffset], "PE\0\0", 4);
    std::memcpy(&bytes[peOffset + 8], &stamp, 4);
  }
  return bytes;
}

TEST(LinkStamp, HeaderRules) {
  uint32_t stamp = 0;
  std::vector<uint8_t> good = Header(128, 0x5F5E1000u);
  ASSERT_TRUE(LinkStampFromHeader(good.data(), good.size(), stamp));
  EXPECT_EQ(stamp, 0x5F5E1000u);

  stamp = 7;
  EXPECT_FALSE(LinkStampFromHeader(good.data(), 511, stamp));  // too short
  EXPECT_FALSE(LinkStampFromHeader(nullptr, 512, stamp));

  std::vector<uint8_t> badMz = good;
  badMz[1] = 'Y';
  EXPECT_FALSE(LinkStampFromHeader(badMz.data(), badMz.size(), stamp));

  std::vector<uint8_t> badPe = good;
  badPe[129] = 'X';
  EXPECT_FALSE(LinkStampFromHeader(badPe.data(), badPe.size(), stamp));

  std::vector<uint8_t> low = Header(63, 1);
  EXPECT_FALSE(LinkStampFromHeader(low.data(), low.size(), stamp));
  std::vector<uint8_t> first = Header(64, 1);
  EXPECT_TRUE(LinkStampFromHeader(first.data(), first.size(), stamp));
  std::vector<uint8_t> last = Header(3848, 2, 4096);
  EXPECT_TRUE(LinkStampFromHeader(last.data(), last.size(), stamp));
  EXPECT_EQ(stamp, 2u);
  std::vector<uint8_t> high = Header(3849, 3, 4096);
  EXPECT_FALSE(LinkStampFromHeader(high.data(), high.size(), stamp));
  // An offset within the allowed range but past the bytes read.
  std::vector<uint8_t> pastEnd = Header(1000, 4, 600);
  EXPECT_FALSE(LinkStampFromHeader(pastEnd.data(), pastEnd.size(), stamp));
  EXPECT_EQ(stamp, 2u);  // unchanged by every failure

  std::vector<uint8_t> late = Header(128, 0x80000000u);
  ASSERT_TRUE(LinkStampFromHeader(late.data(), late.size(), stamp));
  EXPECT_EQ(stamp, 0x80000000u);
}

TEST(LinkStamp, FileTimeIsUnsigned) {
  EXPECT_EQ(LinkStampToFileTime(0), 116444736000000000ull);
  EXPECT_EQ(LinkStampToFileTime(1), 116444736010000000ull);
  // 2^31 s after 1970 is 2038-01-19 03:14:08, later than 2^31 - 1, not 1901.
  EXPECT_EQ(LinkStampToFileTime(0x80000000u), 116444736000000000ull + 0x80000000ull * 10000000ull);
  EXPECT_GT(LinkStampToFileTime(0x80000000u), LinkStampToFileTime(0x7FFFFFFFu));
  EXPECT_EQ(LinkStampToFileTime(0xFFFFFFFFu), 116444736000000000ull + 0xFFFFFFFFull * 10000000ull);
}

TEST(DevicePath, PrefixReplacedByDriveLetter) {
  std::string path = "\\Device\\HarddiskVolume1\\Program Files\\LCore.exe";
  EXPECT_TRUE(ReplaceDevicePrefix(path, "\\device\\harddiskvolume1", 'c'));
  EXPECT_EQ(path, "C:\\Program Files\\LCore.exe");

  std::string other = "\\Device\\HarddiskVolume2\\x.exe";
  EXPECT_FALSE(ReplaceDevicePrefix(other, "\\Device\\HarddiskVolume1", 'c'));
  EXPECT_EQ(other, "\\Device\\HarddiskVolume2\\x.exe");
  // Only the beginning counts.
  std::string inner = "\\x\\Device\\HarddiskVolume1\\y";
  EXPECT_FALSE(ReplaceDevicePrefix(inner, "\\Device\\HarddiskVolume1", 'd'));
  std::string shortPath = "\\Dev";
  EXPECT_FALSE(ReplaceDevicePrefix(shortPath, "\\Device\\HarddiskVolume1", 'd'));
  std::string any = "\\Device\\x";
  EXPECT_FALSE(ReplaceDevicePrefix(any, "", 'd'));
  EXPECT_EQ(any, "\\Device\\x");
}

TEST(CopyData, TextIsBoundedByTheByteCount) {
  EXPECT_EQ(CopyDataText(nullptr, 10), "");
  const char noNul[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(CopyDataText(noNul, sizeof noNul), "abcd");  // never reads past cbData
  EXPECT_EQ(CopyDataText(noNul, 2), "ab");
  EXPECT_EQ(CopyDataText(noNul, 0), "");
  const char withNul[6] = {'h', 'i', '\0', 'x', 'y', '\0'};
  EXPECT_EQ(CopyDataText(withNul, sizeof withNul), "hi");
}

// A block in either form through the reader's acceptance rules.
tBlockReading Accepted(uint32_t recordSize, uint32_t generation, int processors = 4) {
  tHardwareBlock block;
  PrepareHardwareBlock(block, 0x00020001, 0x00000007);
  block.RecordSize = recordSize;
  block.Signature = 0x000906EA;
  block.TjMax = 100;
  block.TscClock = 3600.0;
  block.CpuClock = 4100.0;
  for (int i = 0; i < kHardwareBlockSlots; ++i) block.Temperatures[i] = i < processors ? 40.0 + i : 0.0;
  block.Generation = generation;
  block.MultiplierClock = 4200.0;
  block.BusClock = 99.8;
  tBlockReading reading;
  EXPECT_TRUE(ReadHardwareBlock(&block, sizeof block, reading));
  return reading;
}

tCPUData Snapshot(int processors) {
  tCPUData cpu{};
  cpu.BusClock = 133.0;
  cpu.TemperatureItems.assign(static_cast<size_t>(processors), tTextItem{});
  for (auto& item : cpu.TemperatureItems) item.Value = -1;
  return cpu;
}

TEST(ServiceReading, ClocksByFormAndGeneration) {
  const struct {
    uint32_t size;
    uint32_t generation;
    double realClock;
    double busClock;
  } cases[] = {
      {316, 5, 4200.0, 99.8},     // Intel generation: multiplier clock and bus clock
      {316, 0x105, 4200.0, 99.8}, // only the low byte names the generation
      {316, 12, 3600.0, 133.0},   // AMD: the counter's clock, bus clock kept
      {316, 0, 3600.0, 133.0},
      {296, 5, 3600.0, 133.0},    // older form: no generation at all
  };
  for (const auto& c : cases) {
    tCPUData cpu = Snapshot(4);
    tLcdSettings settings;
    std::string text;
    ApplyServiceReading(Accepted(c.size, c.generation), settings, cpu, text);
    EXPECT_EQ(text, "Service 2.1.0.7");
    EXPECT_EQ(cpu.RealClock, c.realClock) << c.size << "/" << c.generation;
    EXPECT_EQ(cpu.BusClock, c.busClock) << c.size << "/" << c.generation;
    EXPECT_EQ(cpu.Frequency.Value, 4100.0);
    EXPECT_EQ(cpu.Signature, 0x000906EAu);
    EXPECT_EQ(settings.CpuAlarm, 0);
  }
}

TEST(ServiceReading, TemperaturesInTheDisplayUnit) {
  tBlockReading reading = Accepted(316, 5);
  reading.Temperatures[0] = 50.0;
  reading.Temperatures[1] = -40.0;
  tCPUData cpu = Snapshot(2);
  tLcdSettings settings;
  std::string text;
  settings.Fahrenheit = true;
  ApplyServiceReading(reading, settings, cpu, text);
  EXPECT_EQ(cpu.TemperatureItems[0].Value, 122.0);
  EXPECT_EQ(cpu.TemperatureItems[1].Value, -40.0);
  settings.Fahrenheit = false;
  ApplyServiceReading(reading, settings, cpu, text);
  EXPECT_EQ(cpu.TemperatureItems[0].Value, 50.0);
}

TEST(ServiceReading, ProcessorsPastTheBlocksSlotsReadZero) {
  const tBlockReading reading = Accepted(316, 5, 16);
  tCPUData cpu = Snapshot(20);
  tLcdSettings settings;
  std::string text;
  settings.Fahrenheit = true;
  ApplyServiceReading(reading, settings, cpu, text);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(cpu.TemperatureItems[i].Value, (40.0 + i) * 9 / 5 + 32) << i;
  for (int i = 16; i < 20; ++i) EXPECT_EQ(cpu.TemperatureItems[i].Value, 0.0) << i;
}

TEST(ServiceReading, NegativeAlarmCountsDownFromTjMaxOnce) {
  const tBlockReading reading = Accepted(316, 5);
  tCPUData cpu = Snapshot(4);
  tLcdSettings settings;
  std::string text;
  settings.CpuAlarm = settings.CpuAlarmSetting = -5;
  ApplyServiceReading(reading, settings, cpu, text);
  EXPECT_EQ(settings.CpuAlarm, 95);
  ApplyServiceReading(reading, settings, cpu, text);
  EXPECT_EQ(settings.CpuAlarm, 95);
  // A TjMax of 0 is unknown: the alarm stays off until a reading has one.
  tBlockReading unknown = reading;
  unknown.TjMax = 0;
  settings = tLcdSettings{};
  settings.CpuAlarm = settings.CpuAlarmSetting = -5;
  ApplyServiceReading(unknown, settings, cpu, text);
  EXPECT_LT(settings.CpuAlarm, 1);
  ApplyServiceReading(reading, settings, cpu, text);
  EXPECT_EQ(settings.CpuAlarm, 95);
  // Once known, the service's TjMax stays the base.
  tBlockReading other = reading;
  other.TjMax = 90;
  ApplyServiceReading(other, settings, cpu, text);
  EXPECT_EQ(settings.CpuAlarm, 95);
}

// With Fahrenheit on, the relative threshold is TjMax - n degrees Celsius in
// degrees Fahrenheit, like the temperatures it is compared with; the toggle
// moves it at the next gathering together with them.
TEST(ServiceReading, RelativeAlarmInTheDisplayUnit) {
  tBlockReading reading = Accepted(316, 5);
  reading.Temperatures[0] = 60.0;
  tCPUData cpu = Snapshot(4);
  tLcdSettings settings;
  std::string text;
  settings.CpuAlarm = settings.CpuAlarmSetting = -5;
  settings.Fahrenheit = true;
  ApplyServiceReading(reading, settings, cpu, text);
  EXPECT_EQ(cpu.TemperatureItems[0].Value, 140.0);
  EXPECT_EQ(settings.CpuAlarm, 203);  // 95 degrees C
  settings.Fahrenheit = false;
  ApplyServiceReading(reading, settings, cpu, text);
  EXPECT_EQ(settings.CpuAlarm, 95);
  settings.Fahrenheit = true;
  UpdateCpuAlarm(settings, 0);  // a gathering from the in-process sampler
  EXPECT_EQ(settings.CpuAlarm, 203);
}

TEST(ServiceReading, AlarmThresholdRule) {
  struct Case {
    int32_t configured, tjMax;
    bool fahrenheit;
    int32_t threshold;
  } cases[] = {
      {0, 100, true, 0},       {70, 100, false, 70},  {70, 100, true, 70},   // absolute: as configured
      {-5, 100, false, 95},    {-5, 100, true, 203},  {-6, 100, true, 201},  // 94 C = 201.2 F
      {-5, 0, true, -5},       {-5, 0, false, -5},                           // TjMax unknown: off
      {-100, 100, true, 0},    {-2147483647 - 1, 105, true, 0},              // below 1 C: off
  };
  for (const Case& c : cases)
    EXPECT_EQ(CpuAlarmThreshold(c.configured, c.tjMax, c.fahrenheit), c.threshold)
        << c.configured << " " << c.tjMax << " " << c.fahrenheit;
}

// The in-process sampler's TjMax at start (a double, rounded) is the base.
TEST(ServiceReading, SamplerTjMaxIsTheBase) {
  tLcdSettings settings;
  settings.CpuAlarm = settings.CpuAlarmSetting = -10;
  settings.Fahrenheit = true;
  UpdateCpuAlarm(settings, 99.6);
  EXPECT_EQ(settings.CpuAlarmTjMax, 100);
  EXPECT_EQ(settings.CpuAlarm, 194);  // 90 degrees C
  settings.Fahrenheit = false;
  UpdateCpuAlarm(settings, 0);
  EXPECT_EQ(settings.CpuAlarm, 90);
}

}  // namespace

// The own sampler fills every temperature the layout has, past the 16 slots
// of the service's block.
TEST(SamplerReading, ShowsEveryProcessorPastSixteen) {
  double celsius[24];
  for (int i = 0; i < 24; ++i) celsius[i] = 30.0 + i;
  tBlockReadings reading;
  reading.Generation = 13;
  reading.Temperatures = celsius;
  reading.ProcessorCount = 24;
  tCPUData cpu = Snapshot(24);
  ApplySamplerReading(reading, 0x90672, false, cpu);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(cpu.TemperatureItems[i].Value, 30.0 + i) << i;
}

TEST(SamplerReading, ClocksByGenerationAndTemperaturesInTheDisplayUnit) {
  const double celsius[] = {50.0, 61.0, 72.0};
  const struct {
    uint32_t generation;
    double realClock;
    double busClock;
  } cases[] = {
      {5, 34 * 99.8, 99.8},   // Intel: multiplier x bus clock
      {11, 34 * 99.8, 99.8},
      {13, 34 * 99.8, 99.8},  // Intel named by model
      {12, 3400.5, 133.0},    // AMD: the counter's clock, bus clock kept
      {14, 3400.5, 133.0},    // Zen likewise
      {0x10C, 3400.5, 133.0}, // only the low byte names the generation
  };
  for (const auto& c : cases) {
    tBlockReadings reading;
    reading.CpuClock = 3393.2;
    reading.TscClock = 3400.5;
    reading.Multiplier = 34;
    reading.BusClock = 99.8;
    reading.Generation = c.generation;
    reading.Temperatures = celsius;
    reading.ProcessorCount = 3;
    tCPUData cpu = Snapshot(4);  // one processor more than the sampler reads
    ApplySamplerReading(reading, 0x000306C3, true, cpu);
    EXPECT_EQ(cpu.Frequency.Value, 3393.2);
    EXPECT_EQ(cpu.RealClock, c.realClock) << c.generation;
    EXPECT_EQ(cpu.BusClock, c.busClock) << c.generation;
    EXPECT_EQ(cpu.Signature, 0x000306C3u);
    EXPECT_EQ(cpu.TemperatureItems[0].Value, 122.0);
    EXPECT_EQ(cpu.TemperatureItems[2].Value, 72.0 * 9 / 5 + 32);
    EXPECT_EQ(cpu.TemperatureItems[3].Value, 0.0);  // no reading: 0, as the service link shows it
  }
}
