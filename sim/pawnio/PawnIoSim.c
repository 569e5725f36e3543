/* The PawnIO stand-in's processor, test modules and module functions. No C
   library: the kernel-mode driver links against the kernel only. */
#include "sim/pawnio/PawnIoSim.h"

typedef struct {
  const char* Name;
  const char* Text;
} tPSimBuiltin;

/* The WinRing0 stand-in's built-in profiles, when its table is there. */
#if defined(__has_include)
#if __has_include("sim/winring0/BuiltinProfiles.inc")
#define PSIM_HAVE_BUILTINS 1
static const tPSimBuiltin kBuiltins[] = {
#include "sim/winring0/BuiltinProfiles.inc"
};
#endif
#endif
#ifndef PSIM_HAVE_BUILTINS
static const tPSimBuiltin kBuiltins[] = {{"", ""}};
#endif

/* Registers. */
#define MSR_MPERF 0xE7u
#define MSR_APERF 0xE8u
#define MSR_AMD_MPERF_RO 0xC00000E7u
#define MSR_AMD_APERF_RO 0xC00000E8u
#define MSR_PLATFORM_INFO 0xCEu
#define PCI_VENDOR_AMD 0x1022u
#define MISC_DEVICE_FIRST 0x18u /* device 0x18 + node, function 3 */
#define MISC_FUNCTION 3u
#define REG_THERMTRIP 0xE4u
#define REG_REPORTED_TEMP 0xA4u
#define REG_CLOCK_CONTROL 0xD4u

typedef struct {
  uint32_t First;
  uint32_t Last;
} tPSimRange;

/* What each real module lets a caller read or write. */
static const tPSimRange kIntelReads[] = {
    {0x198, 0x198}, {0x19C, 0x19C}, {0x1A2, 0x1A2}, {0x1B1, 0x1B1}, {0xCE, 0xCE},
    {0xE7, 0xE7},   {0xE8, 0xE8},   {0x2A, 0x2A},   {0x1AD, 0x1AD}, {0x150, 0x150},
    {0x1A4, 0x1A4}, {0x601, 0x64D},
};
static const tPSimRange kIntelWrites[] = {
    {0x601, 0x601}, {0x610, 0x610}, {0x150, 0x150}, {0x607, 0x607}, {0x608, 0x608}, {0x1A4, 0x1A4},
};
static const tPSimRange kAmd17Reads[] = {
    {0xC00000E7, 0xC00000E8}, {0xC0010015, 0xC0010015}, {0xC0010061, 0xC001006B},
    {0xC0010071, 0xC0010071}, {0xC0010292, 0xC001029B}, {0xC00102B0, 0xC00102B4},
};
static const tPSimRange kAmd10Reads[] = {
    {0xC0010015, 0xC0010015}, {0xC0010061, 0xC0010071},
};
static const tPSimRange kAmd0FReads[] = {
    {0xC0010015, 0xC0010015}, {0xC0010041, 0xC0010042},
};
/* Miscellaneous-control device ids of families 10h..16h (vendor 0x1022). */
static const uint32_t kMiscControlIds[] = {0x1203, 0x1303, 0x1403, 0x141D, 0x1533,
                                           0x1573, 0x1583, 0x1603, 0x1703};
static const uint32_t kMiscOffsets[] = {0x00, REG_REPORTED_TEMP, REG_CLOCK_CONTROL};

#define COUNT(a) (sizeof(a) / sizeof((a)[0]))

static int InRanges(const tPSimRange* ranges, size_t count, uint32_t value) {
  size_t i;
  for (i = 0; i < count; ++i)
    if (value >= ranges[i].First && value <= ranges[i].Last) return 1;
  return 0;
}

