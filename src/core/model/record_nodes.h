// Record nodes: one small value object per item a scan finds.
//
// Invariants shared by every node: text fields start as "" and are stored
// ready to show (readers format dates, durations and sizes before setting
// them); integer fields are 32-bit signed and start at -1; flags start false.
// A node is filled by one reader on the scan thread and not modified by its
// creator after it has been posted, so nodes carry no locks.
//
// The two contact-lookup names (messageName, callName) are the one exception
// to "starts as """: a lookup that found no contact leaves "no value", which
// every consumer reads as "" (see hasMessageName()/hasCallName()).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace marlowen {

// One labelled value of a contact (a phone number, an e-mail address, a web
// page). `label` is the store's label text as read, e.g. "_$!<Mobile>!$_" or a
// user's own "Boat"; "" when the store has none.
struct ContactValue {
    std::string value;
    std::string label;
    bool operator==(const ContactValue&) const = default;
};

// One postal address of a contact, in its parts (any may be "").
struct ContactAddress {
    std::string street;
    std::string city;
    std::string region;
    std::string postalCode;
    std::string country;
    std::string label;
    bool operator==(const ContactAddress&) const = default;
};

// A contact's name in its parts, as the store keeps them. `contactName` stays
// the shown name; the parts are what structured exports need.
struct ContactNameParts {
    std::string first;
    std::string middle;
    std::string last;
    std::string prefix;
    std::string suffix;
    bool operator==(const ContactNameParts&) const = default;
};

// One contact, live (read by SQL) or carved from free space.
//
// The joined text fields (contactPhone, contactEmail, ...) are what the
// browser and the text export show. The structured fields below hold the same
// values one by one, for exports that need each value on its own (vCard,
// CSV); readers fill both, and a reader that cannot split a value leaves the
// structured list empty.
class ZNContactNode {
public:
    int32_t rowid() const { return rowid_; }
    void setRowid(int32_t v) { rowid_ = v; }
    const std::string& contactName() const { return contactName_; }
    void setContactName(std::string v) { contactName_ = std::move(v); }
    const std::string& contactPhone() const { return contactPhone_; }
    void setContactPhone(std::string v) { contactPhone_ = std::move(v); }
    const std::string& contactEmail() const { return contactEmail_; }
    void setContactEmail(std::string v) { contactEmail_ = std::move(v); }
    const std::string& contactHomepage() const { return contactHomepage_; }
    void setContactHomepage(std::string v) { contactHomepage_ = std::move(v); }
    const std::string& contactCompany() const { return contactCompany_; }
    void setContactCompany(std::string v) { contactCompany_ = std::move(v); }
    const std::string& contactBirthday() const { return contactBirthday_; }
    void setContactBirthday(std::string v) { contactBirthday_ = std::move(v); }
    const std::string& contactJobtitle() const { return contactJobtitle_; }
    void setContactJobtitle(std::string v) { contactJobtitle_ = std::move(v); }
    const std::string& contactNote() const { return contactNote_; }
    void setContactNote(std::string v) { contactNote_ = std::move(v); }
    const std::string& contactAdress() const { return contactAdress_; }
    void setContactAdress(std::string v) { contactAdress_ = std::move(v); }
    bool bDeleted() const { return bDeleted_; }
    void setBDeleted(bool v) { bDeleted_ = v; }
    bool bSelected() const { return bSelected_; }
    void setBSelected(bool v) { bSelected_ = v; }

    const ContactNameParts& nameParts() const { return nameParts_; }
    void setNameParts(ContactNameParts v) { nameParts_ = std::move(v); }
    // Organization and department as separate values (contactCompany is the
    // joined text the browser shows).
    const std::string& organization() const { return organization_; }
    void setOrganization(std::string v) { organization_ = std::move(v); }
    const std::string& department() const { return department_; }
    void setDepartment(std::string v) { department_ = std::move(v); }
    // The job title as stored (the shown company text holds it too).
    const std::string& jobTitle() const { return jobTitle_; }
    void setJobTitle(std::string v) { jobTitle_ = std::move(v); }
    const std::vector<ContactValue>& phones() const { return phones_; }
    void addPhone(ContactValue v) { phones_.push_back(std::move(v)); }
    const std::vector<ContactValue>& emails() const { return emails_; }
    void addEmail(ContactValue v) { emails_.push_back(std::move(v)); }
    const std::vector<ContactValue>& homepages() const { return homepages_; }
    void addHomepage(ContactValue v) { homepages_.push_back(std::move(v)); }
    const std::vector<ContactAddress>& addresses() const { return addresses_; }
    void addAddress(ContactAddress v) { addresses_.push_back(std::move(v)); }
    // The birthday as an ISO 8601 calendar date ("1984-03-09"), "" if none.
    const std::string& birthdayDate() const { return birthdayDate_; }
    void setBirthdayDate(std::string v) { birthdayDate_ = std::move(v); }
    // The contact's picture as stored (JPEG or PNG bytes), empty if none.
    const std::string& picture() const { return picture_; }
    void setPicture(std::string v) { picture_ = std::move(v); }

