/* Stand-in for the PawnIO driver: a kernel-mode driver for Wine's driver host
   that creates \Device\PawnIO and answers the driver's three control codes
   from a processor profile. Every handle reads the profile "PawnIO.profile"
   beside this driver file when it is opened and holds at most one module;
   every call is appended to "PawnIO.log" beside it. The decisions live in
   PawnIoSim.c; this file is the kernel glue. */
#include <ntddk.h>

#include "sim/pawnio/PawnIoSim.h"

DRIVER_INITIALIZE DriverEntry;

/* Declared here because the DDK headers of the toolchain leave them out. */
typedef struct {
  NTSTATUS ExitStatus;
  PVOID TebBaseAddress;
  CLIENT_ID ClientId;
  ULONG_PTR AffinityMask;
  LONG Priority;
  LONG BasePriority;
} tThreadBasicInformation;
NTSTATUS NTAPI ObOpenObjectByPointer(PVOID object, ULONG attributes, PACCESS_STATE state,
                                     ACCESS_MASK access, POBJECT_TYPE type, KPROCESSOR_MODE mode,
                                     PHANDLE handle);
NTSTATUS NTAPI ZwQueryInformationThread(HANDLE thread, THREADINFOCLASS infoClass, PVOID info,
                                        ULONG size, PULONG returned);
/* The kernel's KeQuerySystemTime export, found at start: the header's macro
   reads the shared user page at its kernel address, which Wine's driver host
   can only emulate, and the import library of the toolchain lacks it. */
typedef VOID(NTAPI* tQuerySystemTime)(PLARGE_INTEGER time);

#define PAWNIO_DEVICE_TYPE 41394
#define PAWNIO_CODE(function) CTL_CODE(PAWNIO_DEVICE_TYPE, function, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_PAWNIO_LOAD PAWNIO_CODE(0x821)
#define IOCTL_PAWNIO_EXECUTE PAWNIO_CODE(0x841)
#define IOCTL_PAWNIO_VERSION PAWNIO_CODE(0x861)
#define NAME_FIELD 32
#define MAX_ARGS 32
#define MAX_RESULTS 32
#define MAX_PROFILE_BYTES 65536
#define MAX_PATH_CHARS 400
#define POOL_TAG 0x6F497750u /* "PwIo" */
#define THREAD_QUERY_RIGHT 0x0040

/* One open handle: its profile, read at open, and its module. */
typedef struct {
  tPSimProfile Profile;
  tPSimModule Module;
} tHandleState;

/* What a failed open leaves in its file object. Wine's driver host hands the
   caller a handle before the driver has answered the open, so a failed open
   must also fail every request made on that handle. */
static int gOpenDenied, gOpenBroken;

static WCHAR gFolder[MAX_PATH_CHARS]; /* NT path of this driver's folder, with "\" */
static LARGE_INTEGER gStart;
static KMUTEX gLogLock;
static tQuerySystemTime gQuerySystemTime;

static size_t WideLength(const WCHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

/* gFolder + name into path (MAX_PATH_CHARS). */
static void PathBeside(const WCHAR* name, WCHAR* path) {
  size_t n = 0, i;
  for (i = 0; gFolder[i] && n + 1 < MAX_PATH_CHARS; ++i) path[n++] = gFolder[i];
  for (i = 0; name[i] && n + 1 < MAX_PATH_CHARS; ++i) path[n++] = name[i];
  path[n] = 0;
}

static NTSTATUS OpenFile(const WCHAR* name, ACCESS_MASK access, ULONG disposition, HANDLE* file) {
  WCHAR path[MAX_PATH_CHARS];
  UNICODE_STRING text;
  OBJECT_ATTRIBUTES attributes;
  IO_STATUS_BLOCK io;
  PathBeside(name, path);
  RtlInitUnicodeString(&text, path);
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                             NULL);
  return ZwCreateFile(file, access | SYNCHRONIZE, &attributes, &io, NULL, FILE_ATTRIBUTE_NORMAL,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, disposition,
                      FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0);
}

