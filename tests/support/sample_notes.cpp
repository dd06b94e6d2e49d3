#include "support/notes_db_builder.h"
#include "support/sample_parts.h"

namespace marlowen::fixture::sample {

void writeNotes(const std::filesystem::path& database, SampleBackup& summary) {
    NotesDbBuilder db(database);
    struct Note {
        const char* title;
        const char* body;
        Moment created;
        bool deleted;
    };
    const Note notes[] = {
        {"Shopping list", "<div>Shopping list</div><div>eggs, milk, bread</div>",
         utc(2012, 12, 2, 9, 0), false},
        {"Wi-Fi at the cabin",
         "<div>Wi-Fi at the cabin</div><div>network: Lakeside, password: otters-2012</div>",
         utc(2012, 12, 20, 15, 30), true},
        {"Gift ideas", "<div>Gift ideas</div><div>Bo: headphones<br>Carmen: cookbook</div>",
         utc(2013, 1, 5, 11, 45), false},
        {"日记", "<div>日记</div><div>今天天气很好。</div>", utc(2013, 1, 19, 22, 10), false},
        {"Bank PIN reminder",
         "<div>Bank PIN reminder</div><div>ask the branch for a new letter</div>",
         utc(2013, 2, 8, 8, 20), true},
    };
    std::vector<std::int64_t> doomed;
    for (const Note& n : notes) {
        NoteSpec plan;
        plan.title = n.title;
        plan.body = std::string(n.body);
        plan.created = n.created;
        plan.modified = n.created + std::chrono::minutes(12);
        std::int64_t id = db.addNote(plan);
        if (n.deleted) {
            doomed.push_back(id);
            summary.deletedNotes.push_back(n.title);
        }
    }
    for (std::int64_t id : doomed) db.deleteNote(id);
    db.close();
}

}  // namespace marlowen::fixture::sample