    // Where a recovered record was found, for examiners: the database's file
    // name and the search that found it ("sms.db, deep scan"); "" for a
    // record read from the live tables.
    const std::string& foundIn() const { return foundIn_; }
    void setFoundIn(std::string v) { foundIn_ = std::move(v); }

private:
    std::string foundIn_;
    int32_t rowid_ = -1;
    ContactNameParts nameParts_;
    std::string organization_;
    std::string department_;
    std::string jobTitle_;
    std::vector<ContactValue> phones_;
    std::vector<ContactValue> emails_;
    std::vector<ContactValue> homepages_;
    std::vector<ContactAddress> addresses_;
    std::string birthdayDate_;
    std::string picture_;
    std::string contactName_;
    std::string contactPhone_;
    std::string contactEmail_;
    std::string contactHomepage_;
    std::string contactCompany_;
    std::string contactBirthday_;
    std::string contactJobtitle_;
    std::string contactNote_;
    std::string contactAdress_;
    bool bDeleted_ = false;
    bool bSelected_ = false;
};

// One SMS or iMessage.
class ZNMessageNode {
public:
    // "" when the lookup found no contact.
    const std::string& messageName() const {
        static const std::string none;
        return messageName_ ? *messageName_ : none;
    }
    bool hasMessageName() const { return messageName_.has_value(); }
    void setMessageName(std::optional<std::string> v) { messageName_ = std::move(v); }
    const std::string& messagePhone() const { return messagePhone_; }
    void setMessagePhone(std::string v) { messagePhone_ = std::move(v); }
    const std::string& messageContent() const { return messageContent_; }
    void setMessageContent(std::string v) { messageContent_ = std::move(v); }
    const std::string& messageDate() const { return messageDate_; }
    void setMessageDate(std::string v) { messageDate_ = std::move(v); }
    const std::string& messageType() const { return messageType_; }
    void setMessageType(std::string v) { messageType_ = std::move(v); }
    bool bImessage() const { return bImessage_; }
    void setBImessage(bool v) { bImessage_ = v; }
    bool bSelected() const { return bSelected_; }
    void setBSelected(bool v) { bSelected_ = v; }
    bool bDeleted() const { return bDeleted_; }
    void setBDeleted(bool v) { bDeleted_ = v; }
    int32_t handle_id() const { return handle_id_; }
    void setHandle_id(int32_t v) { handle_id_ = v; }

    // Where a recovered record was found, for examiners: the database's file
    // name and the search that found it ("sms.db, deep scan"); "" for a
    // record read from the live tables.
    const std::string& foundIn() const { return foundIn_; }
    void setFoundIn(std::string v) { foundIn_ = std::move(v); }

private:
    std::string foundIn_;
    std::optional<std::string> messageName_ = std::string();
    std::string messagePhone_;
    std::string messageContent_;
    std::string messageDate_;
    std::string messageType_;
    bool bImessage_ = false;
    bool bSelected_ = false;
    bool bDeleted_ = false;
    int32_t handle_id_ = -1;
};

// One call.
class ZNCallHistoryNode {
public:
    // "" when the lookup found no contact.
    const std::string& callName() const {
        static const std::string none;
        return callName_ ? *callName_ : none;
    }
    bool hasCallName() const { return callName_.has_value(); }
    void setCallName(std::optional<std::string> v) { callName_ = std::move(v); }
    const std::string& callPhone() const { return callPhone_; }
    void setCallPhone(std::string v) { callPhone_ = std::move(v); }
    const std::string& callDate() const { return callDate_; }
    void setCallDate(std::string v) { callDate_ = std::move(v); }
    const std::string& callType() const { return callType_; }
    void setCallType(std::string v) { callType_ = std::move(v); }
    int32_t callTime() const { return callTime_; }
    void setCallTime(int32_t v) { callTime_ = v; }
    const std::string& callDuration() const { return callDuration_; }
    void setCallDuration(std::string v) { callDuration_ = std::move(v); }
    bool bSelected() const { return bSelected_; }
    void setBSelected(bool v) { bSelected_ = v; }
    bool bDeleted() const { return bDeleted_; }
    void setBDeleted(bool v) { bDeleted_ = v; }

    // Where a recovered record was found, for examiners: the database's file
    // name and the search that found it ("sms.db, deep scan"); "" for a
    // record read from the live tables.
    const std::string& foundIn() const { return foundIn_; }
    void setFoundIn(std::string v) { foundIn_ = std::move(v); }

private:
    std::string foundIn_;
    std::optional<std::string> callName_ = std::string();
    std::string callPhone_;
    std::string callDate_;
    std::string callType_;
    int32_t callTime_ = -1;
    std::string callDuration_;
    bool bSelected_ = false;
    bool bDeleted_ = false;
};