/* Appends one line to the log beside the driver. */
static void LogLine(const char* line) {
  HANDLE file;
  IO_STATUS_BLOCK io;
  LARGE_INTEGER end;
  char text[512];
  text[0] = 0;
  PSimAppend(text, sizeof text - 2, line);
  PSimAppend(text, sizeof text, "\r\n");
  end.HighPart = -1;
  end.LowPart = FILE_WRITE_TO_END_OF_FILE;
  KeWaitForSingleObject(&gLogLock, Executive, KernelMode, FALSE, NULL);
  if (NT_SUCCESS(OpenFile(L"PawnIO.log", FILE_APPEND_DATA, FILE_OPEN_IF, &file))) {
    ULONG size = 0;
    while (text[size]) ++size;
    ZwWriteFile(file, NULL, NULL, NULL, &io, text, size, &end, NULL);
    ZwClose(file);
  }
  KeReleaseMutex(&gLogLock, FALSE);
}

/* Reads the profile beside the driver into state; the outcome of the open. */
static NTSTATUS ReadProfile(tHandleState* state, char* error, size_t errorSize) {
  HANDLE file;
  IO_STATUS_BLOCK io;
  char* text;
  NTSTATUS status;
  static const char kDefault[] = "base=haswell";
  PSimResetProfile(&state->Profile);
  if (!NT_SUCCESS(OpenFile(L"PawnIO.profile", GENERIC_READ, FILE_OPEN, &file))) {
    /* No profile: the WinRing0 stand-in's default processor, when it is built in. */
    if (!PSimParseProfile(kDefault, sizeof kDefault - 1, &state->Profile, error, errorSize))
      PSimResetProfile(&state->Profile);
    error[0] = 0;
    return STATUS_SUCCESS;
  }
  text = (char*)ExAllocatePoolWithTag(NonPagedPool, MAX_PROFILE_BYTES, POOL_TAG);
  if (!text) {
    ZwClose(file);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  status = ZwReadFile(file, NULL, NULL, NULL, &io, text, MAX_PROFILE_BYTES, NULL, NULL);
  ZwClose(file);
  if (status == STATUS_END_OF_FILE) {
    io.Information = 0;
    status = STATUS_SUCCESS;
  }
  if (NT_SUCCESS(status) &&
      !PSimParseProfile(text, io.Information, &state->Profile, error, errorSize))
    status = (NTSTATUS)PSIM_STATUS_DEVICE_CONFIGURATION_ERROR;
  ExFreePoolWithTag(text, POOL_TAG);
  if (NT_SUCCESS(status) && state->Profile.DenyOpen) status = STATUS_ACCESS_DENIED;
  return status;
}

/* The lowest logical processor the requesting thread may run on: the one
   a pinned caller chose. 0 when it cannot be told. */
static int32_t CallerProcessor(PIRP irp) {
  HANDLE thread;
  tThreadBasicInformation info;
  ULONG size = 0;
  int32_t p;
  if (!NT_SUCCESS(ObOpenObjectByPointer(irp->Tail.Overlay.Thread, OBJ_KERNEL_HANDLE, NULL,
                                        THREAD_QUERY_RIGHT, NULL, KernelMode, &thread)))
    return 0;
  info.AffinityMask = 0;
  ZwQueryInformationThread(thread, ThreadBasicInformation, &info, sizeof info, &size);
  ZwClose(thread);
  for (p = 0; p < (int32_t)(sizeof info.AffinityMask * 8); ++p)
    if (info.AffinityMask & ((ULONG_PTR)1 << p)) return p;
  return 0;
}

static double SecondsSinceStart(void) {
  LARGE_INTEGER now;
  gQuerySystemTime(&now);
  return (double)(now.QuadPart - gStart.QuadPart) / 1e7;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR written) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = written;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

static void LogStatus(char* line, size_t size, NTSTATUS status) {
  PSimAppend(line, size, " status=");
  PSimAppendHex(line, size, (ULONG)status);
}

static NTSTATUS OnCreate(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  tHandleState* state;
  char line[200] = "open";
  char error[96];
  NTSTATUS status;
  (void)device;
  state = (tHandleState*)ExAllocatePoolWithTag(NonPagedPool, sizeof *state, POOL_TAG);
  if (!state) return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
  error[0] = 0;
  status = ReadProfile(state, error, sizeof error);
  state->Module = PSIM_MODULE_NONE;
  LogStatus(line, sizeof line, status);
  if (error[0]) {
    PSimAppend(line, sizeof line, " profile ");
    PSimAppend(line, sizeof line, error);
  }
  LogLine(line);
  if (!NT_SUCCESS(status)) {
    ExFreePoolWithTag(state, POOL_TAG);
    stack->FileObject->FsContext = status == STATUS_ACCESS_DENIED ? &gOpenDenied : &gOpenBroken;
    return Complete(irp, status, 0);
  }
  stack->FileObject->FsContext = state;
  return Complete(irp, STATUS_SUCCESS, 0);
}

/* Closing a handle unloads its module. */
static NTSTATUS OnClose(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  tHandleState* state = (tHandleState*)stack->FileObject->FsContext;
  char line[64] = "close ";
  (void)device;
  if ((void*)state == &gOpenDenied || (void*)state == &gOpenBroken) {
    stack->FileObject->FsContext = NULL;
  } else if (state) {
    PSimAppend(line, sizeof line, PSimModuleName(state->Module));
    LogLine(line);
    stack->FileObject->FsContext = NULL;
    ExFreePoolWithTag(state, POOL_TAG);
  }
  return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS OnVersion(tHandleState* state, PIRP irp, ULONG outSize) {
  char line[64] = "version";
  NTSTATUS status = outSize == sizeof(ULONG) ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
  LogStatus(line, sizeof line, status);
  LogLine(line);
  if (!NT_SUCCESS(status)) return Complete(irp, status, 0);
  *(ULONG*)irp->AssociatedIrp.SystemBuffer = state->Profile.Version;
  return Complete(irp, status, sizeof(ULONG));
}

static NTSTATUS OnLoad(tHandleState* state, PIRP irp, ULONG inSize) {
  const tPSimModule module =
      PSimModuleOfFile((const uint8_t*)irp->AssociatedIrp.SystemBuffer, inSize);
  char line[96] = "load ";
  NTSTATUS status;
  if (state->Module != PSIM_MODULE_NONE)
    status = (NTSTATUS)PSIM_STATUS_ALREADY_INITIALIZED;
  else
    status = (NTSTATUS)PSimCheckLoad(&state->Profile, module);
  if (NT_SUCCESS(status)) state->Module = module;
  PSimAppend(line, sizeof line, PSimModuleName(module));
  LogStatus(line, sizeof line, status);
  LogLine(line);
  return Complete(irp, status, 0);
}

static NTSTATUS OnExecute(tHandleState* state, PIRP irp, ULONG inSize, ULONG outSize) {
  const uint8_t* in = (const uint8_t*)irp->AssociatedIrp.SystemBuffer;
  char name[NAME_FIELD];
  uint64_t args[MAX_ARGS], results[MAX_RESULTS];
  size_t argCount, maxResults = outSize / sizeof(uint64_t), resultCount = 0, i;
  char line[400] = "execute ";
  int32_t processor;
  NTSTATUS status;
  if (inSize < NAME_FIELD || in[NAME_FIELD - 1] != 0 || (inSize - NAME_FIELD) % 8 != 0 ||
      (inSize - NAME_FIELD) / 8 > MAX_ARGS || maxResults > MAX_RESULTS) {
    LogLine("execute malformed status=0xC000000D");
    return Complete(irp, STATUS_INVALID_PARAMETER, 0);
  }
  for (i = 0; i < NAME_FIELD; ++i) name[i] = (char)in[i];
  argCount = (inSize - NAME_FIELD) / 8;
  for (i = 0; i < argCount; ++i) RtlCopyMemory(&args[i], in + NAME_FIELD + 8 * i, 8);
  processor = CallerProcessor(irp);
  status = (NTSTATUS)PSimExecute(&state->Profile, state->Module, name, args, argCount, results,
                                 maxResults, &resultCount, SecondsSinceStart(), processor);
  PSimAppend(line, sizeof line, name);
  PSimAppend(line, sizeof line, " args=");
  for (i = 0; i < argCount; ++i) {
    if (i) PSimAppend(line, sizeof line, ",");
    PSimAppendHex(line, sizeof line, args[i]);
  }
  PSimAppend(line, sizeof line, " cpu=");
  PSimAppendHex(line, sizeof line, (uint64_t)processor);
  LogStatus(line, sizeof line, status);
  if (NT_SUCCESS(status)) {
    PSimAppend(line, sizeof line, " results=");
    for (i = 0; i < resultCount; ++i) {
      if (i) PSimAppend(line, sizeof line, ",");
      PSimAppendHex(line, sizeof line, results[i]);
    }
  }
  LogLine(line);
  if (!NT_SUCCESS(status)) return Complete(irp, status, 0);
  /* The whole output buffer counts as written. */
  for (i = resultCount; i < maxResults; ++i) results[i] = 0;
  RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, results, maxResults * sizeof(uint64_t));
  return Complete(irp, status, maxResults * sizeof(uint64_t));
}

static NTSTATUS OnDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  tHandleState* state = (tHandleState*)stack->FileObject->FsContext;
  const ULONG inSize = stack->Parameters.DeviceIoControl.InputBufferLength;
  const ULONG outSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
  (void)device;
  if (!state) return Complete(irp, STATUS_INVALID_HANDLE, 0);
  if ((void*)state == &gOpenDenied) return Complete(irp, STATUS_ACCESS_DENIED, 0);
  if ((void*)state == &gOpenBroken)
    return Complete(irp, (NTSTATUS)PSIM_STATUS_DEVICE_CONFIGURATION_ERROR, 0);
  switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_PAWNIO_VERSION: return OnVersion(state, irp, outSize);
    case IOCTL_PAWNIO_LOAD: return OnLoad(state, irp, inSize);
    case IOCTL_PAWNIO_EXECUTE: return OnExecute(state, irp, inSize, outSize);
    default: return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
}

