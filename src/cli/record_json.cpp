#include "cli/record_json.h"

namespace marlowen::cli {

using nlohmann::json;

namespace {
// "foundIn" only for recovered records, so a live record's object keeps its keys.
template <typename Node>
json withFoundIn(json object, const Node& node) {
    if (!node.foundIn().empty()) object["foundIn"] = node.foundIn();
    return object;
}
}  // namespace

json toJson(const ZNContactNode& c) {
    return withFoundIn(json{{"rowid", c.rowid()},
                            {"contactName", c.contactName()},
                            {"contactPhone", c.contactPhone()},
                            {"contactEmail", c.contactEmail()},
                            {"contactHomepage", c.contactHomepage()},
                            {"contactCompany", c.contactCompany()},
                            {"contactBirthday", c.contactBirthday()},
                            {"contactJobtitle", c.contactJobtitle()},
                            {"contactNote", c.contactNote()},
                            {"contactAdress", c.contactAdress()},
                            {"bDeleted", c.bDeleted()}},
                       c);
}

json toJson(const ZNMessageNode& m) {
    return withFoundIn(json{{"messageName", m.messageName()},
                            {"messagePhone", m.messagePhone()},
                            {"messageContent", m.messageContent()},
                            {"messageDate", m.messageDate()},
                            {"messageType", m.messageType()},
                            {"bImessage", m.bImessage()},
                            {"handle_id", m.handle_id()},
                            {"bDeleted", m.bDeleted()}},
                       m);
}

json toJson(const ZNCallHistoryNode& c) {
    return withFoundIn(json{{"callName", c.callName()},
                            {"callPhone", c.callPhone()},
                            {"callDate", c.callDate()},
                            {"callType", c.callType()},
                            {"callTime", c.callTime()},
                            {"callDuration", c.callDuration()},
                            {"bDeleted", c.bDeleted()}},
                       c);
}

json toJson(const ZNNoteNode& n) {
    return withFoundIn(json{{"noteTitle", n.noteTitle()},
                            {"noteContent", n.noteContent()},
                            {"noteDate", n.noteDate()},
                            {"uid", n.uid()},
                            {"bDeleted", n.bDeleted()}},
                       n);
}

json toJson(const ZNPhotoAndVideoNode& p) {
    return json{{"fileNodeName", p.fileNodeName()},
                {"fileNodeSize", p.fileNodeSize()},
                {"filePath", p.filePath()},
                {"bmov", p.bmov()}};
}

namespace {
template <typename List>
json listToJson(const List& list) {
    json out = json::array();
    for (const auto& node : list) out.push_back(toJson(*node));
    return out;
}
}  // namespace

json resultsToJson(const ResultIntake& r) {
    return json{{"contacts", listToJson(r.contactArray())},
                {"messages", listToJson(r.messageArray())},
                {"calls", listToJson(r.callHistoryArray())},
                {"notes", listToJson(r.noteArray())},
                {"photos", listToJson(r.photoAndVideoArray())},
                {"counts",
                 {{"BackUpFilesNum", r.BackUpFilesNum()},
                  {"deleteeFilesNum", r.deleteeFilesNum()},
                  {"photovideoNum", r.photovideoNum()},
                  {"contactNum", r.contactNum()},
                  {"messageNum", r.messageNum()},
                  {"noteNum", r.noteNum()},
                  {"callNum", r.callNum()},
                  {"delPhotovideoNum", r.delPhotovideoNum()},
                  {"delContactNum", r.delContactNum()},
                  {"delMessageNum", r.delMessageNum()},
                  {"delNoteNum", r.delNoteNum()},
                  {"delCallNum", r.delCallNum()}}}};
}

}  // namespace marlowen::cli
