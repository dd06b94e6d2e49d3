// Copying photos and videos out of a backup.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/export/file_copy.h"
#include "temp_folder.h"

namespace marlowen {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

std::string bytes(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 131 + 7);
    return s;
}

TEST(CopyFileThroughBuffer, CopiesExactlyTheSourceBytes) {
    TempFolder dir;
    // Sizes around the buffer size, each copied over the longer copy before
    // it, which must be emptied first.
    std::vector<char> buffer(64);
    for (std::size_t size : {1000u, 129u, 128u, 64u, 63u, 1u, 0u}) {
        const std::string content = bytes(size);
        writeFile(dir / "source", content);
        const CopyResult r = copyFileThroughBuffer(dir / "source", dir / "copy", buffer);
        ASSERT_TRUE(r) << size;
        EXPECT_EQ(r.bytesCopied, size);
        EXPECT_EQ(std::filesystem::file_size(dir / "copy"), size);
        EXPECT_EQ(readFile(dir / "copy"), content) << size;
    }
}

TEST(CopyFileThroughBuffer, AFailedReadRemovesTheShortCopy) {
    TempFolder dir;
    // A folder opens for reading but every read fails.
    std::filesystem::create_directory(dir / "folder");
    std::vector<char> buffer(16);
    const CopyResult r = copyFileThroughBuffer(dir / "folder", dir / "copy", buffer);
    EXPECT_EQ(r.failedStep, CopyStep::CopyData);
    EXPECT_EQ(r.error, std::errc::is_a_directory);
    EXPECT_FALSE(std::filesystem::exists(dir / "copy"));
}

TEST(CopyFileThroughBuffer, NeverWritesThroughALinkOrOntoItsSource) {
    TempFolder dir;
    writeFile(dir / "source", "photo");
    writeFile(dir / "elsewhere", "keep");
    std::filesystem::create_symlink(dir / "elsewhere", dir / "link");
    std::vector<char> buffer(16);

    const CopyResult viaLink = copyFileThroughBuffer(dir / "source", dir / "link", buffer);
    EXPECT_EQ(viaLink.failedStep, CopyStep::CreateDestination);
    EXPECT_EQ(readFile(dir / "elsewhere"), "keep");

    std::filesystem::create_hard_link(dir / "source", dir / "same");
    const CopyResult onto = copyFileThroughBuffer(dir / "source", dir / "same", buffer);
    EXPECT_EQ(onto.failedStep, CopyStep::SourceIsDestination);
    EXPECT_EQ(readFile(dir / "source"), "photo");
}

}  // namespace
}  // namespace marlowen
