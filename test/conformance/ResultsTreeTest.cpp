#include "ConformanceTestSupport.h"
#include "FakeViews.h"
#include "Field.h"
#include "InterfaceTest.h"
#include "Method.h"
#include "Permission.h"
#include "ResultLog.h"
#include "TestResult.pb.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <string>

namespace {

TEST(ResultsTree, UnsetScoreAndLevelReadAsTheFirstValues)
{
    TestResult result;
    EXPECT_FALSE(result.has_score());
    EXPECT_EQ(result.score(), R_PASS);
    LogEntry entry;
    EXPECT_EQ(entry.level(), L_WARNING);
    EXPECT_EQ(entry.text(), "");
}

TEST(ResultsTree, HelpersAppendEntriesInOrderWithTheirLevels)
{
    TestResult result;
    error(result.mutable_logs(), "first");
    warning(result.mutable_logs(), QString::fromUtf8("caf\u00e9"));
    ASSERT_EQ(result.logs_size(), 2);
    EXPECT_EQ(result.logs(0).level(), L_ERROR);
    EXPECT_EQ(result.logs(0).text(), "first");
    EXPECT_TRUE(result.logs(1).has_level());
    EXPECT_EQ(result.logs(1).level(), L_WARNING);
    EXPECT_EQ(result.logs(1).text(), QString::fromUtf8("caf\u00e9").toLocal8Bit().toStdString());
}

TEST(ResultsTree, TextIsStoredUpToItsFirstZeroByte)
{
    TestResult result;
    const QString text = QString("ab") + QChar(0) + QString("cd");
    error(result.mutable_logs(), text);
    warning(result.mutable_logs(), QString(QChar(0)) + "x");
    EXPECT_EQ(result.logs(0).text(), "ab");
    EXPECT_EQ(result.logs(1).text(), "");
    EXPECT_EQ(resultText(text), "ab");
}

// Field numbers and order are what the collecting server decodes: check the exact bytes.
TEST(ResultsTree, SerialisesInTheStandardEncodingInAppendOrder)
{
    TestResultGroup root;
    root.set_name("r");
    root.add_subgroup()->set_name("a");
    root.add_subgroup()->set_name("b");
    TestResult* result = root.add_results();
    result->set_name("t");
    result->set_score(R_FAIL);
    result->set_description("d");
    error(result->mutable_logs(), "e");

    const std::string bytes = root.SerializeAsString();
    const QByteArray expected = QByteArray::fromHex("0a0172"
                                                    "12030a0161"
                                                    "12030a0162"
                                                    "1a0f"
                                                    "0a0174"
                                                    "1002"
                                                    "1a05"
                                                    "0802"
                                                    "120165"
                                                    "220164");
    EXPECT_EQ(QByteArray(bytes.data(), int(bytes.size())).toHex(), expected.toHex());

    TestResultGroup back;
    ASSERT_TRUE(back.ParseFromString(bytes));
    EXPECT_EQ(renderTree(back), "r\n"
                                "  [FAIL] t | d\n"
                                "    ERROR: e\n"
                                "  a\n"
                                "  b\n");
}

TEST(ResultsTree, EnumsHoldTheirWireNumbers)
{
    EXPECT_EQ(int(R_PASS), 1);
    EXPECT_EQ(int(R_FAIL), 2);
    EXPECT_EQ(int(R_INSPECT), 3);
    EXPECT_EQ(int(L_WARNING), 1);
    EXPECT_EQ(int(L_ERROR), 2);
    EXPECT_FALSE(TestScore_IsValid(0));
    EXPECT_FALSE(LogLevel_IsValid(3));
}

TEST(MemberTexts, NameFinalFlagsFieldsAndMethodsAsResultsShowThem)
{
    EXPECT_EQ(finalToString(true), "final");
    EXPECT_EQ(finalToString(false), "non-final");

    EXPECT_EQ(toString(FakeField("m", "[[I")), "int[][] m");
    EXPECT_EQ(toString(FakeField("names", "[Ljava/lang/String;")), "java.lang.String[] names");

    EXPECT_EQ(toString(FakeMethod("run", "()V")), "void run()");
    EXPECT_EQ(toString(FakeMethod("compare", "(Ljava/lang/Object;Ljava/lang/Object;)I")),
              "int compare(java.lang.Object, java.lang.Object)");
    EXPECT_EQ(toString(FakeMethod("<init>", "(I)V")), "void <init>(int)");
}

} // namespace
