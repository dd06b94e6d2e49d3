#include "core/backup/backup_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "core/backup/crypto.h"
#include "core/backup/plist_file.h"
#include "core/backup/small_file.h"
#include "core/backup/working_folder.h"

namespace marlowen {
namespace fs = std::filesystem;
namespace {

// A real "Manifest.mbdb" is a few megabytes; this bounds what a damaged
// one can make the reader hold.
constexpr std::uint64_t kMaxMbdbSize = 512u * 1024u * 1024u;
constexpr std::size_t kChunk = 1u << 20;
constexpr std::size_t kAesBlock = 16;

std::optional<struct stat> statOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return st;
}

bool isRegularFile(const std::string& path) {
    const auto st = statOf(path);
    return st && S_ISREG(st->st_mode);
}

// Owns a file descriptor.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool closeChecked() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Length of valid PKCS#7 padding at the end of `tail`, 0 when there is none.
std::size_t paddingLength(std::span<const std::uint8_t> tail) {
    if (tail.empty()) return 0;
    const std::size_t n = tail.back();
    if (n == 0 || n > kAesBlock || n > tail.size()) return 0;
    for (std::size_t i = tail.size() - n; i < tail.size(); ++i)
        if (tail[i] != n) return 0;
    return n;
}

// How a copy by the kernel went: done, not offered for these two files
// (nothing was written; copy through a buffer instead), or failed.
enum class KernelCopy { Done, NotOffered, ReadFailed, WriteFailed };

// Copies the rest of `in` (`size` bytes when it was opened) to `out` with
// copy_file_range, so a plain file's bytes never pass through this process.
// It reads to the end of the file as it is then, not to the size taken
// before; a file that claims a size but yields nothing at once (file
// systems that answer 0 for files they cannot copy this way) is left to
// the buffer.
KernelCopy copyInKernel(int in, int out, off_t size) {
    bool wrote = false;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk * 16, 0);
        if (n > 0) {
            wrote = true;
            continue;
        }
        if (n == 0) return wrote || size == 0 ? KernelCopy::Done : KernelCopy::NotOffered;
        if (errno == EINTR) continue;
        if (!wrote && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                       errno == EOPNOTSUPP || errno == EPERM || errno == EBADF))
            return KernelCopy::NotOffered;
        return errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? KernelCopy::WriteFailed
                                                                    : KernelCopy::ReadFailed;
    }
}

// Copies `from` to `to` (mode 0600), decrypting with `key` when given.
// Decrypted content is cut to `size` when size is not 0; otherwise its
// PKCS#7 padding is removed.
CopyOutStatus copyFile(const std::string& from, const fs::path& to, const SecureBytes* key,
                       std::uint64_t size) {
    Fd in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0) return CopyOutStatus::Unreadable;
    struct stat st {};
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return CopyOutStatus::Unreadable;
    if (key && st.st_size % static_cast<off_t>(kAesBlock) != 0) return CopyOutStatus::BadCiphertext;
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.get() < 0) return CopyOutStatus::Unwritable;
    if (!key) {
        switch (copyInKernel(in.get(), out.get(), st.st_size)) {
            case KernelCopy::Done:
                return out.closeChecked() ? CopyOutStatus::Ok : CopyOutStatus::Unwritable;
            case KernelCopy::ReadFailed:
                return CopyOutStatus::Unreadable;
            case KernelCopy::WriteFailed:
                return CopyOutStatus::Unwritable;
            case KernelCopy::NotOffered:
                break;
        }
    }

    std::optional<AesCbcStream> stream;
    if (key) {
        stream.emplace(key->span(), AesCbcStream::Direction::Decrypt);
        // Padding is handled here, so that a file cut to its Size never
        // fails on a last block the cut removed.
        stream->disablePadding();
        if (!stream->ok()) return CopyOutStatus::NoFileKey;
    }
    std::vector<std::uint8_t> buffer(kChunk);
    std::vector<std::uint8_t> plain;
    std::vector<std::uint8_t> pending;  // the last block, held back for the padding
    std::uint64_t written = 0;
    std::uint64_t total = 0;
    const std::uint64_t limit = key && size != 0 ? size : UINT64_MAX;
    auto emit = [&](const std::uint8_t* data, std::size_t n) {
        const std::uint64_t room = limit - written;
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, room));
        if (take == 0) return true;
        written += take;
        return writeAll(out.get(), data, take);
    };
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return CopyOutStatus::Unreadable;
        }
        if (n == 0) break;
        const auto got = static_cast<std::size_t>(n);
        if (!stream) {
            if (!writeAll(out.get(), buffer.data(), got)) return CopyOutStatus::Unwritable;
            continue;
        }
        plain.assign(pending.begin(), pending.end());
        if (!stream->update({buffer.data(), got}, plain)) return CopyOutStatus::BadCiphertext;
        const std::size_t keep = std::min(plain.size(), kAesBlock);
        if (!emit(plain.data(), plain.size() - keep)) return CopyOutStatus::Unwritable;
        total += plain.size() - keep;
        pending.assign(plain.end() - static_cast<std::ptrdiff_t>(keep), plain.end());
    }
    CopyOutStatus status = CopyOutStatus::Ok;
    if (stream) {
        if (!stream->finish(pending)) return CopyOutStatus::BadCiphertext;
        // With a known Size the cut removes the padding; a file cut short
        // of its Size ends in content, not padding.
        std::size_t tail = pending.size();
        if (size == 0) tail -= paddingLength(pending);
        if (size != 0 && total + tail < size) status = CopyOutStatus::ShorterThanSize;
        if (!emit(pending.data(), tail)) return CopyOutStatus::Unwritable;
    }
    if (!out.closeChecked()) return CopyOutStatus::Unwritable;
    return status;
}

}  // namespace

