#pragma once
// Task kinds and the records a connection worker keeps in its queues.
#include "comm/Frame.h"

#include <array>
#include <cstdint>

enum TTaskType : std::uint8_t {
    taskDigiKiv = 0,
    taskDigiRead = 1,
    taskAnalKiv = 2,
    taskAnalRead = 3,
    taskVarKiv = 4,
    taskVarRead = 5,
    taskTxtKiv = 6,
    taskTxtRead = 7,
    taskTerminal = 8,
    taskConfQPASettRead = 9,
    taskConfQPASettSave = 10,
    taskConfQPATextRead = 11,
    taskConfQPATextSave = 12,
    taskConfQPBSettRead = 13,
    taskConfQPBSettSave = 14,
    taskConfQPBVarsRead = 15,
    taskConfQPBVarsSave = 16,
    taskFlashSave = 17,
    taskExtSave = 18,
    taskVersion = 19,
    taskUpdate = 20,
    taskReset = 21,
    taskHttpOn = 22,
    taskHttpOff = 23,
    taskEvent = 24,
};

// Kinds 9 to 17 move many blocks, one per worker cycle.
constexpr bool IsBlockKind(TTaskType t) { return t >= taskConfQPASettRead && t <= taskFlashSave; }

// Image sizes moved by the block kinds.
constexpr int kQpaSettingsSize = 8192;
constexpr int kQpaTextsSize = 32768;
constexpr int kQpbSettingsSize = 65536;
constexpr int kQpbVarsSize = 16640;
constexpr int kFlashImageSize = 524288;
constexpr int kXet16Size = 166;
constexpr int kVersionSize = 38;

struct TTaskHead {
    TStatus Status;
    std::int64_t Stamp;
    std::int32_t Id;
    std::uint32_t PassHash;
};

struct TBlockTaskHead : TTaskHead {
    std::uint8_t Progres;
    std::int32_t Index;
};

template <int Size>
struct TBlockReadTask : TBlockTaskHead {
    static constexpr int kBufferSize = Size;
    std::array<std::uint8_t, Size> ResBuf;
};

template <int Size>
struct TBlockSaveTask : TBlockTaskHead {
    static constexpr int kBufferSize = Size;
    std::array<std::uint8_t, Size> OutBuf;
};

struct TConfQPASettReadTask : TBlockReadTask<kQpaSettingsSize> {};
struct TConfQPASettSaveTask : TBlockSaveTask<kQpaSettingsSize> {};
struct TConfQPATextReadTask : TBlockReadTask<kQpaTextsSize> {};
struct TConfQPATextSaveTask : TBlockSaveTask<kQpaTextsSize> {};
struct TConfQPBSettReadTask : TBlockReadTask<kQpbSettingsSize> {};
struct TConfQPBSettSaveTask : TBlockSaveTask<kQpbSettingsSize> {};
struct TConfQPBVarsReadTask : TBlockReadTask<kQpbVarsSize> {};
struct TConfQPBVarsSaveTask : TBlockSaveTask<kQpbVarsSize> {};
struct TFlashSaveTask : TBlockSaveTask<kFlashImageSize> {};

struct TExtSaveTask : TTaskHead {
    std::uint8_t No;
    std::array<std::uint8_t, kXet16Size> OutBuf;
};

struct TVersionTask : TTaskHead {
    std::array<std::uint8_t, kVersionSize> ResBuf;
};

struct TUpdateTask : TTaskHead {};
struct THttpOnTask : TTaskHead {};
struct THttpOffTask : TTaskHead {};
