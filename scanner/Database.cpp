#include "scanner/Database.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
constexpr int kDatabaseFormat = 1;
}

bool CDatabase::Load(const std::wstring& file, std::string& problem)
{
    path = file;
    records.clear();
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return true;  // a new database
    std::stringstream text;
    text << in.rdbuf();
    const Json document = Json::parse(text.str(), nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("plugins") ||
        !document["plugins"].is_array()) {
        problem = "not a plug-in database";
        return false;
    }
    for (const auto& record : document["plugins"])
        if (record.is_object() && record.contains("path") && record["path"].is_string()) records[record["path"]] = record;
    return true;
}

const Json* CDatabase::Find(const std::string& pluginPath) const
{
    const auto found = records.find(pluginPath);
    return found == records.end() ? nullptr : &found->second;
}

void CDatabase::Put(const Json& record) { records[record["path"].get<std::string>()] = record; }

bool CDatabase::Save(std::string& problem) const
{
    Json document{{"format", kDatabaseFormat}, {"plugins", Json::array()}};
    for (const auto& [key, record] : records) document["plugins"].push_back(record);
    const std::wstring temporary = path + L".tmp";
    {
        std::ofstream out(std::filesystem::path(temporary), std::ios::binary | std::ios::trunc);
        // A text that is not valid UTF-8 is replaced rather than failing the whole database.
        out << document.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
        out.flush();
        if (!out) {
            problem = "cannot write the database";
            return false;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        problem = "cannot replace the database (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}
