// Names and payloads of the scan notifications. Every reader posts its
// records and its progress through the notification center it is handed.
//
// | name                      | object                                   |
// |---------------------------|------------------------------------------|
// | "ScanProgressInfo"        | int, a percentage                        |
// | "ScanPhotoAndVideoInfo"   | std::string, full path of a backup file  |
// | "ScanContactInfo"         | ContactNodePtr (live)                    |
// | "ScanMessageInfo"         | MessageNodePtr (live)                    |
// | "ScanCallHistoryInfo"     | CallHistoryNodePtr (live)                |
// | "ScanNoteInfo"            | NoteNodePtr (live)                       |
// | "ScanDelContactInfo"      | ContactNodePtr (carved)                  |
// | "ScanDelMessageInfo"      | MessageNodePtr (carved)                  |
// | "ScanDelNoteInfo"         | NoteNodePtr (carved)                     |
// | "ScanDelCallHistoryInfo"  | CallHistoryNodePtr (carved)              |
//
// Carved nodes arrive with bDeleted still false; the results intake sets it
// when it accepts them.
#pragma once

namespace marlowen {

inline constexpr const char* kScanProgressInfo = "ScanProgressInfo";
inline constexpr const char* kScanPhotoAndVideoInfo = "ScanPhotoAndVideoInfo";
inline constexpr const char* kScanContactInfo = "ScanContactInfo";
inline constexpr const char* kScanMessageInfo = "ScanMessageInfo";
inline constexpr const char* kScanCallHistoryInfo = "ScanCallHistoryInfo";
inline constexpr const char* kScanNoteInfo = "ScanNoteInfo";
inline constexpr const char* kScanDelContactInfo = "ScanDelContactInfo";
inline constexpr const char* kScanDelMessageInfo = "ScanDelMessageInfo";
inline constexpr const char* kScanDelNoteInfo = "ScanDelNoteInfo";
inline constexpr const char* kScanDelCallHistoryInfo = "ScanDelCallHistoryInfo";

// Progress values posted at the end of each reader.
inline constexpr int kProgressContacts = 40;
inline constexpr int kProgressMessages = 50;
inline constexpr int kProgressCalls = 60;
inline constexpr int kProgressNotes = 70;
inline constexpr int kProgressDelContacts = 75;
inline constexpr int kProgressDelMessages = 85;
inline constexpr int kProgressDelNotes = 96;
inline constexpr int kProgressDelCalls = 100;

}  // namespace marlowen
