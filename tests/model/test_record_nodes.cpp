#include "core/model/record_nodes.h"

#include <gtest/gtest.h>

namespace marlowen {
namespace {

TEST(RecordNodes, FreshNodesShowEmptyTextsMinusOneAndNoFlags) {
    ZNContactNode c;
    EXPECT_EQ(c.rowid(), -1);
    for (const std::string* s : {&c.contactName(), &c.contactPhone(), &c.contactEmail(),
                                 &c.contactHomepage(), &c.contactCompany(), &c.contactBirthday(),
                                 &c.contactJobtitle(), &c.contactNote(), &c.contactAdress()})
        EXPECT_EQ(*s, "");
    EXPECT_FALSE(c.bDeleted());
    EXPECT_FALSE(c.bSelected());

    ZNMessageNode m;
    EXPECT_EQ(m.handle_id(), -1);
    EXPECT_EQ(m.messageName(), "");
    EXPECT_TRUE(m.hasMessageName());
    EXPECT_FALSE(m.bImessage() || m.bSelected() || m.bDeleted());

    ZNCallHistoryNode call;
    EXPECT_EQ(call.callTime(), -1);
    EXPECT_EQ(call.callDuration(), "");

    ZNNoteNode n;
    EXPECT_EQ(n.uid(), -1);
    ZNPhotoAndVideoNode p;
    EXPECT_FALSE(p.bmov());
    EXPECT_EQ(ZNChatMessageNode().rowid(), -1);
    EXPECT_EQ(ZNNoteValueNode().uid(), -1);
    DelContactValue v;
    EXPECT_EQ(v.valueType(), -1);
    EXPECT_EQ(v.rowID(), -1);
}

TEST(RecordNodes, LookupNameWithoutValueReadsAsEmpty) {
    ZNMessageNode m;
    m.setMessageName(std::nullopt);
    EXPECT_FALSE(m.hasMessageName());
    EXPECT_EQ(m.messageName(), "");
    m.setMessageName("Ann");
    EXPECT_EQ(m.messageName(), "Ann");

    ZNCallHistoryNode c;
    c.setCallName(std::nullopt);
    EXPECT_FALSE(c.hasCallName());
    EXPECT_EQ(c.callName(), "");
}

}  // namespace
}  // namespace marlowen