BackupArchive::Opened BackupArchive::open(const std::string& folder,
                                          std::shared_ptr<const BackupKeys> keys) {
    Opened result;
    const auto st = statOf(folder);
    if (!st || !S_ISDIR(st->st_mode)) return result;

    std::unique_ptr<BackupArchive> archive(new BackupArchive());
    archive->folder_ = folder;
    const PlistFile manifest = readPlistFile(folder + "/Manifest.plist");
    const bool encrypted =
        manifest.status == PlistFileStatus::Ok && manifest.document.root().boolean("IsEncrypted");
    if (encrypted) {
        if (!keys) {
            result.status = ArchiveOpenStatus::NeedsPassword;
            return result;
        }
        archive->keys_ = std::move(keys);
    }

    const std::string manifestDb = folder + "/Manifest.db";
    const std::string mbdb = folder + "/Manifest.mbdb";
    std::optional<IndexRead> index;
    if (isRegularFile(manifestDb)) {
        archive->layout_ = BackupLayout::ManifestDb;
        std::string readable = manifestDb;
        if (encrypted) {
            archive->indexCopy_ = std::make_unique<WorkingFolder>();
            WorkingFolder& work = *archive->indexCopy_;
            const SecureBytes& key = archive->keys_->manifestKey();
            if (key.empty() || !work.ensure() ||
                copyFile(manifestDb, work.path() / "Manifest.db", &key, 0) != CopyOutStatus::Ok) {
                result.status = ArchiveOpenStatus::IndexUnreadable;
                return result;
            }
            readable = (work.path() / "Manifest.db").string();
        }
        archive->manifest_ = ManifestDb::open(readable);
        if (archive->manifest_ && archive->manifest_->looksUpByFileID()) {
            archive->listsOnDemand_ = true;
        } else if (archive->manifest_) {
            index = archive->manifest_->entries();
        } else if (encrypted) {
            result.status = ArchiveOpenStatus::IndexUnreadable;
            return result;
        }
    } else if (isRegularFile(mbdb)) {
        archive->layout_ = BackupLayout::Mbdb;
        const SmallFile bytes = readSmallFile(mbdb, kMaxMbdbSize);
        if (bytes.status == SmallFileStatus::Ok)
            index = readMbdb(
                {reinterpret_cast<const std::uint8_t*>(bytes.bytes.data()), bytes.bytes.size()});
    } else if (encrypted) {
        result.status = ArchiveOpenStatus::IndexUnreadable;
        return result;
    }
    if (archive->layout_ != BackupLayout::Flat && !archive->listsOnDemand_) {
        // A plain backup whose index is damaged is still read by stored
        // names; an encrypted one cannot be, its file keys are in the index.
        if (!index && !encrypted) index = IndexRead{{}, false};
        if (!index) {
            result.status = ArchiveOpenStatus::BadIndex;
            return result;
        }
        archive->indexComplete_ = index->complete;
        archive->entries_ = std::move(index->entries);
        archive->byFileID_.reserve(archive->entries_.size());
        for (std::size_t i = 0; i < archive->entries_.size(); ++i)
            archive->byFileID_.emplace(archive->entries_[i].fileID, i);
    }
    if (!archive->listsOnDemand_) std::call_once(archive->listed_, [] {});
    result.status = ArchiveOpenStatus::Ok;
    result.archive = std::move(archive);
    return result;
}

BackupArchive::BackupArchive() = default;
BackupArchive::~BackupArchive() = default;

bool BackupArchive::indexComplete() const {
    return indexComplete_ && !(manifest_ && manifest_->damaged());
}

void BackupArchive::list() const {
    std::call_once(listed_, [this] {
        IndexRead read = manifest_->entries();
        indexComplete_ = read.complete;
        entries_ = std::move(read.entries);
        byFileID_.reserve(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) byFileID_.emplace(entries_[i].fileID, i);
    });
}

const std::vector<BackupEntry>& BackupArchive::entries() const {
    list();
    return entries_;
}

std::vector<BackupEntry> BackupArchive::entriesIn(std::span<const std::string_view> domains) const {
    if (listsOnDemand_) {
        IndexRead read = manifest_->entriesIn(domains);
        if (read.complete) return std::move(read.entries);
        // A read that failed: the listing reads the table as far as it goes.
    }
    std::vector<BackupEntry> in;
    for (const BackupEntry& e : entries())
        if (std::find(domains.begin(), domains.end(), e.domain) != domains.end())
            in.push_back(withFacts(e));
    return in;
}

