#include "support/fixture_cli.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>

#include "support/backup_folder.h"
#include "support/bulk_fixture.h"
#include "support/encrypted_sample.h"
#include "support/fixture_error.h"
#include "support/modern_sample.h"
#include "support/sample_backup.h"

namespace marlowen::fixture {
namespace {

struct BulkArguments {
    std::string root;
    std::int64_t contacts = 1000;
    std::int64_t multiValues = 3000;
    std::int64_t messages = 0;
    std::int64_t minimumMegabytes = 0;
    int deletedPercent = 0;
    std::uint64_t seed = 1;
    int pageSize = 4096;
};

void runSample(const std::string& root, std::ostream& out) {
    SampleBackup sample = writeSampleBackup(root);
    out << sample.folder.string() << "\n";
    out << sample.livePeople.size() << " contacts, " << sample.deletedPeople.size() << " deleted; "
        << sample.deletedMessages.size() << " messages, " << sample.deletedCalls.size()
        << " calls and " << sample.deletedNotes.size() << " notes deleted\n";
}

void runBulk(const BulkArguments& a, std::ostream& out) {
    DeviceInfo device;
    device.deviceName = "Benchmark phone";
    device.uniqueIdentifier = "b0b0b0b0c1c1c1c1d2d2d2d2e3e3e3e3f4f4f4f4";
    if (std::filesystem::exists(std::filesystem::path(a.root) /
                                BackupFolderBuilder::folderName(device)))
        throw FixtureError(a.root + "/" + BackupFolderBuilder::folderName(device) +
                           " already exists; remove it first");
    BackupFolderBuilder backup = BackupFolderBuilder::inRoot(a.root, device);

    BulkAddressBookSpec contacts;
    contacts.seed = a.seed;
    contacts.contacts = a.contacts;
    contacts.multiValues = a.multiValues;
    contacts.minimumBytes = a.minimumMegabytes * 1024 * 1024;
    contacts.deletedPercent = a.deletedPercent;
    AddressBookOptions bookOptions;
    bookOptions.db.pageSize = a.pageSize;
    BulkAddressBookResult book =
        writeBulkAddressBook(backup.databasePath(DatabaseKind::AddressBook), contacts, bookOptions);
    out << backup.folder().string() << "\n";
    out << book.contacts << " contacts, " << book.multiValues << " multi-values, " << book.deleted
        << " deleted, " << book.bytes << " bytes\n";
    if (a.messages > 0) {
        BulkMessagesSpec messages;
        messages.seed = a.seed;
        messages.messages = a.messages;
        messages.deletedPercent = a.deletedPercent;
        MessageDbOptions messageOptions;
        messageOptions.db.pageSize = a.pageSize;
        BulkMessagesResult result = writeBulkMessages(backup.databasePath(DatabaseKind::Messages),
                                                      messages, messageOptions);
        out << result.messages << " messages in " << result.conversations << " conversations, "
            << result.deleted << " deleted\n";
    }
    backup.writePlists();
}

}  // namespace

int runFixtureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app{"Writes phone backup folders for tests, benchmarks and the sample",
                 "marlowen-fixture"};
    app.require_subcommand(1);

    std::string sampleRoot;
    CLI::App* sample = app.add_subcommand("sample", "Write the sample backup into a backup root");
    sample->add_option("DIR", sampleRoot, "Backup root (created when missing)")->required();
    std::string samplePassword;
    EncryptedSampleOptions encrypted;
    sample->add_option("--encrypted", samplePassword,
                       "Also write an encrypted backup of the sample's records with this password");
    sample
        ->add_option("--iterations", encrypted.iterations,
                     "Key derivation rounds of the encrypted backup (SHA-1 round)")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    sample
        ->add_option("--double-iterations", encrypted.doubleProtectionIterations,
                     "Key derivation rounds of the encrypted backup (SHA-256 round)")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();

    std::string modernRoot;
    std::string modernPassword;
    CLI::App* modern = app.add_subcommand(
        "modern",
        "Write a backup of a phone of OS 14 (Manifest.db, today's stores) into a backup root");
    modern->add_option("DIR", modernRoot, "Backup root (created when missing)")->required();
    modern->add_option("--encrypted", modernPassword, "Encrypt the backup with this password");

    BulkArguments bulk;
    CLI::App* bulkCommand = app.add_subcommand("bulk", "Write a large backup for the benchmarks");
    bulkCommand->add_option("DIR", bulk.root, "Backup root (created when missing)")->required();
    bulkCommand->add_option("--contacts", bulk.contacts, "Number of contacts")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    bulkCommand
        ->add_option("--multivalues", bulk.multiValues,
                     "Phone numbers, e-mail, web and postal addresses, spread over the contacts")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    bulkCommand->add_option("--messages", bulk.messages, "Number of messages (OS 6 layout)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    bulkCommand
        ->add_option("--min-mb", bulk.minimumMegabytes,
                     "Add contacts until the address book has at least this many MiB")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    bulkCommand
        ->add_option("--deleted-percent", bulk.deletedPercent,
                     "Share of contacts and messages deleted afterwards")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    bulkCommand->add_option("--seed", bulk.seed, "Seed of the generated data")
        ->capture_default_str();
    bulkCommand->add_option("--page-size", bulk.pageSize, "Database page size")
        ->check(CLI::IsMember({512, 1024, 2048, 4096, 8192, 16384, 32768, 65536}))
        ->capture_default_str();

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err);
    }
    try {
        if (*sample) {
            runSample(sampleRoot, out);
            if (!samplePassword.empty()) {
                encrypted.password = samplePassword;
                out << writeEncryptedSampleBackup(sampleRoot, encrypted).string()
                    << " (encrypted)\n";
            }
        } else if (*modern) {
            ModernSampleOptions options;
            if (!modernPassword.empty()) {
                BackupEncryption encryption;
                encryption.password = modernPassword;
                options.encryption = encryption;
            }
            out << writeModernSampleBackup(modernRoot, options).folder.string() << "\n";
        } else
            runBulk(bulk, out);
    } catch (const std::exception& e) {
        err << "marlowen-fixture: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace marlowen::fixture
