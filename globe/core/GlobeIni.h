#pragma once
// A Windows-style INI profile: sections and keys match ignoring case,
// booleans are "1"/"0"; the file is replaced whole on UpdateFile.
#include <string>
#include <utility>
#include <vector>

class TIniFile {
public:
    explicit TIniFile(std::string path);
    const std::string& FileName() const { return Path; }
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    void EraseSection(const std::string& section);
    bool SectionExists(const std::string& section) const;
    // Writes the file through a sibling temporary; false when it cannot.
    bool UpdateFile() const;
    std::string Text() const;

private:
    struct Section {
        std::string Name;
        std::vector<std::pair<std::string, std::string>> Keys;
    };
    const Section* Find(const std::string& section) const;
    std::string Path;
    std::vector<Section> Sections;
};
