// The parts of the sample backup, one function per database. Each writes its
// file and records what it left live and what it deleted.
#pragma once

#include <filesystem>

#include "support/sample_backup.h"

namespace marlowen::fixture::sample {

void writeContacts(const std::filesystem::path& database, SampleBackup& summary);
void writeMessages(const std::filesystem::path& database, SampleBackup& summary);
void writeCalls(const std::filesystem::path& database, SampleBackup& summary);
void writeNotes(const std::filesystem::path& database, SampleBackup& summary);

}  // namespace marlowen::fixture::sample