// One note.
class ZNNoteNode {
public:
    const std::string& noteTitle() const { return noteTitle_; }
    void setNoteTitle(std::string v) { noteTitle_ = std::move(v); }
    const std::string& noteContent() const { return noteContent_; }
    void setNoteContent(std::string v) { noteContent_ = std::move(v); }
    const std::string& noteDate() const { return noteDate_; }
    void setNoteDate(std::string v) { noteDate_ = std::move(v); }
    int32_t uid() const { return uid_; }
    void setUid(int32_t v) { uid_ = v; }
    bool bSelected() const { return bSelected_; }
    void setBSelected(bool v) { bSelected_ = v; }
    bool bDeleted() const { return bDeleted_; }
    void setBDeleted(bool v) { bDeleted_ = v; }
    // The folder the note is filed in (notes store only; "" otherwise).
    const std::string& noteFolder() const { return noteFolder_; }
    void setNoteFolder(std::string v) { noteFolder_ = std::move(v); }
    // A password-protected note: its body is encrypted, only the title shows.
    bool bLocked() const { return bLocked_; }
    void setBLocked(bool v) { bLocked_ = v; }
    // The stored body ended early; noteContent is the text up to the break.
    bool bPartial() const { return bPartial_; }
    void setBPartial(bool v) { bPartial_ = v; }

    // Where a recovered record was found, for examiners: the database's file
    // name and the search that found it ("sms.db, deep scan"); "" for a
    // record read from the live tables.
    const std::string& foundIn() const { return foundIn_; }
    void setFoundIn(std::string v) { foundIn_ = std::move(v); }

private:
    std::string foundIn_;
    std::string noteTitle_;
    std::string noteContent_;
    std::string noteDate_;
    std::string noteFolder_;
    bool bLocked_ = false;
    bool bPartial_ = false;
    int32_t uid_ = -1;
    bool bSelected_ = false;
    bool bDeleted_ = false;
};

// One picture or film file of the backup. Never carved, so it has no deleted flag.
class ZNPhotoAndVideoNode {
public:
    const std::string& fileNodeName() const { return fileNodeName_; }
    void setFileNodeName(std::string v) { fileNodeName_ = std::move(v); }
    const std::string& fileNodeSize() const { return fileNodeSize_; }
    void setFileNodeSize(std::string v) { fileNodeSize_ = std::move(v); }
    const std::string& filePath() const { return filePath_; }
    void setFilePath(std::string v) { filePath_ = std::move(v); }
    bool bmov() const { return bmov_; }
    void setBmov(bool v) { bmov_ = v; }
    bool bSelected() const { return bSelected_; }
    void setBSelected(bool v) { bSelected_ = v; }

private:
    std::string fileNodeName_;
    std::string fileNodeSize_;
    std::string filePath_;
    bool bmov_ = false;
    bool bSelected_ = false;
};

// A carved chat/handle entry of the message database; resolves handle_id of carved messages.
class ZNChatMessageNode {
public:
    int32_t rowid() const { return rowid_; }
    void setRowid(int32_t v) { rowid_ = v; }
    const std::string& phoneValue() const { return phoneValue_; }
    void setPhoneValue(std::string v) { phoneValue_ = std::move(v); }

private:
    int32_t rowid_ = -1;
    std::string phoneValue_;
};

// A carved note body and the id of the note that owns it.
class ZNNoteValueNode {
public:
    const std::string& noteValue() const { return noteValue_; }
    void setNoteValue(std::string v) { noteValue_ = std::move(v); }
    int32_t uid() const { return uid_; }
    void setUid(int32_t v) { uid_ = v; }

private:
    std::string noteValue_;
    int32_t uid_ = -1;
};

// A carved multi-value entry (phone 3, e-mail 4, address 5, web 22) and its owner's row id.
class DelContactValue {
public:
    const std::string& contactValue() const { return contactValue_; }
    void setContactValue(std::string v) { contactValue_ = std::move(v); }
    int32_t valueType() const { return valueType_; }
    void setValueType(int32_t v) { valueType_ = v; }
    int32_t rowID() const { return rowID_; }
    void setRowID(int32_t v) { rowID_ = v; }

private:
    std::string contactValue_;
    int32_t valueType_ = -1;
    int32_t rowID_ = -1;
};

using ContactNodePtr = std::shared_ptr<ZNContactNode>;
using MessageNodePtr = std::shared_ptr<ZNMessageNode>;
using CallHistoryNodePtr = std::shared_ptr<ZNCallHistoryNode>;
using NoteNodePtr = std::shared_ptr<ZNNoteNode>;
using PhotoAndVideoNodePtr = std::shared_ptr<ZNPhotoAndVideoNode>;
using ChatMessageNodePtr = std::shared_ptr<ZNChatMessageNode>;
using NoteValueNodePtr = std::shared_ptr<ZNNoteValueNode>;
using DelContactValuePtr = std::shared_ptr<DelContactValue>;

}  // namespace marlowen
