#pragma once
// A crash dump in the published minidump format, built from the facts of a crash: the
// exception, the crashing thread with its registers and stack, the loaded files and the
// system. What a Windows server's DbgHelp writes, so that the host reads both alike. Builds
// into a buffer given to it, with no allocation: it runs while a crashed thread may hold the
// heap's lock. Platform-free.
#include <cstddef>
#include <cstdint>

#include "server/ProcessMaps.h"

// The x86-64 registers a dump's thread context holds.
struct CAmd64Registers {
    uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi, r8, r9, r10, r11, r12, r13, r14, r15, rip;
    uint32_t eflags;
    uint16_t cs, fs, gs;
};

// A Linux dump says what Linux readers (lldb, breakpad's tools) expect: the signal as the
// exception code and its si_code as the flags. The code of the same fault on Windows, which
// the host's texts and blame know, is the exception's third parameter.
struct CCrashFacts {
    uint32_t threadId = 0;
    uint32_t signal = 0;
    uint32_t signalCode = 0;        // the siginfo's si_code
    uint32_t exceptionCode = 0;     // on Windows
    uint64_t exceptionAddress = 0;  // the instruction the fault is attributed to
    uint64_t accessedAddress = 0;   // for an access violation: the address it touched
    uint32_t timeStamp = 0;         // seconds since 1970, UTC
    CAmd64Registers registers{};
    uint64_t stackStart = 0;        // the crashing thread's stack from its stack pointer
    const uint8_t* stack = nullptr;
    size_t stackSize = 0;
    const CMappedFile* files = nullptr;
    size_t fileCount = 0;
    uint8_t processors = 0;
    const char* system = "";        // the kernel's name and release, ASCII
};

constexpr size_t kAmd64ContextSize = 1232;
constexpr uint16_t kLinuxPlatformId = 0x8201;  // as other Linux minidump writers mark theirs

// The dump's bytes in `buffer`; their count, or 0 when they do not fit in `capacity`.
size_t BuildMinidump(const CCrashFacts& facts, uint8_t* buffer, size_t capacity);
