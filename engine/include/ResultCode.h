#pragma once

#include <cstdint>

// Engine result codes: 64 bits, laid out as
//   bits 56-63 failure (1) or success (0), bits 48-55 the reporting module,
//   bits 32-47 the source line (informative only), bits 0-31 the kind.
// Success is the code 0. Callers test only the failure byte.

using RESULT_CODE = uint64_t;

enum ResultModule : uint8_t {
    kModuleBridgeRecovery = 0x02,
    kModuleEnumDevice = 0x03,
    kModuleRecoveryController = 0x04,
    kModuleHFSPlus = 0x05,
    kModuleFAT = 0x0A,
    kModuleDataRecovery = 0x0D,
    kModuleStorageDevice = 0x0E,
    kModulePartitionTable = 0x10,
    kModuleNTFSQuickSearch = 0x12,
};

enum ResultKind : uint32_t {
    kResultFailed = 0x01,
    kResultNotInitialised = 0x02,
    kResultNotSupported = 0x03,
    kResultOutOfMemory = 0x04,
    kResultBadArgument = 0x05,
    kResultMalformed = 0x06,
    kResultMissingObject = 0x07,
    kResultSectorTooSmall = 0x08,
    kResultBufferTooSmall = 0x09,
    kResultNoFATFileSystem = 0x0C,
    kResultStopped = 0x0D,
    kResultShortRead = 0x0E,
    kResultCannotCreateDestination = 0x0F,
    kResultNoNTFSBootSector = 0x10,
    kResultNoNTFSMft = 0x11,
    kResultFileSystemNotSupported = 0x401,
    kResultNoSearcher = 0x402,
    kResultBadArguments = 0x403,
    kResultQuickScanOfWholeDisk = 0x404,
    kResultHFSJournalInvalid = 0x501,
    kResultNoPartitionReported = 0xD01,
    kResultNoFileSelected = 0xD02,
    kResultWriteFailed = 0xD03,
};

constexpr RESULT_CODE kResultSuccess = 0;

constexpr RESULT_CODE MakeFailure(uint8_t module, uint16_t line, uint32_t kind) {
    return (uint64_t{1} << 56) | (uint64_t{module} << 48) | (uint64_t{line} << 32) | kind;
}

constexpr bool IsFailure(RESULT_CODE code) { return (code >> 56) != 0; }
constexpr bool IsSuccess(RESULT_CODE code) { return (code >> 56) == 0; }
constexpr uint8_t ResultModuleOf(RESULT_CODE code) { return static_cast<uint8_t>(code >> 48); }
constexpr uint16_t ResultLineOf(RESULT_CODE code) { return static_cast<uint16_t>(code >> 32); }
constexpr uint32_t ResultKindOf(RESULT_CODE code) { return static_cast<uint32_t>(code); }

// A failure code of `module` and `kind` stamped with the reporting line.
#define ENGINE_FAILURE(module, kind) \
    MakeFailure((module), static_cast<uint16_t>(__LINE__), static_cast<uint32_t>(kind))