std::optional<BackupEntry> BackupArchive::listed(std::string_view fileID) const {
    if (listsOnDemand_) {
        if (std::optional<BackupEntry> entry = manifest_->entry(fileID)) return entry;
        // Not listed, unless a read has failed: then the listing, which
        // reads the table as far as it goes, answers.
        if (!manifest_->damaged()) return std::nullopt;
        list();
    }
    if (const auto it = byFileID_.find(fileID); it != byFileID_.end()) return entries_[it->second];
    return std::nullopt;
}

BackupEntry BackupArchive::withFacts(const BackupEntry& entry) const {
    BackupEntry read = entry;
    if (manifest_) manifest_->readFacts(read);
    return read;
}

std::optional<std::string> BackupArchive::storedPathOf(std::string_view fileID) const {
    if (!isFileID(fileID)) return std::nullopt;
    const std::string id(fileID);
    std::string nested = folder_ + "/" + id.substr(0, 2) + "/" + id;
    std::string flat = folder_ + "/" + id;
    if (layout_ == BackupLayout::ManifestDb) std::swap(nested, flat);
    // Manifest.db backups store nested, older ones flat; each is tried
    // second for folders that were copied around.
    if (isRegularFile(flat)) return flat;
    if (isRegularFile(nested)) return nested;
    return std::nullopt;
}

std::optional<BackupFile> BackupArchive::find(std::string_view domain,
                                              std::string_view relativePath) const {
    const std::string fileID = backupFileID(domain, relativePath);
    if (const std::optional<BackupEntry> entry = listed(fileID)) return fileOf(*entry);
    // An encrypted file the index does not list has no key to open it.
    if (encrypted()) return std::nullopt;
    const auto stored = storedPathOf(fileID);
    if (!stored) return std::nullopt;
    BackupFile file;
    file.entry.fileID = fileID;
    file.entry.domain = std::string(domain);
    file.entry.relativePath = std::string(relativePath);
    file.entry.size = static_cast<std::uint64_t>(statOf(*stored).value().st_size);
    file.storedPath = *stored;
    return file;
}

std::optional<BackupFile> BackupArchive::fileOf(const BackupEntry& entry) const {
    if ((entry.flags & (kBackupEntryFolder | kBackupEntryLink)) != 0) return std::nullopt;
    const auto stored = storedPathOf(entry.fileID);
    if (!stored) return std::nullopt;
    return BackupFile{withFacts(entry), *stored};
}

std::vector<std::pair<std::string, BackupFile>> BackupArchive::companionsOf(
    const BackupFile& file) const {
    std::vector<std::pair<std::string, BackupFile>> out;
    for (const char* suffix : kDatabaseCompanionSuffixes) {
        if (auto companion = find(file.entry.domain, file.entry.relativePath + suffix)) {
            out.emplace_back(suffix, std::move(*companion));
            continue;
        }
        if (layout_ == BackupLayout::ManifestDb || encrypted()) continue;
        const std::string beside = file.storedPath + suffix;
        if (!isRegularFile(beside)) continue;
        BackupFile companion;
        companion.entry = file.entry;
        companion.entry.relativePath += suffix;
        companion.entry.size = static_cast<std::uint64_t>(statOf(beside).value().st_size);
        companion.storedPath = beside;
        out.emplace_back(suffix, std::move(companion));
    }
    return out;
}

CopyOutStatus BackupArchive::copyOut(const BackupFile& file, const fs::path& to) const {
    if (!keys_) return copyFile(file.storedPath, to, nullptr, 0);
    std::optional<SecureBytes> key = keys_->fileKey(file.entry.encryptionKey);
    if (!key) return CopyOutStatus::NoFileKey;
    return copyFile(file.storedPath, to, &*key, file.entry.size);
}

std::optional<std::string> storedFileByName(const std::string& folder, std::string_view domain,
                                            std::string_view relativePath) {
    const std::string id = backupFileID(domain, relativePath);
    const std::string flat = folder + "/" + id;
    if (isRegularFile(flat)) return flat;
    const std::string nested = folder + "/" + id.substr(0, 2) + "/" + id;
    if (isRegularFile(nested)) return nested;
    return std::nullopt;
}

std::string copyOutMessage(CopyOutStatus status, const BackupFile& file) {
    const std::string name = file.entry.domain + "-" + file.entry.relativePath;
    switch (status) {
        case CopyOutStatus::Ok:
            return "";
        case CopyOutStatus::ShorterThanSize:
            return name + " is shorter than the index says; what there is was written";
        case CopyOutStatus::Unreadable:
            return "Cannot read " + file.storedPath;
        case CopyOutStatus::Unwritable:
            return "Cannot write the copy of " + name;
        case CopyOutStatus::NoFileKey:
            return "The key of " + name + " is missing or does not unwrap";
        case CopyOutStatus::BadCiphertext:
            return name + " is not whole AES blocks";
    }
    return "";
}

}  // namespace marlowen
