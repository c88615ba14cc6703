#include "webservice/JsonCoder.h"

#include "JsonTestSupport.h"

#include <gtest/gtest.h>

using namespace json_test;

namespace {

TEST(JsonCoderTest, HandsOutTheOutermostErrorAndKeepsTheChain) {
    JsonCoder coder;
    JsonError error;
    EXPECT_FALSE(coder.objectWithString("[1,]x", false, &error).isValid());
    EXPECT_EQ(error.code, 9);
    EXPECT_EQ(failures(coder), failures(coder.jsonParser()));
    EXPECT_EQ(coder.fragmentWithString("7", &error), number("7"));
    EXPECT_TRUE(coder.errorTrace().isEmpty());
    EXPECT_TRUE(coder.stringWithObject(7).isNull());
    EXPECT_EQ(failures(coder), (std::vector<Failure>{{4, "Not valid type for JSON"}}));
    EXPECT_EQ(coder.stringWithFragment(7, &error), "7");

    coder.setMaxDepth(1);
    EXPECT_EQ(coder.jsonParser().maxDepth(), 1u);
    EXPECT_EQ(coder.jsonWriter().maxDepth(), 1u);
    EXPECT_FALSE(coder.objectWithString("[[]]", &error).isValid());
    EXPECT_EQ(error.code, 3);
    EXPECT_TRUE(coder.stringWithObject(QVariantList{QVariantList()}, &error).isNull());
    EXPECT_EQ(error.code, 7);

    EXPECT_FALSE(JSONValue("1").isValid());
    EXPECT_EQ(JSONFragmentValue("1"), number("1"));
    EXPECT_TRUE(JSONRepresentation(1).isNull());
    EXPECT_EQ(JSONFragment(1), "1");
}

} // namespace
