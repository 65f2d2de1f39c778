// The Linux server's own minidumps, built from a crash's facts and read back by the host's
// reader; and the loaded files taken from /proc/PID/maps text.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "host/MinidumpReader.h"
#include "protocol/SignalCode.h"
#include "server/DumpFileName.h"
#include "server/MinidumpBuilder.h"
#include "server/ProcessMaps.h"

namespace {

const char kMaps[] =
    "55d0c0000000-55d0c0010000 r--p 00000000 08:01 100 /opt/bin/ScanServer-linux-x86_64\n"
    "55d0c0010000-55d0c0050000 r-xp 00010000 08:01 100 /opt/bin/ScanServer-linux-x86_64\n"
    "55d0c1000000-55d0c1200000 rw-p 00000000 00:00 0   [heap]\n"
    "7f0000000000-7f0000001000 r--p 00000000 08:01 200 /usr/lib/vst/Zam Comp-vst.so\n"
    "7f0000001000-7f0000009000 r-xp 00001000 08:01 200 /usr/lib/vst/Zam Comp-vst.so\n"
    "7f0000009000-7f000000a000 rw-p 00000000 00:00 0 \n"
    "7f1000000000-7f1000004000 r-xp 00000000 08:01 300 /tmp/\xC3\xA9t\xC3\xA9.so\n"
    "7ffd00000000-7ffd00021000 rw-p 00000000 00:00 0   [stack]\n"
    "not a mapping line\n";

TEST(ProcessMaps, GivesEachLoadedFileOnceWithItsWholeRange)
{
    CMappedFile files[8];
    const size_t count = ParseMappedFiles(kMaps, sizeof(kMaps) - 1, files, 8);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(std::string(files[1].path, files[1].pathLength), "/usr/lib/vst/Zam Comp-vst.so");
    EXPECT_EQ(files[1].begin, 0x7f0000000000u);
    EXPECT_EQ(files[1].end, 0x7f0000009000u);
    EXPECT_TRUE(files[1].executable);
    EXPECT_EQ(MappingEndAt(kMaps, sizeof(kMaps) - 1, 0x7ffd00000100), 0x7ffd00021000u);
    EXPECT_EQ(MappingEndAt(kMaps, sizeof(kMaps) - 1, 0x1000), 0u);
    // A table that is full keeps the first files and stops.
    EXPECT_EQ(ParseMappedFiles(kMaps, sizeof(kMaps) - 1, files, 2), 2u);
}

TEST(MinidumpBuilder, WritesWhatTheHostsReaderReads)
{
    CMappedFile files[8];
    const size_t count = ParseMappedFiles(kMaps, sizeof(kMaps) - 1, files, 8);
    std::vector<uint8_t> stack(4096, 0xAB);
    CCrashFacts facts;
    facts.threadId = 4242;
    facts.signal = SIGSEGV;
    facts.signalCode = SEGV_MAPERR;
    facts.exceptionCode = ExceptionCodeOfSignal(SIGSEGV, SEGV_MAPERR, false);
    facts.exceptionAddress = 0x7f0000001234;
    facts.accessedAddress = 0;
    facts.timeStamp = 1765000000;
    facts.registers.rip = facts.exceptionAddress;
    facts.registers.rsp = 0x7ffd00010000;
    facts.stackStart = facts.registers.rsp;
    facts.stack = stack.data();
    facts.stackSize = stack.size();
    facts.files = files;
    facts.fileCount = count;
    facts.processors = 2;
    facts.system = "Linux 6.1.0";
    std::vector<uint8_t> buffer(1 << 16);
    const size_t size = BuildMinidump(facts, buffer.data(), buffer.size());
    ASSERT_GT(size, 0u);

    const auto dump = ReadMinidump(std::string_view(reinterpret_cast<const char*>(buffer.data()), size));
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->threadId, 4242u);
    // The signal where Linux readers look, the Windows code where the host's texts need it.
    EXPECT_TRUE(dump->fromLinux);
    EXPECT_EQ(dump->signal, static_cast<uint32_t>(SIGSEGV));
    EXPECT_EQ(dump->exceptionCode, 0xC0000005u);
    EXPECT_EQ(dump->timeStamp, 1765000000u);
    ASSERT_EQ(dump->modules.size(), 3u);
    const CDumpModule* faulting = dump->ModuleAt(facts.exceptionAddress);
    ASSERT_NE(faulting, nullptr);
    EXPECT_EQ(faulting->path, "/usr/lib/vst/Zam Comp-vst.so");
    EXPECT_EQ(dump->modules[2].path, "/tmp/\xC3\xA9t\xC3\xA9.so");  // UTF-8 through UTF-16 and back

    // A buffer too small for it gives nothing rather than a cut dump.
    EXPECT_EQ(BuildMinidump(facts, buffer.data(), size - 1), 0u);
}

TEST(SignalCodes, ReadAsTheWindowsExceptionsOfTheSameFaults)
{
    EXPECT_EQ(ExceptionCodeText(ExceptionCodeOfSignal(SIGSEGV, SEGV_MAPERR, true)), "C00000FD (stack overflow)");
    EXPECT_EQ(ExceptionCodeText(ExceptionCodeOfSignal(SIGBUS, BUS_ADRERR, false)), "C0000005 (access violation)");
    EXPECT_EQ(ExceptionCodeText(ExceptionCodeOfSignal(SIGILL, ILL_ILLOPN, false)), "C000001D (illegal instruction)");
    EXPECT_EQ(ExceptionCodeText(ExceptionCodeOfSignal(SIGFPE, FPE_INTDIV, false)), "C0000094 (integer division by zero)");
    EXPECT_EQ(ExceptionCodeText(ExceptionCodeOfSignal(SIGFPE, FPE_FLTDIV, false)), "C000008E (floating-point division by zero)");
    EXPECT_EQ(ExceptionCodeText(ExceptionCodeOfSignal(SIGFPE, FPE_FLTRES, false)), "C000008F (floating-point inexact result)");
    EXPECT_EQ(ExceptionCodeText(ExceptionCodeOfSignal(SIGABRT, SI_TKILL, false)), "C0000409 (fail-fast)");
}

TEST(DumpFileName, TakesThePlatformsSeparator)
{
    char16_t path[64];
    const CDumpTime time{2026, 12, 8, 7, 5, 9};
    ASSERT_GT(FormatDumpPath(path, 64, u"/tmp/d", u"ScanServer-linux-x86_64", time, u'/'), 0u);
    EXPECT_EQ(std::u16string(path), u"/tmp/d/ScanServer-linux-x86_64-2026-12-08-07-05-09.mdmp");
}

}  // namespace
