#pragma once

#include <string>

#include "core/extract/reader_context.h"

namespace marlowen {

// Files of at least this many bytes are photo and video candidates.
inline constexpr long long kPhotoCandidateMinSize = 50000;

// Lists the backup folder and posts the full path of every entry of at
// least 50000 bytes as "ScanPhotoAndVideoInfo"; whether it is a picture or
// a film is decided by the receiver. Progress: with n entries, a running
// count is posted before entry i whenever i == n*k/30 for some k in 1..29
// (equal thresholds post once) and once more after the last entry.
//
// Newer backups keep their files in subfolders named by two hex digits; such
// a subfolder stands in the listing for the files it holds.
//
// When the context carries media candidates (a backup with a file index: its
// camera roll and message media), those are the entries instead, with the same progress, and each
// is posted by the path of its readable copy.
void scanPhotoAndVideoThread(const std::string& backupPath, ReaderContext& ctx);

}  // namespace marlowen
