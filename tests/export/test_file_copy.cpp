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
using testing::treeOf;
using testing::writeFile;

std::string bytes(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 131 + 7);
    return s;
}

TEST(CopyFileThroughBuffer, CopiesExactlyTheSourceBytes) {
    TempFolder dir;
    // Sizes around the buffer size: smaller, equal, a multiple, one more, empty.
    std::vector<char> buffer(64);
    for (std::size_t size : {0u, 1u, 63u, 64u, 128u, 129u, 1000u}) {
        const std::string content = bytes(size);
        writeFile(dir / "source", content);
        const CopyResult r = copyFileThroughBuffer(dir / "source", dir / "copy", buffer);
        ASSERT_TRUE(r) << size;
        EXPECT_EQ(r.bytesCopied, size);
        EXPECT_EQ(std::filesystem::file_size(dir / "copy"), size);
        EXPECT_EQ(readFile(dir / "copy"), content) << size;
    }
}

TEST(CopyFileThroughBuffer, EmptiesALongerOldCopy) {
    TempFolder dir;
    writeFile(dir / "source", "short");
    writeFile(dir / "copy", std::string(5000, 'x'));
    std::vector<char> buffer(16);
    ASSERT_TRUE(copyFileThroughBuffer(dir / "source", dir / "copy", buffer));
    EXPECT_EQ(readFile(dir / "copy"), "short");
}

TEST(CopyFileThroughBuffer, AVanishedSourceLeavesNoEmptyCopy) {
    TempFolder dir;
    std::vector<char> buffer(16);
    const CopyResult r = copyFileThroughBuffer(dir / "gone", dir / "copy", buffer);
    EXPECT_EQ(r.failedStep, CopyStep::OpenSource);
    EXPECT_EQ(r.error, std::errc::no_such_file_or_directory);
    EXPECT_TRUE(treeOf(dir.path()).empty());
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

TEST(CopyFileThroughBuffer, ADestinationThatCannotBeCreated) {
    TempFolder dir;
    writeFile(dir / "source", "photo");
    writeFile(dir / "file", "x");
    std::vector<char> buffer(16);
    const CopyResult r = copyFileThroughBuffer(dir / "source", dir / "file" / "copy", buffer);
    EXPECT_EQ(r.failedStep, CopyStep::CreateDestination);
    EXPECT_EQ(r.error, std::errc::not_a_directory);
}

}  // namespace
}  // namespace marlowen