static size_t Length(const char* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

static int Same(const char* a, const char* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

void PSimAppend(char* buffer, size_t size, const char* text) {
  size_t n = Length(buffer);
  while (*text && n + 1 < size) buffer[n++] = *text++;
  if (n < size) buffer[n] = 0;
}

void PSimAppendHex(char* buffer, size_t size, uint64_t value) {
  char digits[19] = "0x";
  char reversed[16];
  int n = 0, i;
  do {
    reversed[n++] = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  } while (value);
  for (i = 0; i < n; ++i) digits[2 + i] = reversed[n - 1 - i];
  digits[2 + n] = 0;
  PSimAppend(buffer, size, digits);
}

static void AppendDecimal(char* buffer, size_t size, uint32_t value) {
  char reversed[11], digits[11];
  int n = 0, i;
  do {
    reversed[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value);
  for (i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
  digits[n] = 0;
  PSimAppend(buffer, size, digits);
}

/* A token of the profile: a slice of the text. */
typedef struct {
  const char* Begin;
  size_t Size;
} tSlice;

static int IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

static tSlice Trim(tSlice s) {
  while (s.Size && IsBlank(*s.Begin)) ++s.Begin, --s.Size;
  while (s.Size && IsBlank(s.Begin[s.Size - 1])) --s.Size;
  return s;
}

static char Lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

static int SliceIs(tSlice s, const char* word) {
  size_t i;
  for (i = 0; i < s.Size; ++i)
    if (!word[i] || Lower(s.Begin[i]) != word[i]) return 0;
  return word[s.Size] == 0;
}

static int SliceStarts(tSlice s, const char* word) {
  size_t i;
  for (i = 0; word[i]; ++i)
    if (i >= s.Size || Lower(s.Begin[i]) != word[i]) return 0;
  return 1;
}

/* Splits s at the first '.' into head and the rest (rest empty when none). */
static tSlice Head(tSlice* rest) {
  tSlice head = *rest;
  size_t i;
  for (i = 0; i < rest->Size && rest->Begin[i] != '.'; ++i) {
  }
  head.Size = i;
  rest->Begin += i < rest->Size ? i + 1 : i;
  rest->Size -= i < rest->Size ? i + 1 : i;
  return head;
}

static int ParseNumber(tSlice s, uint64_t* value) {
  size_t i = 0;
  uint64_t v = 0;
  int hex = s.Size > 2 && s.Begin[0] == '0' && Lower(s.Begin[1]) == 'x';
  if (s.Size == 0) return 0;
  if (hex) i = 2;
  for (; i < s.Size; ++i) {
    const char c = Lower(s.Begin[i]);
    uint32_t d;
    if (c >= '0' && c <= '9')
      d = (uint32_t)(c - '0');
    else if (hex && c >= 'a' && c <= 'f')
      d = (uint32_t)(c - 'a' + 10);
    else
      return 0;
    v = v * (hex ? 16 : 10) + d;
  }
  *value = v;
  return 1;
}

static int ParseDouble(tSlice s, double* value) {
  size_t i = 0;
  double v = 0.0, scale = 1.0;
  int dot = 0, digits = 0;
  for (; i < s.Size; ++i) {
    const char c = s.Begin[i];
    if (c == '.' && !dot) {
      dot = 1;
    } else if (c >= '0' && c <= '9') {
      if (dot) {
        scale /= 10.0;
        v += (c - '0') * scale;
      } else {
        v = v * 10.0 + (c - '0');
      }
      ++digits;
    } else {
      return 0;
    }
  }
  *value = v;
  return digits > 0;
}

static int SetReg(tPSimReg* regs, int32_t* count, uint64_t key, uint32_t value) {
  int32_t i;
  for (i = 0; i < *count; ++i)
    if (regs[i].Key == key) return regs[i].Value = value, 1;
  if (*count >= PSIM_MAX_REGS) return 0;
  regs[*count].Key = key;
  regs[*count].Value = value;
  ++*count;
  return 1;
}

static const tPSimReg* FindReg(const tPSimReg* regs, int32_t count, uint64_t key) {
  int32_t i;
  for (i = 0; i < count; ++i)
    if (regs[i].Key == key) return &regs[i];
  return 0;
}

static int SetMsr(tPSimProfile* p, uint32_t index, int32_t processor, uint64_t value) {
  int32_t i;
  for (i = 0; i < p->MsrCount; ++i)
    if (p->Msrs[i].Index == index && p->Msrs[i].Processor == processor)
      return p->Msrs[i].Value = value, 1;
  if (p->MsrCount >= PSIM_MAX_MSRS) return 0;
  p->Msrs[p->MsrCount].Index = index;
  p->Msrs[p->MsrCount].Processor = processor;
  p->Msrs[p->MsrCount].Value = value;
  ++p->MsrCount;
  return 1;
}

static uint64_t GetMsr(const tPSimProfile* p, uint32_t index, int32_t processor) {
  uint64_t all = 0;
  int32_t i;
  for (i = 0; i < p->MsrCount; ++i) {
    if (p->Msrs[i].Index != index) continue;
    if (p->Msrs[i].Processor == processor) return p->Msrs[i].Value;
    if (p->Msrs[i].Processor < 0) all = p->Msrs[i].Value;
  }
  return all;
}

void PSimResetProfile(tPSimProfile* p) {
  size_t i;
  unsigned char* bytes = (unsigned char*)p;
  for (i = 0; i < sizeof *p; ++i) bytes[i] = 0;
  PSimAppend(p->Vendor, sizeof p->Vendor, "GenuineIntel");
  p->Processors = 1;
  p->TscMhz = 1000.0;
  p->Version = PSIM_DEFAULT_VERSION;
}

static int ParseText(const char* text, size_t size, tPSimProfile* p, char* error,
                     size_t errorSize, int depth);

/* One key=value line; the reason in error when it is bad. */
static int ApplyLine(tSlice key, tSlice value, tPSimProfile* p, char* error, size_t errorSize,
                     int depth) {
  uint64_t a = 0, b = 0, v = 0;
  tSlice rest = key;
  const tSlice head = Head(&rest);
  if (SliceIs(key, "base")) {
    size_t i;
    for (i = 0; i < COUNT(kBuiltins); ++i) {
      const char* name = kBuiltins[i].Name;
      if (name[0] && Length(name) == value.Size && SliceStarts(value, name) && depth < 4)
        return ParseText(kBuiltins[i].Text, Length(kBuiltins[i].Text), p, error, errorSize,
                         depth + 1);
    }
    return PSimAppend(error, errorSize, "unknown base profile"), 0;
  }
  if (SliceIs(key, "vendor")) {
    size_t i;
    if (value.Size != 12) return PSimAppend(error, errorSize, "vendor needs 12 characters"), 0;
    for (i = 0; i < 12; ++i) p->Vendor[i] = value.Begin[i];
    p->Vendor[12] = 0;
    return 1;
  }
  if (SliceIs(key, "signature") && ParseNumber(value, &v)) return p->Signature = (uint32_t)v, 1;
  if (SliceIs(key, "processors") && ParseNumber(value, &v) && v >= 1 && v <= PSIM_MAX_PROCESSORS)
    return p->Processors = (int32_t)v, 1;
  if (SliceIs(key, "tsc_mhz")) return ParseDouble(value, &p->TscMhz);
  if (SliceIs(key, "base_ratio")) return ParseDouble(value, &p->BaseRatio);
  if (SliceIs(key, "effective_ratio")) return ParseDouble(value, &p->EffectiveRatio);
  if (SliceIs(key, "no_msrs") && ParseNumber(value, &v)) return p->NoMsrs = v != 0, 1;
  if (SliceIs(key, "pawnio.deny_open") && ParseNumber(value, &v)) return p->DenyOpen = v != 0, 1;
  if (SliceIs(key, "pawnio.version") && ParseNumber(value, &v)) return p->Version = (uint32_t)v, 1;
  /* Keys of the WinRing0 stand-in that do not concern this driver. */
  if (SliceIs(key, "fail_initialize") || SliceIs(key, "fail_cpuid") || SliceIs(key, "brand") ||
      SliceIs(head, "cpuid"))
    return 1;
  if (SliceIs(head, "msr")) {
    const tSlice index = Head(&rest);
    if (!ParseNumber(index, &a) || !ParseNumber(value, &v)) return 0;
    if (rest.Size == 0) return SetMsr(p, (uint32_t)a, -1, v);
    if (ParseNumber(rest, &b) && b < PSIM_MAX_PROCESSORS)
      return SetMsr(p, (uint32_t)a, (int32_t)b, v);
    return 0;
  }
  if (SliceIs(head, "pci_device")) {
    const tSlice vendor = Head(&rest);
    if (!ParseNumber(vendor, &a) || !ParseNumber(rest, &b) || !ParseNumber(value, &v)) return 0;
    return SetReg(p->PciDevices, &p->PciDeviceCount, (a & 0xFFFF) << 16 | (b & 0xFFFF),
                  (uint32_t)v);
  }
  if (SliceIs(head, "pci")) {
    const tSlice address = Head(&rest);
    if (!ParseNumber(address, &a) || !ParseNumber(rest, &b) || !ParseNumber(value, &v)) return 0;
    return SetReg(p->Pci, &p->PciCount, a << 8 | (b & 0xFF), (uint32_t)v);
  }
  if (SliceIs(head, "smn")) {
    if (!ParseNumber(rest, &a) || !ParseNumber(value, &v)) return 0;
    return SetReg(p->Smn, &p->SmnCount, a, (uint32_t)v);
  }
  if (SliceIs(head, "k8_sensor")) {
    if (!ParseNumber(rest, &a) || a > 1 || !ParseNumber(value, &v)) return 0;
    p->K8Sensors = 1;
    p->K8Reading[a] = (uint8_t)v;
    return 1;
  }
  if (SliceIs(key, "pawnio.deny_msr") && ParseNumber(value, &v) &&
      p->DeniedMsrCount < PSIM_MAX_DENIED)
    return p->DeniedMsrs[p->DeniedMsrCount++] = (uint32_t)v, 1;
  if (SliceIs(key, "pawnio.deny_smn") && ParseNumber(value, &v) &&
      p->DeniedSmnCount < PSIM_MAX_DENIED)
    return p->DeniedSmn[p->DeniedSmnCount++] = (uint32_t)v, 1;
  PSimAppend(error, errorSize, "unknown key or bad value");
  return 0;
}

static int ParseText(const char* text, size_t size, tPSimProfile* p, char* error,
                     size_t errorSize, int depth) {
  size_t at = 0;
  uint32_t number = 0;
  while (at < size) {
    tSlice line = {text + at, 0};
    size_t i, eq;
    while (at + line.Size < size && text[at + line.Size] != '\n') ++line.Size;
    at += line.Size + 1;
    ++number;
    for (i = 0; i < line.Size; ++i)
      if (line.Begin[i] == '#') line.Size = i;
    line = Trim(line);
    if (line.Size == 0) continue;
    for (eq = 0; eq < line.Size && line.Begin[eq] != '='; ++eq) {
    }
    error[0] = 0;
    if (eq < line.Size) {
      const tSlice key = Trim((tSlice){line.Begin, eq});
      const tSlice value = Trim((tSlice){line.Begin + eq + 1, line.Size - eq - 1});
      if (ApplyLine(key, value, p, error, errorSize, depth)) continue;
    }
    {
      char reason[64];
      reason[0] = 0;
      PSimAppend(reason, sizeof reason, error[0] ? error : "bad line");
      error[0] = 0;
      PSimAppend(error, errorSize, "line ");
      AppendDecimal(error, errorSize, number);
      PSimAppend(error, errorSize, ": ");
      PSimAppend(error, errorSize, reason);
    }
    return 0;
  }
  return 1;
}

int PSimParseProfile(const char* text, size_t size, tPSimProfile* p, char* error,
                     size_t errorSize) {
  if (errorSize) error[0] = 0;
  if (!ParseText(text, size, p, error, errorSize, 0)) return 0;
  if (p->BaseRatio == 0.0) p->BaseRatio = (double)((GetMsr(p, MSR_PLATFORM_INFO, 0) >> 8) & 0xFF);
  return 1;
}

static const char* const kModuleNames[] = {"unknown",     "IntelMSR",    "AMDFamily17",
                                           "AMDFamily10", "AMDFamily0F", "Refused"};

const char* PSimModuleName(tPSimModule module) {
  return (size_t)module < COUNT(kModuleNames) ? kModuleNames[module] : kModuleNames[0];
}

tPSimModule PSimModuleOfFile(const uint8_t* bytes, size_t size) {
  const size_t magic = Length(PSIM_MODULE_MAGIC);
  tSlice rest;
  size_t i, m;
  if (size < magic) return PSIM_MODULE_NONE;
  for (i = 0; i < magic; ++i)
    if (bytes[i] != (uint8_t)PSIM_MODULE_MAGIC[i]) return PSIM_MODULE_NONE;
  /* The second line: "module=NAME". */
  rest.Begin = (const char*)bytes + magic;
  rest.Size = size - magic;
  while (rest.Size && (*rest.Begin == '\r' || *rest.Begin == '\n')) ++rest.Begin, --rest.Size;
  for (i = 0; i < rest.Size && rest.Begin[i] != '\n'; ++i) {
  }
  rest.Size = i;
  rest = Trim(rest);
  if (!SliceStarts(rest, "module=")) return PSIM_MODULE_NONE;
  rest.Begin += 7;
  rest.Size -= 7;
  for (m = PSIM_MODULE_INTEL_MSR; m < COUNT(kModuleNames); ++m) {
    const char* name = kModuleNames[m];
    if (Length(name) == rest.Size) {
      for (i = 0; i < rest.Size && rest.Begin[i] == name[i]; ++i) {
      }
      if (i == rest.Size) return (tPSimModule)m;
    }
  }
  return PSIM_MODULE_NONE;
}

static uint32_t Family(uint32_t signature) {
  const uint32_t base = (signature >> 8) & 0xF;
  return base == 0xF ? base + ((signature >> 20) & 0xFF) : base;
}

uint32_t PSimCheckLoad(const tPSimProfile* p, tPSimModule module) {
  const int intel = Same(p->Vendor, "GenuineIntel");
  const int amd = Same(p->Vendor, "AuthenticAMD");
  const uint32_t family = Family(p->Signature);
  int fits = 0;
  switch (module) {
    case PSIM_MODULE_INTEL_MSR: fits = intel; break;
    case PSIM_MODULE_AMD_FAMILY17: fits = amd && family >= 0x17 && family <= 0x1A; break;
    case PSIM_MODULE_AMD_FAMILY10: fits = amd && family >= 0x10 && family <= 0x16; break;
    case PSIM_MODULE_AMD_FAMILY0F: fits = amd && family == 0x0F; break;
    case PSIM_MODULE_REFUSED: fits = 0; break;
    case PSIM_MODULE_NONE: return PSIM_STATUS_INVALID_IMAGE_FORMAT;
  }
  return fits ? PSIM_STATUS_SUCCESS : PSIM_STATUS_NOT_SUPPORTED;
}

static int Listed(const uint32_t* list, int32_t count, uint32_t value) {
  int32_t i;
  for (i = 0; i < count; ++i)
    if (list[i] == value) return 1;
  return 0;
}

/* APERF and MPERF count with real time: MPERF at the TSC rate, APERF at the
   effective ratio; the AMD read-only copies count alike. */
static int CounterValue(const tPSimProfile* p, uint32_t msr, double seconds, uint64_t* value) {
  const double reference = p->TscMhz * 1e6 * seconds;
  if (msr == MSR_MPERF || msr == MSR_AMD_MPERF_RO) {
    *value = (uint64_t)reference;
    return 1;
  }
  if (msr == MSR_APERF || msr == MSR_AMD_APERF_RO) {
    *value = p->BaseRatio > 0 ? (uint64_t)(reference * p->EffectiveRatio / p->BaseRatio) : 0;
    return 1;
  }
  return 0;
}

static uint32_t ReadMsr(tPSimProfile* p, const tPSimRange* reads, size_t readCount, uint32_t msr,
                        double seconds, int32_t processor, uint64_t* result) {
  if (!InRanges(reads, readCount, msr) || p->NoMsrs || Listed(p->DeniedMsrs, p->DeniedMsrCount, msr))
    return PSIM_STATUS_ACCESS_DENIED;
  if (!CounterValue(p, msr, seconds, result)) *result = GetMsr(p, msr, processor);
  return PSIM_STATUS_SUCCESS;
}

static uint32_t ReadPci(const tPSimProfile* p, uint32_t address, uint32_t reg) {
  const tPSimReg* r = FindReg(p->Pci, p->PciCount, (uint64_t)address << 8 | reg);
  return r ? r->Value : 0xFFFFFFFFu;
}

/* The device at a PCI address: vendor | device << 16, from a pci_device key or
   from register 0; all ones when none. */
static uint32_t DeviceAt(const tPSimProfile* p, uint32_t address) {
  int32_t i;
  for (i = 0; i < p->PciDeviceCount; ++i)
    if (p->PciDevices[i].Value == address)
      return (uint32_t)(p->PciDevices[i].Key >> 16) | (uint32_t)(p->PciDevices[i].Key << 16);
  return ReadPci(p, address, 0);
}

/* The root complex 0:0.0 is AMD's: by its register 0, or, when the profile
   does not set it, by the processor's vendor. */
static int RootIsAmd(const tPSimProfile* p) {
  const tPSimReg* r = FindReg(p->Pci, p->PciCount, 0);
  if (r) return (r->Value & 0xFFFF) == PCI_VENDOR_AMD;
  return Same(p->Vendor, "AuthenticAMD");
}

static uint32_t MiscAddress(uint64_t node) {
  return (uint32_t)((MISC_DEVICE_FIRST + node) << 3 | MISC_FUNCTION);
}

uint32_t PSimExecute(tPSimProfile* p, tPSimModule module, const char* function,
                     const uint64_t* args, size_t argCount, uint64_t* results, size_t maxResults,
                     size_t* resultCount, double seconds, int32_t processor) {
  const int intel = module == PSIM_MODULE_INTEL_MSR;
  const tPSimRange* reads = intel ? kIntelReads
                            : module == PSIM_MODULE_AMD_FAMILY17 ? kAmd17Reads
                            : module == PSIM_MODULE_AMD_FAMILY10 ? kAmd10Reads
                                                                 : kAmd0FReads;
  const size_t readCount = intel ? COUNT(kIntelReads)
                           : module == PSIM_MODULE_AMD_FAMILY17 ? COUNT(kAmd17Reads)
                           : module == PSIM_MODULE_AMD_FAMILY10 ? COUNT(kAmd10Reads)
                                                                : COUNT(kAmd0FReads);
  *resultCount = 0;
  if (module == PSIM_MODULE_NONE || module == PSIM_MODULE_REFUSED)
    return PSIM_STATUS_INVALID_PARAMETER;
  if (Same(function, "ioctl_read_msr")) {
    if (argCount < 1) return PSIM_STATUS_INVALID_PARAMETER;
    if (maxResults < 1) return PSIM_STATUS_BUFFER_TOO_SMALL;
    *resultCount = 1;
    return ReadMsr(p, reads, readCount, (uint32_t)args[0], seconds, processor, &results[0]);
  }
  if (Same(function, "ioctl_write_msr")) {
    if (argCount < 2) return PSIM_STATUS_INVALID_PARAMETER;
    if (!intel || !InRanges(kIntelWrites, COUNT(kIntelWrites), (uint32_t)args[0]))
      return PSIM_STATUS_ACCESS_DENIED;
    SetMsr(p, (uint32_t)args[0], processor, args[1]);
    return PSIM_STATUS_SUCCESS;
  }
  if (Same(function, "ioctl_read_smn") && module == PSIM_MODULE_AMD_FAMILY17) {
    const tPSimReg* r;
    if (argCount < 1) return PSIM_STATUS_INVALID_PARAMETER;
    if (maxResults < 1) return PSIM_STATUS_BUFFER_TOO_SMALL;
    if (!RootIsAmd(p)) return PSIM_STATUS_NOT_SUPPORTED;
    if (Listed(p->DeniedSmn, p->DeniedSmnCount, (uint32_t)args[0])) return PSIM_STATUS_ACCESS_DENIED;
    r = FindReg(p->Smn, p->SmnCount, (uint32_t)args[0]);
    results[0] = r ? r->Value : 0;
    *resultCount = 1;
    return PSIM_STATUS_SUCCESS;
  }
  if (Same(function, "ioctl_read_miscctl") && module == PSIM_MODULE_AMD_FAMILY10) {
    uint32_t device;
    if (argCount < 2) return PSIM_STATUS_INVALID_PARAMETER;
    if (maxResults < 1) return PSIM_STATUS_BUFFER_TOO_SMALL;
    if (args[0] > 7) return PSIM_STATUS_INVALID_PARAMETER;
    device = DeviceAt(p, MiscAddress(args[0]));
    if ((device & 0xFFFF) != PCI_VENDOR_AMD ||
        !Listed(kMiscControlIds, (int32_t)COUNT(kMiscControlIds), device >> 16))
      return PSIM_STATUS_NOT_SUPPORTED;
    if (!Listed(kMiscOffsets, (int32_t)COUNT(kMiscOffsets), (uint32_t)args[1]))
      return PSIM_STATUS_ACCESS_DENIED;
    results[0] = args[1] == 0 ? device : ReadPci(p, MiscAddress(args[0]), (uint32_t)args[1]);
    *resultCount = 1;
    return PSIM_STATUS_SUCCESS;
  }
  if (Same(function, "ioctl_get_thermtrip") && module == PSIM_MODULE_AMD_FAMILY0F) {
    uint32_t value;
    if (argCount < 2) return PSIM_STATUS_INVALID_PARAMETER;
    if (maxResults < 1) return PSIM_STATUS_BUFFER_TOO_SMALL;
    if (args[0] > 1 || args[1] > 1) return PSIM_STATUS_INVALID_PARAMETER;
    value = ReadPci(p, MiscAddress(args[0]), REG_THERMTRIP);
    /* The selected core's sensor shows in bits 23..16, as the hardware does
       once the core select bit (bit 2) is written. */
    if (p->K8Sensors && value != 0xFFFFFFFFu)
      value = (value & 0xFF00FFFBu) | (uint32_t)(args[1] << 2) |
              (uint32_t)p->K8Reading[args[1]] << 16;
    results[0] = value;
    *resultCount = 1;
    return PSIM_STATUS_SUCCESS;
  }
  return PSIM_STATUS_PROCEDURE_NOT_FOUND;
}
