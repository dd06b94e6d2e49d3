#include "backup_writer.h"

#include <utime.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace marlowen::testing {

ScratchDir::ScratchDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/marlowen-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

PlistPtr stringDict(const Fields& fields) {
    PlistPtr dict(plist_new_dict());
    for (const auto& [key, value] : fields)
        plist_dict_set_item(dict.get(), key.c_str(), plist_new_string(value.c_str()));
    return dict;
}

std::string plistBytes(plist_t node, PlistForm form) {
    char* data = nullptr;
    uint32_t length = 0;
    if (form == PlistForm::Xml)
        plist_to_xml(node, &data, &length);
    else
        plist_to_bin(node, &data, &length);
    if (data == nullptr) throw std::runtime_error("libplist could not write the list");
    std::string bytes(data, length);
    std::free(data);
    return bytes;
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void writePlist(const std::string& path, plist_t node, PlistForm form) {
    writeFile(path, plistBytes(node, form));
}

void makeFolder(const std::string& path) {
    std::filesystem::create_directories(path);
}

void setModificationTime(const std::string& path, std::time_t time) {
    const utimbuf times{time, time};
    if (::utime(path.c_str(), &times) != 0) throw std::runtime_error("utime failed");
}

std::string writeInfoBackup(const std::string& root, const std::string& name, const Fields& info) {
    const std::string folder = root + "/" + name;
    makeFolder(folder);
    writePlist(folder + "/Info.plist", stringDict(info).get(), PlistForm::Xml);
    writeFile(folder + "/Status.plist", "x");
    return folder;
}

std::string writeManifestBackup(const std::string& root, const std::string& name,
                                const Fields& lockdown, bool encrypted) {
    const std::string folder = root + "/" + name;
    makeFolder(folder);
    PlistPtr manifest(plist_new_dict());
    plist_dict_set_item(manifest.get(), "Lockdown", stringDict(lockdown).release());
    plist_dict_set_item(manifest.get(), "IsEncrypted", plist_new_bool(encrypted ? 1 : 0));
    writePlist(folder + "/Manifest.plist", manifest.get(), PlistForm::Binary);
    writeFile(folder + "/Manifest.db", "x");
    return folder;
}

}  // namespace marlowen::testing
