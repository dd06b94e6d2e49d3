// The notes database's tables in its two layouts.
#pragma once

#include <string>

namespace marlowen::fixture {

enum class NotesLayout {
    // `note` and `note_bodies` (note_id, data), written by the notes app directly.
    NoteTable,
    // The Core Data store: `ZNOTE`, `ZNOTEBODY` and the Z_ bookkeeping tables.
    CoreData,
};

// Core Data entity numbers (Z_ENT), in the alphabetical order of the
// entity names, as Core Data numbers them.
namespace note_entity {
inline constexpr int kAccount = 1;
inline constexpr int kNextId = 2;
inline constexpr int kNote = 3;
inline constexpr int kNoteBody = 4;
inline constexpr int kNoteChange = 5;
inline constexpr int kProperty = 6;
inline constexpr int kStore = 7;
}  // namespace note_entity

std::string notesDdl(NotesLayout layout);

}  // namespace marlowen::fixture
