#pragma once
// The plug-in database: a strict JSON file with one record per plug-in file, written whole
// after every finished plug-in through a temporary file renamed over the old one, so that an
// interrupted scan keeps everything it found.
#include <map>
#include <string>

#include "scanner/Records.h"

class CDatabase {
public:
    // False, with the reason, when the file exists but cannot be read as a database.
    bool Load(const std::wstring& path, std::string& problem);
    const Json* Find(const std::string& pluginPath) const;
    void Put(const Json& record);
    bool Save(std::string& problem) const;

private:
    std::wstring path;
    std::map<std::string, Json> records;  // by plug-in path, so the file's order is stable
};
