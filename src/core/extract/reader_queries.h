// The live readers' SQL, in one place: the readers run these, and the
// fixture builder's tests read their databases back through the same text,
// so a store the builder writes is known to be one the readers can read.
#pragma once

namespace marlowen {

// Contacts. Selects kPersonQueryColumns, in that order.
inline constexpr const char* kPersonQuery =
    "select DISTINCT Rowid, first, Department,DisplayName,firstPhonetic,jobTitle,organization,"
    "middle,middlePhonetic,CreationDate,Last,Note,Nickname,prefix, suffix, Birthday from abperson ";
inline constexpr const char* kValueQuery =
    "select property,label,value, UID from abmultivalue where record_id = ? ";
// The parts of a postal address: rows of ABMultiValueEntry whose parent_id is
// the address multi-value's UID; key is the rowid of the part's name in
// ABMultiValueEntryKey.
inline constexpr const char* kAddressPartQuery =
    "select key, value from ABMultiValueEntry where parent_id = ? ";

// Messages. Q1: group_member layout with the iMessage (madrid) columns.
inline constexpr const char* kQueryMadrid =
    "select message.ROWID,message.group_id,subject, text,date,group_member.address,svc_center,"
    "flags,association_id ,is_madrid,madrid_handle, madrid_account,madrid_flags,"
    "madrid_attachmentInfo from message left join  group_member on  message.group_id= "
    "group_member.group_id";
// Q2: group_member layout of phones without iMessage.
inline constexpr const char* kQueryPlain =
    "select message.ROWID,message.group_id,subject, text,date,group_member.address,svc_center,"
    "flags,association_id from message left join  group_member on  message.group_id= "
    "group_member.group_id";
// Q3: the handle layout of OS 6 and later.
inline constexpr const char* kQueryHandle =
    "select message.ROWID,message.text,message.date,message.handle_id,handle.id,is_from_me from "
    "message left join handle on message.handle_id=handle.ROWID";
// Q4: the handle layout with the columns of OS 11 and later: the archived
// text, the chat (group chats name the chat, not a handle) and the
// attachments' file names, joined by newlines.
inline constexpr const char* kQueryModern =
    "select message.ROWID,message.text,message.date,message.handle_id,handle.id,is_from_me,"
    "message.attributedBody,"
    "(select case when chat.style=43 then coalesce(nullif(chat.display_name,''),"
    "chat.chat_identifier) end from chat_message_join j join chat on chat.ROWID=j.chat_id "
    "where j.message_id=message.ROWID limit 1),"
    "(select group_concat(attachment.filename, char(10)) from message_attachment_join a join "
    "attachment on attachment.ROWID=a.attachment_id where a.message_id=message.ROWID) "
    "from message left join handle on message.handle_id=handle.ROWID";

// Calls and notes of the older stores.
inline constexpr const char* kCallQuery = "select address,date,duration,flags from call";
inline constexpr const char* kNoteQueryOld =
    "select TITLE,SUMMARY,MODIFICATION_DATE,CREATION_DATE,DATA from note LEFT JOIN NOTE_BODIES "
    "ON NOTE.ROWID = NOTE_BODIES.NOTE_ID";
inline constexpr const char* kNoteQueryCoreData =
    "select ZTITLE,ZSUMMARY,ZMODIFICATIONDATE,ZCREATIONDATE,ZCONTENT from znote LEFT JOIN "
    "ZNOTEBODY ON ZNOTE.Z_PK = ZNOTEBODY.Z_PK";

}  // namespace marlowen
