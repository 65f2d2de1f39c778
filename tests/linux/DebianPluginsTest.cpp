// Debian's own VST 2 plug-ins, written by others, scanned by the Linux server: each one scans
// ok, with the name, vendor, product and id it gives a minimal host of this test's own, run in
// a process of its own for each file. A file that holds no plug-in (a framework's shared core)
// is refused by both. And each one's check passes but those whose faults are real (README,
// DebianCheckFaults): these are well-made plug-ins, and any other warning or failure here is a
// false alarm of the check.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "probe/vst2/Vst2Abi.h"
#include "tests/linux/DebianPackages.h"
#include "tests/linux/LinuxServer.h"

namespace {

// Every VST 2 library the packages install, by real path, each once.
std::vector<std::string> DebianVst2Files(std::string& missing)
{
    std::vector<std::string> files;
    for (const std::string& path : DebianPackagePaths(missing)) {
        const bool vst2 = path.rfind("/usr/lib/vst/", 0) == 0 || path.rfind("/usr/lib/lxvst/", 0) == 0;
        if (!vst2) continue;
        // A listed link to a folder (IEM's iem.at) holds plug-ins the package list does not name.
        std::vector<std::string> found{path};
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            for (const auto& entry : std::filesystem::recursive_directory_iterator(
                     path, std::filesystem::directory_options::follow_directory_symlink, error))
                found.push_back(entry.path().string());
        for (const std::string& file : found) {
            char real[PATH_MAX];
            const bool library = file.size() > 3 && file.compare(file.size() - 3, 3, ".so") == 0;
            if (library && realpath(file.c_str(), real) && std::find(files.begin(), files.end(), real) == files.end())
                files.push_back(real);
        }
    }
    return files;
}

intptr_t MinimalHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// What the plug-in tells a host that asks only for its identity: "name|vendor|product|id", or
// "none" when the file has no entry point or gives no effect.
std::string IdentityFromMinimalHost(const std::string& path)
{
    int ends[2];
    if (pipe(ends) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        std::string answer = "none";
        if (void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            void* entry = dlsym(library, "VSTPluginMain");
            if (entry == nullptr) entry = dlsym(library, "main");
            AEffect* effect = entry ? reinterpret_cast<VstEntryPoint>(entry)(MinimalHost) : nullptr;
            if (effect && effect->magic == kEffectMagic) {
                answer.clear();
                for (int32_t opcode : {effGetEffectName, effGetVendorString, effGetProductString}) {
                    char text[kVstTextBufferSize + 512] = {};
                    effect->dispatcher(effect, opcode, 0, 0, text, 0.0f);
                    text[kVstTextBufferSize - 1] = '\0';
                    answer += std::string(text) + "|";
                }
                char id[16];
                snprintf(id, sizeof(id), "%08X", static_cast<uint32_t>(effect->uniqueID));
                answer += id;
                effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
            }
        }
        (void)!write(ends[1], answer.data(), answer.size());
        _exit(0);
    }
    close(ends[1]);
    std::string answer;
    char chunk[1024];
    for (ssize_t count; (count = read(ends[0], chunk, sizeof(chunk))) > 0;) answer.append(chunk, static_cast<size_t>(count));
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return answer.empty() ? "the minimal host crashed" : answer;
}

TEST(DebianPlugins, EveryVst2PluginScansAsItPresentsItself)
{
    std::string missing;
    const std::vector<std::string> files = DebianVst2Files(missing);
    ASSERT_TRUE(missing.empty()) << "not installed: " << missing << " (bash scripts/setup.sh installs them)";
    ASSERT_GT(files.size(), 100u);
    auto server = std::make_unique<CLinuxServer>();
    int plugins = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::string expected = IdentityFromMinimalHost(file);
        bool answered = false;
        const auto lines = server->Ask(file, answered);
        ASSERT_TRUE(answered) << "the server ended";
        const CPluginReport report = ReportOf(lines);
        if (expected == "none") {
            EXPECT_EQ(ErrorOf(lines), "Entry point not found, not a VST plugin");
            continue;
        }
        ++plugins;
        EXPECT_EQ(ErrorOf(lines), "");
        char id[16];
        snprintf(id, sizeof(id), "%08X", report.id);
        EXPECT_EQ(report.name + "|" + report.vendor + "|" + report.product + "|" + id, expected);
    }
    EXPECT_GT(plugins, 100);
    EXPECT_EQ(server->Finish(), 0u);
}

}  // namespace

// A verdict as the scanner words it, from the server's own lines: the first stage that did not
// pass, or the step a crash ended.
std::string VerdictOf(const std::vector<std::string>& lines, bool answered)
{
    if (!answered) {
        std::string step;
        for (const std::string& line : lines)
            if (line.rfind("info:Check stage: ", 0) == 0) step = line.substr(18);
        return "crashed in " + step;
    }
    const CPluginReport report = ReportOf(lines);
    for (const char* kind : {"failed", "warning"})
        for (const auto& stage : report.stages)
            if (stage.result == kind)
                return std::string(kind == std::string("failed") ? "failed" : "warnings") + " in " + stage.stage + ": " + stage.details;
    return report.stages.empty() ? "no report" : "passed";
}

TEST(DebianPlugins, EveryVst2PluginPassesTheCheckButThoseWithARealFault)
{
    std::string missing;
    const std::vector<std::string> files = DebianVst2Files(missing);
    ASSERT_TRUE(missing.empty()) << "not installed: " << missing;
    int checked = 0;
    for (const std::string& file : files) {
        if (IdentityFromMinimalHost(file) == "none") continue;
        SCOPED_TRACE(file);
        // A server for each check, as the scanner gives a check a server of its own.
        CLinuxServer server;
        bool answered = false;
        const auto lines = server.Ask("?check " + file, answered, std::chrono::seconds(120));
        const std::string verdict = VerdictOf(lines, answered);
        EXPECT_TRUE(DebianCheckVerdictExpected(std::filesystem::path(file).filename().string(), verdict)) << verdict;
        ++checked;
    }
    EXPECT_GT(checked, 100);
}
