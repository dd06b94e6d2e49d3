// Record lists for export tests, built the way a scan leaves them.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/export/record_export.h"
#include "core/model/record_nodes.h"

namespace marlowen::testing {

struct RecordLists {
    std::vector<PhotoAndVideoNodePtr> photos;
    std::vector<ContactNodePtr> contacts;
    std::vector<MessageNodePtr> messages;
    std::vector<NoteNodePtr> notes;
    std::vector<CallHistoryNodePtr> calls;

    ExportLists view() const { return {photos, contacts, messages, notes, calls}; }

    ZNContactNode& addContact(std::string name, std::string company = "", int rowid = -1,
                              bool selected = true) {
        auto c = std::make_shared<ZNContactNode>();
        c->setContactName(std::move(name));
        c->setContactCompany(std::move(company));
        c->setRowid(rowid);
        c->setBSelected(selected);
        contacts.push_back(c);
        return *c;
    }
    ZNMessageNode& addMessage(std::string content, bool selected = true, bool deleted = false) {
        auto m = std::make_shared<ZNMessageNode>();
        m->setMessageContent(std::move(content));
        m->setBSelected(selected);
        m->setBDeleted(deleted);
        messages.push_back(m);
        return *m;
    }
    ZNNoteNode& addNote(std::string title, bool selected = true) {
        auto n = std::make_shared<ZNNoteNode>();
        n->setNoteTitle(std::move(title));
        n->setBSelected(selected);
        notes.push_back(n);
        return *n;
    }
    ZNCallHistoryNode& addCall(std::string phone, bool selected = true) {
        auto c = std::make_shared<ZNCallHistoryNode>();
        c->setCallPhone(std::move(phone));
        c->setBSelected(selected);
        calls.push_back(c);
        return *c;
    }
    ZNPhotoAndVideoNode& addPhoto(std::string name, const std::filesystem::path& source,
                                  bool selected = true) {
        auto p = std::make_shared<ZNPhotoAndVideoNode>();
        p->setFileNodeName(std::move(name));
        p->setFilePath(source.string());
        p->setBSelected(selected);
        photos.push_back(p);
        return *p;
    }
};

}  // namespace marlowen::testing
