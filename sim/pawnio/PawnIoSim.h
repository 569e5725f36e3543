/* The simulated processor and modules of the PawnIO stand-in, free of any
   operating system: the profile parser, the test module files, the modules'
   allow-lists and their functions. The kernel-mode glue (PawnIoDriver_win.c)
   feeds it file bytes, the time and the caller's processor. Plain C without a
   C library, because the driver links against the kernel only. */
#ifndef KES_PAWNIO_SIM_H
#define KES_PAWNIO_SIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* NTSTATUS values the stand-in answers with. */
#define PSIM_STATUS_SUCCESS 0x00000000u
#define PSIM_STATUS_INVALID_PARAMETER 0xC000000Du
#define PSIM_STATUS_ACCESS_DENIED 0xC0000022u
#define PSIM_STATUS_BUFFER_TOO_SMALL 0xC0000023u
#define PSIM_STATUS_INVALID_IMAGE_FORMAT 0xC000007Bu
#define PSIM_STATUS_NOT_SUPPORTED 0xC00000BBu
#define PSIM_STATUS_PROCEDURE_NOT_FOUND 0xC000007Au
#define PSIM_STATUS_DEVICE_CONFIGURATION_ERROR 0xC0000182u
#define PSIM_STATUS_ALREADY_INITIALIZED 0xC0000510u

#define PSIM_MAX_PROCESSORS 64
#define PSIM_MAX_MSRS 512
#define PSIM_MAX_REGS 256
#define PSIM_MAX_DENIED 32

/* Version the stand-in reports unless the profile says otherwise: 2.2.0. */
#define PSIM_DEFAULT_VERSION 0x00020200u

/* The first line of every test module file. */
#define PSIM_MODULE_MAGIC "Kestrani test module for the PawnIO stand-in"

typedef enum {
  PSIM_MODULE_NONE = 0,
  PSIM_MODULE_INTEL_MSR,
  PSIM_MODULE_AMD_FAMILY17,
  PSIM_MODULE_AMD_FAMILY10,
  PSIM_MODULE_AMD_FAMILY0F,
  PSIM_MODULE_REFUSED /* a test file the driver always refuses */
} tPSimModule;

typedef struct {
  uint32_t Index;
  int32_t Processor; /* -1: every processor */
  uint64_t Value;
} tPSimMsr;

typedef struct {
  uint64_t Key;
  uint32_t Value;
} tPSimReg;

typedef struct {
  char Vendor[13];
  uint32_t Signature;
  int32_t Processors;
  double TscMhz;
  double BaseRatio;      /* 0: bits 15..8 of MSR 0xCE of processor 0 */
  double EffectiveRatio; /* APERF counts at TscMhz x EffectiveRatio / BaseRatio */
  tPSimMsr Msrs[PSIM_MAX_MSRS];
  int32_t MsrCount;
  tPSimReg Pci[PSIM_MAX_REGS];        /* address << 8 | register */
  int32_t PciCount;
  tPSimReg PciDevices[PSIM_MAX_REGS]; /* vendor << 16 | device -> address */
  int32_t PciDeviceCount;
  tPSimReg Smn[PSIM_MAX_REGS];        /* SMN address */
  int32_t SmnCount;
  int32_t K8Sensors;
  uint8_t K8Reading[2];
  int32_t NoMsrs;
  /* Keys of the PawnIO stand-in only. */
  int32_t DenyOpen;
  uint32_t Version;
  uint32_t DeniedMsrs[PSIM_MAX_DENIED];
  int32_t DeniedMsrCount;
  uint32_t DeniedSmn[PSIM_MAX_DENIED];
  int32_t DeniedSmnCount;
} tPSimProfile;

/* Sets every key to its default (an Intel processor of one thread at 1000 MHz
   with no registers, version 2.2.0). */
void PSimResetProfile(tPSimProfile* profile);

/* Applies the profile text; 0 with "line N: reason" in error on a bad line.
   "base=NAME" applies a built-in profile of the WinRing0 stand-in first. */
int PSimParseProfile(const char* text, size_t size, tPSimProfile* profile, char* error,
                     size_t errorSize);

/* The module a test module file stands for; PSIM_MODULE_NONE when the bytes
   are no test module file. */
tPSimModule PSimModuleOfFile(const uint8_t* bytes, size_t size);

/* "IntelMSR", "AMDFamily17", ...; "unknown" for PSIM_MODULE_NONE. */
const char* PSimModuleName(tPSimModule module);

/* The load's outcome: success when the module is for the profile's processor. */
uint32_t PSimCheckLoad(const tPSimProfile* profile, tPSimModule module);

/* One execute request against a loaded module. `seconds` is the time since the
   driver started (APERF and MPERF count with it), `processor` the caller's.
   Writes stick in the profile. On success *resultCount is the number of
   results written (at most maxResults). */
uint32_t PSimExecute(tPSimProfile* profile, tPSimModule module, const char* function,
                     const uint64_t* args, size_t argCount, uint64_t* results, size_t maxResults,
                     size_t* resultCount, double seconds, int32_t processor);

/* Appends text to a NUL-terminated buffer of `size` bytes, cutting it short. */
void PSimAppend(char* buffer, size_t size, const char* text);
/* Appends "0x" and value in upper-case hexadecimal. */
void PSimAppendHex(char* buffer, size_t size, uint64_t value);

#ifdef __cplusplus
}
#endif

#endif