/* The folder of the driver file, from the ImagePath of its service key, as an
   NT path: "C:\dir\x.sys" and "\??\C:\dir\x.sys" become "\??\C:\dir\". */
static NTSTATUS FindFolder(PUNICODE_STRING registryPath) {
  OBJECT_ATTRIBUTES attributes;
  UNICODE_STRING valueName;
  HANDLE key;
  ULONG size = 0;
  NTSTATUS status;
  size_t n = 0, i, chars, slash = 0;
  const WCHAR* image;
  PKEY_VALUE_PARTIAL_INFORMATION info;
  const ULONG infoSize = sizeof(KEY_VALUE_PARTIAL_INFORMATION) + MAX_PATH_CHARS * sizeof(WCHAR);
  InitializeObjectAttributes(&attributes, registryPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                             NULL, NULL);
  status = ZwOpenKey(&key, KEY_READ, &attributes);
  if (!NT_SUCCESS(status)) return status;
  info = (PKEY_VALUE_PARTIAL_INFORMATION)ExAllocatePoolWithTag(PagedPool, infoSize, POOL_TAG);
  if (!info) {
    ZwClose(key);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  RtlInitUnicodeString(&valueName, L"ImagePath");
  status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info, infoSize, &size);
  ZwClose(key);
  if (NT_SUCCESS(status)) {
    image = (const WCHAR*)info->Data;
    chars = info->DataLength / sizeof(WCHAR);
    if (chars >= 2 && image[1] == L':') {
      const WCHAR prefix[] = L"\\??\\";
      for (i = 0; prefix[i]; ++i) gFolder[n++] = prefix[i];
    }
    for (i = 0; i < chars && image[i] && n + 1 < MAX_PATH_CHARS; ++i) {
      gFolder[n++] = image[i];
      if (image[i] == L'\\') slash = n;
    }
    gFolder[slash] = 0;
  }
  ExFreePoolWithTag(info, POOL_TAG);
  return WideLength(gFolder) ? status : STATUS_OBJECT_PATH_NOT_FOUND;
}

static void OnUnload(PDRIVER_OBJECT driver) { IoDeleteDevice(driver->DeviceObject); }

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  UNICODE_STRING name;
  PDEVICE_OBJECT device;
  NTSTATUS status = FindFolder(registryPath);
  if (!NT_SUCCESS(status)) return status;
  RtlInitUnicodeString(&name, L"KeQuerySystemTime");
  gQuerySystemTime = (tQuerySystemTime)MmGetSystemRoutineAddress(&name);
  if (!gQuerySystemTime) return STATUS_PROCEDURE_NOT_FOUND;
  KeInitializeMutex(&gLogLock, 0);
  gQuerySystemTime(&gStart);
  RtlInitUnicodeString(&name, L"\\Device\\PawnIO");
  status = IoCreateDevice(driver, 0, &name, PAWNIO_DEVICE_TYPE, 0, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  driver->MajorFunction[IRP_MJ_CREATE] = OnCreate;
  driver->MajorFunction[IRP_MJ_CLOSE] = OnClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = OnDeviceControl;
  driver->DriverUnload = OnUnload;
  LogLine("start");
  return STATUS_SUCCESS;
}
