// The files and extract verbs, and the password options of scan and
// export, on indexed and encrypted backups built by the fixture.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_app.h"
#include "support/indexed_backup.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"

namespace marlowen::cli {
namespace {
namespace fs = std::filesystem;
using namespace marlowen::fixture;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun run(const std::vector<std::string>& args,
           std::function<std::optional<std::string>()> prompt = {}) {
    std::ostringstream out, err;
    CliContext ctx{out, err};
    ctx.promptPassword = std::move(prompt);
    const int status = runCli(args, ctx);
    return {status, out.str(), err.str()};
}

const Bytes kNotes = {'n', 'o', 't', 'e', 's', ' ', 'd', 'b'};

class BackupFilesCommandTest : public ::testing::Test {
protected:
    BackupFilesCommandTest() {
        ::unsetenv("MARLOWEN_BACKUP_PASSWORD");
        writeFileBytes(passwordFile, Bytes{'c', 'o', 'r', 'r', 'e', 'c', 't', ' ', 'h', 'o', 'r',
                                           's', 'e', '\n'});
        writeFileBytes(wrongFile, Bytes{'n', 'o', 'p', 'e'});
    }
    ~BackupFilesCommandTest() override { ::unsetenv("MARLOWEN_BACKUP_PASSWORD"); }

    std::string backup(IndexKind kind, std::optional<BackupEncryption> encryption) {
        const fs::path folder = tmp / ("b" + std::to_string(++made));
        IndexedBackupWriter w(folder, kind, encryption);
        w.addFolder("HomeDomain", "Library/Notes");
        w.addFile("HomeDomain", "Library/Notes/notes.sqlite", kNotes, 3);
        w.addFile("MediaDomain", "Media/Recordings/a.m4a", Bytes(40, 1), 2);
        w.finish();
        return folder.string();
    }

