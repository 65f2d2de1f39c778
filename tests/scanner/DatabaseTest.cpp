// The database: what it keeps, what it drops, and that it is never lost or shared.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "host/Paths.h"
#include "scanner/CheckRecords.h"
#include "scanner/Database.h"
#include "scanner/Formats.h"
#include "scanner/PathKeys.h"
#include "tests/support/TemporaryFolder.h"

namespace {

Json Ordinary(const std::string& path)
{
    return Json{{"path", path}, {"size", 12}, {"modified", "2026-01-01T00:00:00.0000000Z"}, {"status", "ok"}, {"error", ""}};
}

class DatabaseTest : public ::testing::Test {
protected:
    std::string Read(const std::wstring& path)
    {
        std::ifstream in(path.c_str(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void Write(const std::wstring& path, const std::string& text)
    {
        std::ofstream out(path.c_str(), std::ios::binary);
        out << text;
    }

    CTemporaryFolder folder;
    const std::wstring path = folder.Path() + L"\\plugins.json";
    std::string problem;
};

TEST_F(DatabaseTest, DropsDamagedRecordsWithAWarningAndKeepsTheRest)
{
    Json wrongSize = Ordinary("C:\\b.dll"), wrongStatus = Ordinary("C:\\c.dll"), noPath = Ordinary("");
    wrongSize["size"] = "12";
    wrongStatus["status"] = 5;
    noPath.erase("path");
    Write(path, Json{{"plugins", {Ordinary("C:\\a.dll"), wrongSize, wrongStatus, noPath}}}.dump());

    CDatabase database;
    ASSERT_EQ(database.Open(path, problem), DatabaseOpening::kOpened) << problem;
    EXPECT_NE(database.Find(PathKey("c:\\A.DLL")), nullptr);
    EXPECT_EQ(database.Find(PathKey("C:\\b.dll")), nullptr);
    ASSERT_EQ(database.Warnings().size(), 3u);
    EXPECT_NE(database.Warnings()[0].find("C:\\b.dll has a \"size\" of the wrong type"), std::string::npos)
        << database.Warnings()[0];
    EXPECT_NE(database.Warnings()[1].find("\"status\" of the wrong type"), std::string::npos);
    EXPECT_NE(database.Warnings()[2].find("has no \"path\""), std::string::npos);
}

// Databases a fuzzer made (the database, then "@@JOURNAL@@" and its journal): whatever a
// damaged record holds, the reader drops it with a warning, and every output takes the rest.
TEST_F(DatabaseTest, DamagedRecordsNeverReachTheOutputs)
{
    for (const wchar_t* name : {L"database-dialogs-not-objects.json", L"database-nested-deep.json"}) {
        const std::string both = Read(ProgramFolder() + L"\\damaged-databases\\" + name);
        ASSERT_FALSE(both.empty()) << ToUtf8(name);
        const size_t split = both.find("\n@@JOURNAL@@\n");
        Write(path, both.substr(0, split));
        Write(path + L".journal", split == std::string::npos ? "" : both.substr(split + 13));
        {
            CDatabase database;
            ASSERT_EQ(database.Open(path, problem), DatabaseOpening::kOpened) << problem;
            EXPECT_FALSE(database.Warnings().empty()) << ToUtf8(name);
            std::vector<Json> kept;
            for (const auto& [key, record] : database.Records()) kept.push_back(record);
            EXPECT_NO_THROW(FormatCsv(kept));
            EXPECT_NO_THROW(FormatJson(kept));
            EXPECT_NO_THROW(FormatTable(kept));
        }
        DeleteFileW(path.c_str());
        DeleteFileW((path + L".journal").c_str());
    }
}

TEST_F(DatabaseTest, AJournalLeftByAKilledRunIsFoldedInUpToItsCutLine)
{
    {
        CDatabase killed;
        ASSERT_EQ(killed.Open(path, problem), DatabaseOpening::kOpened);
        ASSERT_TRUE(killed.Record(Ordinary("C:\\a.dll"), problem));
        ASSERT_TRUE(killed.Record(Ordinary("C:\\b.dll"), problem));
    }  // no Fold: as if the process had been killed
    std::ofstream((path + L".journal").c_str(), std::ios::binary | std::ios::app) << "{\"path\":\"C:\\\\c.d";

    CDatabase resumed;
    ASSERT_EQ(resumed.Open(path, problem), DatabaseOpening::kOpened) << problem;
    EXPECT_NE(resumed.Find(PathKey("C:\\a.dll")), nullptr);
    EXPECT_NE(resumed.Find(PathKey("C:\\b.dll")), nullptr);
    ASSERT_EQ(resumed.Warnings().size(), 1u);
    EXPECT_NE(resumed.Warnings()[0].find("journal line 3"), std::string::npos);
    EXPECT_EQ(Json::parse(Read(path))["plugins"].size(), 2u);
    EXPECT_EQ(GetFileAttributesW((path + L".journal").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DatabaseTest, OneScanAtATimeAndNeverOverAFileItCannotRead)
{
    CDatabase first;
    ASSERT_EQ(first.Open(path, problem), DatabaseOpening::kOpened);
    CDatabase second;
    EXPECT_EQ(second.Open(path, problem), DatabaseOpening::kInUse);

    const std::wstring held = folder.Path() + L"\\held.json";
    Write(held, "{\"plugins\":[]}");
    HANDLE other = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CDatabase blocked;
    EXPECT_EQ(blocked.Open(held, problem), DatabaseOpening::kFailed);
    EXPECT_NE(problem.find("held.json"), std::string::npos) << problem;
    CloseHandle(other);
    EXPECT_EQ(Read(held), "{\"plugins\":[]}");

    const std::wstring text = folder.Path() + L"\\notes.json";
    Write(text, "[1, 2");
    CDatabase notADatabase;
    EXPECT_EQ(notADatabase.Open(text, problem), DatabaseOpening::kFailed);
    EXPECT_EQ(Read(text), "[1, 2");
}

}  // namespace

namespace {

// One scan of a file of `format` ending as `kind` says, as the job hands it to the scanner.
CPluginScan Outcome(const std::string& format, const std::string& kind)
{
    CPluginScan scan;
    scan.request = "C:\\zoo\\" + kind + "." + (format == "vst2" ? "dll" : format);
    scan.format = format;
    scan.arch = kind == "no binary" ? "" : "x64";
    CScanOutcome& outcome = scan.outcome;
    const bool module = format != "vst2";
    if (module) {
        outcome.report.format = format;
        CModuleEntry entry;
        entry.id = format == "vst3" ? "0A1B2C3D4E5F60718293A4B5C6D7E8F9" : "com.zoo.effect";
        entry.plugin = true;
        entry.numOutputs = kUnknownChannels;
        entry.note = "its main output port claims 4294967295 channels; unknown";
        outcome.report.entries = {entry};
        outcome.report.notes = "claims 2147483647 plug-ins; 4096 read";
    } else {
        outcome.report.name = "Zoo";
    }
    if (kind == "ok") outcome.status = ScanStatus::kOk;
    else if (kind == "crashed") outcome.status = ScanStatus::kCrashed;
    else if (kind == "timed out") outcome.status = ScanStatus::kTimedOut;
    else if (kind == "blocked") outcome.status = ScanStatus::kBlocked;
    // Failures before the server reported anything: the scanner's own default report.
    if (kind == "not a DLL" || kind == "no binary" || kind == "did not fit") outcome.report = CPluginReport{};
    if (kind == "blocked") outcome.dialogs.push_back(CDialogRecord{});  // no picture was taken
    outcome.error = kind == "ok" ? "" : kind;
    return scan;
}

}  // namespace

// Every record the scanner writes, of every outcome of every format, is read back as written.
TEST_F(DatabaseTest, EveryRecordKindOfEveryFormatIsReadBack)
{
    std::vector<Json> written;
    {
        CDatabase database;
        ASSERT_EQ(database.Open(path, problem), DatabaseOpening::kOpened) << problem;
        for (const char* format : {"vst2", "vst3", "clap"})
            for (const char* kind : {"ok", "failed", "crashed", "timed out", "blocked", "not a DLL", "no binary", "did not fit"}) {
                CPluginScan scan = Outcome(format, kind);
                if (scan.format != "vst2" && !scan.outcome.report.entries.empty()) {
                    CPluginScan sub;
                    sub.outcome.report.entries = scan.outcome.report.entries;
                    sub.outcome.status = ScanStatus::kOk;
                    scan.subPlugins.push_back(sub);
                }
                CPluginFile file{scan.request, PathKey(scan.request), 12, "2026-01-01T00:00:00.0000000Z", "", ""};
                written.push_back(PluginRecord(file, scan));
                EXPECT_NE(RecordText(written.back(), "format"), "");
                if (scan.format != "vst2" && written.back().contains("report"))
                    EXPECT_EQ(written.back()["report"]["format"], format) << written.back().dump();
                ASSERT_TRUE(database.Record(written.back(), problem)) << problem;
            }
        ASSERT_TRUE(database.Fold(problem)) << problem;
    }
    CDatabase reopened;
    ASSERT_EQ(reopened.Open(path, problem), DatabaseOpening::kOpened) << problem;
    EXPECT_TRUE(reopened.Warnings().empty()) << reopened.Warnings().front();
    for (const Json& record : written) {
        const Json* found = reopened.Find(PathKey(record["path"].get<std::string>()));
        ASSERT_NE(found, nullptr) << record.dump();
        EXPECT_EQ(*found, record);
    }
    // The outputs take every one of them.
    const std::string table = FormatTable(written), csv = FormatCsv(written);
    const std::vector<Json> modules(written.begin() + 8, written.end());
    EXPECT_EQ(FormatTable(modules).find("00000000"), std::string::npos) << FormatTable(modules);
    EXPECT_EQ(csv.find(",null,"), std::string::npos) << csv;
}

// A check of every verdict, of every format, is read back as written, and shown; a damaged check
// costs its record, with a warning.
TEST_F(DatabaseTest, EveryCheckVerdictIsReadBackAndShown)
{
    std::vector<Json> written;
    {
        CDatabase database;
        ASSERT_EQ(database.Open(path, problem), DatabaseOpening::kOpened) << problem;
        for (const char* format : {"vst2", "vst3", "clap"})
            for (const char* verdict : {"passed", "warnings", "failed", "crashed", "timed out", "blocked"}) {
                CPluginScan scan = Outcome(format, "ok");
                scan.request.insert(scan.request.rfind('.'), std::string("-") + verdict);
                CScanOutcome check;
                check.report.check = format;
                check.report.stages = {{"open", "passed", ""}, {"process", "passed", "15 settings"}};
                check.report.facts.load = 3.25;
                check.report.facts.sampleRates = "44100|48000|96000";
                const std::string kind = verdict;
                if (kind == "warnings") check.report.stages.push_back({"state", "warning", "it differs"});
                if (kind == "failed") check.report.stages.push_back({"audio", "failed", "NaN"});
                check.status = kind == "crashed" ? ScanStatus::kCrashed : kind == "timed out" ? ScanStatus::kTimedOut
                             : kind == "blocked" ? ScanStatus::kBlocked : ScanStatus::kOk;
                if (check.status != ScanStatus::kOk) check.checkStage = "process at 96000 Hz, blocks of 1";
                if (kind == "crashed") check.dumpFile = L"C:\\dumps\\zoo.mdmp";
                if (scan.format == "vst2") {
                    scan.check = check;
                } else {
                    CPluginScan sub;
                    sub.request = scan.request + ">" + scan.outcome.report.entries[0].id;
                    sub.outcome.report.entries = scan.outcome.report.entries;
                    sub.outcome.status = ScanStatus::kOk;
                    sub.check = check;
                    scan.subPlugins.push_back(sub);
                }
                CPluginFile file{scan.request, PathKey(scan.request), 12, "2026-01-01T00:00:00.0000000Z", "", ""};
                written.push_back(PluginRecord(file, scan));
                const Json& plugin = scan.format == "vst2" ? written.back() : written.back()["subPlugins"][0];
                EXPECT_EQ(plugin["check"]["status"], verdict) << plugin.dump();
                ASSERT_TRUE(database.Record(written.back(), problem)) << problem;
            }
        ASSERT_TRUE(database.Fold(problem)) << problem;
    }
    {
        CDatabase reopened;
        ASSERT_EQ(reopened.Open(path, problem), DatabaseOpening::kOpened) << problem;
        EXPECT_TRUE(reopened.Warnings().empty()) << reopened.Warnings().front();
        for (const Json& record : written) EXPECT_EQ(*reopened.Find(PathKey(record["path"].get<std::string>())), record);
    }
    const std::string table = FormatTable(written), csv = FormatCsv(written);
    EXPECT_EQ(table.rfind("STATUS  CHECK", 0), 0u) << table;
    EXPECT_NE(table.find("crashed in process at 96000 Hz, blocks of 1"), std::string::npos) << table;
    EXPECT_NE(table.find("3.2%"), std::string::npos) << table;
    EXPECT_NE(csv.find(",bundle,check,check_stage,check_verdict,load,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("warnings,state,warnings in state: it differs,3.25,"), std::string::npos) << csv;
    // Without checks, the outputs are what they were.
    EXPECT_EQ(FormatTable({Ordinary("C:\\a.dll")}).find("CHECK"), std::string::npos);

    Json damaged = written[0];
    damaged["check"]["status"] = "splendid";
    Json damagedStage = written[1];
    damagedStage["check"]["stages"][0] = 7;
    Write(path, Json{{"plugins", {damaged, damagedStage, Ordinary("C:\\a.dll")}}}.dump());
    CDatabase again;
    ASSERT_EQ(again.Open(path, problem), DatabaseOpening::kOpened) << problem;
    ASSERT_EQ(again.Warnings().size(), 2u);
    EXPECT_NE(again.Warnings()[0].find("a check without a status it knows"), std::string::npos) << again.Warnings()[0];
    EXPECT_NE(again.Warnings()[1].find("check stage"), std::string::npos) << again.Warnings()[1];
}

// The same plug-in in three formats reads alike in the table: its kind in the same words, its
// version without a fourth 0, each row named.
TEST(Formats, OnePluginLooksTheSameInEveryFormat)
{
    const Json vst2 = Json::parse(R"({"path": "C:\\d.dll", "format": "vst2", "status": "ok",
        "report": {"name": "Delay", "version": "1.0.0.0", "category": 1}})");
    const Json vst3 = Json::parse(R"({"path": "C:\\d.vst3", "format": "vst3", "status": "ok", "report": {"format": "vst3"},
        "subPlugins": [{"id": "0A", "listedName": "Delay", "status": "ok",
                        "report": {"name": "Delay", "version": "1.0.0", "category": "Fx|Delay"}}]})");
    const Json clap = Json::parse(R"({"path": "C:\\d.clap", "format": "clap", "status": "ok", "report": {"format": "clap"},
        "subPlugins": [{"id": "com.d", "listedName": "Delay", "status": "ok",
                        "report": {"name": "Delay", "version": "1.0.0", "category": "audio-effect|delay|stereo"}}]})");
    Json longVersion = clap;
    longVersion["subPlugins"][0]["report"]["version"] = std::string(4000, '9');
    const std::string table = FormatTable({vst2, vst3, clap, longVersion});
    // Every column is clipped: one long text does not pad every row.
    for (size_t start = 0, end; start < table.size(); start = end + 1) {
        end = table.find('\n', start);
        EXPECT_LT(end - start, 400u) << table.substr(start, 200);
    }
    EXPECT_EQ(table.find("1.0.0.0"), std::string::npos) << table;
    EXPECT_NE(table.find("effect (delay)  "), std::string::npos) << table;
    EXPECT_NE(table.find("effect (delay, stereo)"), std::string::npos) << table;
    EXPECT_NE(table.find("  > Delay"), std::string::npos) << table;  // a sub-plug-in row names it
    // A module's row is named by its only plug-in.
    const size_t moduleRow = table.find("d.vst3");
    ASSERT_NE(moduleRow, std::string::npos);
    EXPECT_NE(table.substr(table.rfind('\n', moduleRow), moduleRow - table.rfind('\n', moduleRow)).find("Delay"), std::string::npos)
        << table;
}

// A database a newer scanner wrote is refused, said why, and left as it is.
TEST_F(DatabaseTest, ADatabaseOfALaterFormatIsLeftUntouched)
{
    const std::string newer = R"({"format": 99, "scanner": "tessarine-scan 9.0.0", "plugins": []})";
    Write(path, newer);
    CDatabase database;
    EXPECT_EQ(database.Open(path, problem), DatabaseOpening::kFailed);
    EXPECT_NE(problem.find("has format 99, written by a newer tessarine-scan"), std::string::npos) << problem;
    EXPECT_EQ(Read(path), newer);
}
