// One sampling pass against a counting fake driver: the calls it makes per
// processor and its heap allocations (none), beside the time it takes.
#include "common/CpuPass.h"
#include "tests/common/FakeDriver.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

// The replacements below pair malloc with free, which is what the compiler's
// new/delete pairing check cannot see.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long> gAllocations{0};
bool gFault = false;  // a run made calls or allocations beyond the list
}

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

void SamplingPass(benchmark::State& state) {
  const int processors = static_cast<int>(state.range(0));
  const bool turbo = state.range(1) != 0;
  gFakeCpu = tFakeCpu{};
  gFakeCpu.Signature = 0x306C3;  // Haswell
  gFakeCpu.Processors = processors;
  gFakeCpu.SetMsrAll(0x1A2, 100u << 16);
  gFakeCpu.SetMsrAll(0xCE, 34u << 8);
  gFakeCpu.SetMsrAll(0x1A0, turbo ? 0 : 1ull << 38);
  gFakeCpu.SetMsrAll(0x198, 34u << 8);
  gFakeCpu.SetMsrAll(0x19C, 0x08000000u | 50u << 16);
  for (uint32_t msr : {0x38Du, 0x38Fu, 0x30Au, 0x30Bu}) gFakeCpu.SetMsrAll(msr, 0);
  gFakeCpu.CoreCyclesStep = 38000;  // counters advance on every read
  gFakeCpu.RefCyclesStep = 34000;
  const tDriverApi api = FakeDriverApi();

  tCpuSampler sampler(processors);
  sampler.Identify(api);
  sampler.ReadStartupRegisters(api);
  sampler.PerformanceFrequency = 1000000;
  tFakeCounter::Value = 0;
  tFakeCounter::Fails = false;

  const tFakeCpu before = gFakeCpu;
  const long allocations = gAllocations;
  long passes = 0;
  for (auto _ : state) {
    tFakeCounter::Value += 1000000;
    gFakeCpu.Tsc += 3400000000ull;
    sampler.RunPass(api, &tFakeCounter::Read);
    ++passes;
  }
  const long allocated = gAllocations - allocations;

  // Per processor: 0x19C and 0x198, plus with turbo 0x38F, 0x38D, 0x30A and
  // 0x30B read and 0x38F and 0x38D written; one TSC read per pass.
  const long reads = gFakeCpu.Rdmsr - before.Rdmsr;
  const long writes = gFakeCpu.Wrmsr - before.Wrmsr;
  const long tscReads = gFakeCpu.Rdtsc - before.Rdtsc;
  const long expectedReads = passes * processors * (turbo ? 6 : 2);
  const long expectedWrites = passes * processors * (turbo ? 2 : 0);
  if (reads != expectedReads || writes != expectedWrites || tscReads != passes ||
      gFakeCpu.BadMasks != 0 || gFakeCpu.ReadPci != 0 || allocated != 0)
    gFault = true;
  if (sampler.Multiplier != (turbo ? 38.0 : 34.0)) gFault = true;
  if (gFault) state.SkipWithError("the pass made calls or allocations beyond its list");

  state.counters["msr_reads_per_cpu"] = static_cast<double>(reads) / (passes * processors);
  state.counters["msr_writes_per_cpu"] = static_cast<double>(writes) / (passes * processors);
  state.counters["allocations"] = static_cast<double>(allocated);
}

BENCHMARK(SamplingPass)->ArgsProduct({{1, 4, 8}, {0, 1}});

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return gFault ? 1 : 0;
}