    TempDir tmp;
    fs::path passwordFile = tmp / "password";
    fs::path wrongFile = tmp / "wrong";
    int made = 0;
};

TEST_F(BackupFilesCommandTest, FilesListsTheIndexAsTextAndJson) {
    const std::string folder = backup(IndexKind::Mbdb, std::nullopt);
    const CliRun text = run({"files", folder});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("HomeDomain\tLibrary/Notes/notes.sqlite\tfile\t8\t"
                            "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c\t3\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("HomeDomain\tLibrary/Notes\tfolder\t0\t"), std::string::npos);

    const CliRun json = run({"files", folder, "--domain", "MediaDomain", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc["layout"], "mbdb");
    EXPECT_EQ(doc["encrypted"], false);
    ASSERT_EQ(doc["files"].size(), 1u);
    EXPECT_EQ(doc["files"][0]["relativePath"], "Media/Recordings/a.m4a");
    EXPECT_EQ(doc["files"][0]["size"], 40);
    EXPECT_EQ(doc["files"][0]["protectionClass"], 2);
}

TEST_F(BackupFilesCommandTest, EncryptedBackupTakesThePasswordFromFileEnvironmentOrPrompt) {
    const std::string folder = backup(IndexKind::ManifestDb, BackupEncryption{});
    const CliRun fromFile =
        run({"files", folder, "--json", "--password-file", passwordFile.string()});
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;
    EXPECT_EQ(nlohmann::json::parse(fromFile.out)["files"].size(), 3u);

    const CliRun wrong = run({"files", folder, "--password-file", wrongFile.string()});
    EXPECT_EQ(wrong.status, 3);
    EXPECT_EQ(wrong.err, "The password does not open this backup.\n");
    EXPECT_EQ(wrong.out, "");

    const CliRun none = run({"files", folder});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("--password-file"), std::string::npos);

    const CliRun prompted = run({"files", folder}, [] { return std::string("correct horse"); });
    EXPECT_EQ(prompted.status, 0) << prompted.err;

    ::setenv("MARLOWEN_BACKUP_PASSWORD", "correct horse", 1);
    const CliRun fromEnv = run({"files", folder});
    EXPECT_EQ(fromEnv.status, 0) << fromEnv.err;
    // The password never shows in what the program prints, even verbose.
    const CliRun verbose = run({"-v", "files", folder});
    EXPECT_EQ(verbose.err.find("correct horse"), std::string::npos);
    EXPECT_EQ(verbose.out.find("correct horse"), std::string::npos);
}

TEST_F(BackupFilesCommandTest, MissingEncryptionPartsEndWithStatusThree) {
    const std::string noBag = backup(IndexKind::ManifestDb, BackupEncryption{.writeKeybag = false});
    const CliRun bag = run({"files", noBag, "--password-file", passwordFile.string()});
    EXPECT_EQ(bag.status, 3);
    EXPECT_NE(bag.err.find("keybag"), std::string::npos) << bag.err;
    const std::string noKey =
        backup(IndexKind::ManifestDb, BackupEncryption{.writeManifestKey = false});
    const CliRun key = run({"extract", noKey, "HomeDomain", "Library/Notes/notes.sqlite", "--to",
                            (tmp / "out").string(), "--password-file", passwordFile.string()});
    EXPECT_EQ(key.status, 3);
    EXPECT_NE(key.err.find("ManifestKey"), std::string::npos) << key.err;
    EXPECT_FALSE(fs::exists(tmp / "out"));
}

TEST_F(BackupFilesCommandTest, ExtractWritesThePlainFileAndNeverIntoTheBackup) {
    for (IndexKind kind : {IndexKind::ManifestDb, IndexKind::Mbdb}) {
        const std::string folder = backup(kind, BackupEncryption{});
        const fs::path to = tmp / ("notes" + std::to_string(made));
        const CliRun ok = run({"extract", folder, "HomeDomain", "Library/Notes/notes.sqlite",
                               "--to", to.string(), "--password-file", passwordFile.string()});
        ASSERT_EQ(ok.status, 0) << ok.err;
        EXPECT_EQ(readFileBytes(to), kNotes);

        const CliRun inside =
            run({"extract", folder, "HomeDomain", "Library/Notes/notes.sqlite", "--to",
                 folder + "/../" + fs::path(folder).filename().string() + "/copy",
                 "--password-file", passwordFile.string()});
        EXPECT_EQ(inside.status, 1);
        EXPECT_NE(inside.err.find("inside the backup"), std::string::npos);
        EXPECT_FALSE(fs::exists(fs::path(folder) / "copy"));

        const CliRun missing =
            run({"extract", folder, "HomeDomain", "Library/SMS/sms.db", "--to",
                 (tmp / "none").string(), "--password-file", passwordFile.string()});
        EXPECT_EQ(missing.status, 1);
        EXPECT_FALSE(fs::exists(tmp / "none"));
    }
}

TEST_F(BackupFilesCommandTest, ScanAndExportReadAnEncryptedBackup) {
    const SampleBackup sample = writeSampleBackup(tmp / "root");
    const fs::path folder = tmp / "enc";
    IndexedBackupWriter w(folder, IndexKind::ManifestDb, BackupEncryption{});
    addFilesOfFlatBackup(w, sample.folder);
    w.finish();

    const CliRun plain = run({"scan", sample.folder.string(), "--json"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    const CliRun scan =
        run({"scan", folder.string(), "--json", "--password-file", passwordFile.string()});
    ASSERT_EQ(scan.status, 0) << scan.err;
    const auto counts = nlohmann::json::parse(plain.out)["counts"];
    ASSERT_TRUE(counts.is_object());
    EXPECT_EQ(nlohmann::json::parse(scan.out)["counts"], counts);

    const CliRun wrong = run({"scan", folder.string(), "--password-file", wrongFile.string()});
    EXPECT_EQ(wrong.status, 3);
    EXPECT_EQ(wrong.err, "The password does not open this backup.\n");
    EXPECT_EQ(wrong.out, "");
    const CliRun exportWrong = run({"export", folder.string(), "--to", (tmp / "x").string(),
                                    "--password-file", wrongFile.string()});
    EXPECT_EQ(exportWrong.status, 3);
    EXPECT_FALSE(fs::exists(tmp / "x"));

    const CliRun exported = run({"export", folder.string(), "--to", (tmp / "export").string(),
                                 "--password-file", passwordFile.string()});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_TRUE(fs::exists(tmp / "export"));
}

}  // namespace
}  // namespace marlowen::cli
