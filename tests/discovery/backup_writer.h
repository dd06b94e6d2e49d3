// Writes small backup folders and property lists for the discovery and CLI
// tests, with libplist.
#pragma once

#include <plist/plist.h>

#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marlowen::testing {

// A fresh folder under $TMPDIR (else /tmp), removed with its content when the
// object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

using Fields = std::vector<std::pair<std::string, std::string>>;

enum class PlistForm { Xml, Binary };

PlistPtr stringDict(const Fields& fields);
std::string plistBytes(plist_t node, PlistForm form);
void writeFile(const std::string& path, std::string_view bytes);
void writePlist(const std::string& path, plist_t node, PlistForm form);
void makeFolder(const std::string& path);
void setModificationTime(const std::string& path, std::time_t time);

// root/name holding an XML "Info.plist" with `info` and a second entry.
std::string writeInfoBackup(const std::string& root, const std::string& name, const Fields& info);

// root/name holding a binary "Manifest.plist" with `lockdown` under
// "Lockdown" and "IsEncrypted", and a second entry.
std::string writeManifestBackup(const std::string& root, const std::string& name,
                                const Fields& lockdown, bool encrypted);

}  // namespace marlowen::testing
