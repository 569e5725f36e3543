// One render tick's composition, the LCD's 8-bit conversion and the preview
// stretch, each beside a plain copy of one frame (the floor they are
// measured against).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "applet/lcd/Compose.h"
#include "applet/lcd/IniFile.h"
#include "applet/lcd/Stretch.h"

namespace {

// Every element visible: 16 processors, two NVIDIA adapters.
std::string FullLayout() {
  std::string ini =
      "[Common]\nDate=42,1\nWeek=60,1\nClock=158,1\n"
      "[Memory]\nUsage=90,1\nUsage.BarGraph.Position=100,8\nUsage.BarGraph.Size=40,3\nUsage.BarGraph.Style=90\n"
      "[Processor]\nFrequency=30,10\nFrequency.Font=D7x10\nUsage=50,10\nTemperature.Average=70,10\n"
      "Usage.BarGraph.Position=75,20\nUsage.BarGraph.Size=10,4\n"
      "[Intel]\nTemperature=5,5\n"
      "[Network]\nUpStream=120,36\nDnStream=158,36\n"
      "[NVidia]\n";
  const char* nvText[] = {"Usage", "VRam", "FanSpeed", "FanRPM", "CoreClock", "MemClock", "Temperature"};
  const char* nvBars[] = {"Usage.BarGraph", "VRam.BarGraph", "FanSpeed.BarGraph"};
  for (int a = 0; a < 2; ++a) {
    for (int k = 0; k < 7; ++k)
      ini += IndexedKey(nvText[k], a) + "=" + std::to_string(90 + 10 * k) + "," + std::to_string(12 + 12 * a) + "\n";
    for (int k = 0; k < 3; ++k) {
      ini += IndexedKey(std::string(nvBars[k]) + ".Position", a) + "=" + std::to_string(90 + 20 * k) + "," +
             std::to_string(22 + 12 * a) + "\n";
      ini += IndexedKey(std::string(nvBars[k]) + ".Size", a) + "=18,3\n";
      ini += IndexedKey(std::string(nvBars[k]) + ".Style", a) + "=90\n";
    }
  }
  ini += "[Processor]\n";  // a second section of the name is ignored: keys above hold
  std::string cpu;
  for (int i = 0; i < 16; ++i) {
    const std::string x = std::to_string(10 + 5 * i);
    cpu += IndexedKey("Usage", i) + "=" + x + ",20\n" + IndexedKey("Usage.Font", i) + "=4x5\n";
    cpu += IndexedKey("Temperature", i) + "=" + x + ",27\n" + IndexedKey("Temperature.Font", i) + "=4x5\n";
    cpu += IndexedKey("Usage.BarGraph.Position", i) + "=" + x + ",42\n" + IndexedKey("Usage.BarGraph.Size", i) +
           "=8,3\n";
  }
  const size_t at = ini.find("[Intel]");
  return ini.insert(at, cpu);
}

struct TTick {
  tLcdLayout layout;
  tLcdSettings settings;
  tRenderState state;
  tComposeInput in;
  std::vector<double> loads = std::vector<double>(16, 37.5);
  tNvReading nv[2] = {{61, 1500, 3500, 45, 30, 1400, 35}, {66, 1400, 3400, 55, 40, 1500, 45}};
  TBmpImage background;

  TTick() {
    ReadLayout(TIniFile(FullLayout()), 16, kAdapterIntel, 2, 0, layout, settings);
    settings.CpuAlarm = 90;
    for (int i = 0; i < 16; ++i) layout.CpuData.TemperatureItems[i].Value = 40 + i;
    layout.CpuData.Frequency.Value = 3600;
    layout.UpStreamItem.Value = 1536;
    layout.DnStreamItem.Value = 512;
    in.CoreLoads = loads.data();
    in.CoreLoadCount = loads.size();
    in.Nv = nv;
    in.NvCount = 2;
    in.Now = TDateTimeParts{2026, 12, 31, 12, 30, 45, 0};
    in.PageMode = 4;
    background.Width = background.Height = 0;
  }
};

void BM_FrameCopy(benchmark::State& state) {
  TLcdFrame a, b;
  a.FillAll(kWhite);
  for (auto _ : state) {
    std::memcpy(&b, &a, sizeof a);
    benchmark::DoNotOptimize(&b);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FrameCopy);

void BM_ComposeTick(benchmark::State& state) {
  TTick tick;
  TLcdFrame frame;
  for (auto _ : state) {
    ComposeFrame(frame, tick.layout, tick.settings, tick.state, tick.in);
    benchmark::DoNotOptimize(&frame);
  }
}
BENCHMARK(BM_ComposeTick);

void BM_ConvertTo8Bit(benchmark::State& state) {
  TLcdFrame frame;
  frame.FillAll(kWhite);
  uint8_t out[kLcdPixels];
  for (auto _ : state) {
    ConvertFrameTo8Bit(frame, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_ConvertTo8Bit);

// The same over a frame of many colours, where no group of eight is all
// light or all dark.
void BM_ConvertTo8BitColours(benchmark::State& state) {
  TLcdFrame frame;
  for (int y = 0; y < kLcdHeight; ++y)
    for (int x = 0; x < kLcdWidth; ++x)
      frame.px[y][x] = TRgb{static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 29 + x), static_cast<uint8_t>(x * y)};
  uint8_t out[kLcdPixels];
  for (auto _ : state) {
    ConvertFrameTo8Bit(frame, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_ConvertTo8BitColours);

void BM_Stretch320x86(benchmark::State& state) {
  TLcdFrame frame;
  frame.FillAll(kWhite);
  std::vector<uint8_t> out(320 * 86 * 3);
  for (auto _ : state) {
    StretchFrame(frame, out.data(), 320, 86, 320 * 3);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_Stretch320x86);

// The same over a frame of many colours, where neighbours seldom match.
void BM_Stretch320x86Colours(benchmark::State& state) {
  TLcdFrame frame;
  for (int y = 0; y < kLcdHeight; ++y)
    for (int x = 0; x < kLcdWidth; ++x)
      frame.px[y][x] = TRgb{static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 29 + x), static_cast<uint8_t>(x * y)};
  std::vector<uint8_t> out(320 * 86 * 3);
  for (auto _ : state) {
    StretchFrame(frame, out.data(), 320, 86, 320 * 3);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_Stretch320x86Colours);

}  // namespace

BENCHMARK_MAIN();
