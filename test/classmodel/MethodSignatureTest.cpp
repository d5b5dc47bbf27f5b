#include "MethodSignature.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(MethodSignatureTest, ParametersAndReturnType)
{
    const MethodSignature signature("(I[Ljava/lang/Object;)V");
    EXPECT_EQ(signature.descriptor, "(I[Ljava/lang/Object;)V");
    ASSERT_EQ(signature.parameters.size(), 2);
    EXPECT_EQ(signature.parameters.at(0).descriptor, "I");
    EXPECT_EQ(signature.parameters.at(1).descriptor, "[Ljava/lang/Object;");
    EXPECT_EQ(signature.returnType.descriptor, "V");
    EXPECT_EQ(signature.getParameterString(), "int, java.lang.Object[]");
}

TEST(MethodSignatureTest, PrintedForms)
{
    const MethodSignature signature("(Ljava/lang/String;I)Ljava/util/List;");
    EXPECT_EQ(signature.getParameterString(), "java.lang.String, int");
    EXPECT_EQ(signature.returnType.toString(), "java.util.List");
}

TEST(MethodSignatureTest, NoParameters)
{
    const MethodSignature signature("()V");
    EXPECT_TRUE(signature.parameters.isEmpty());
    EXPECT_EQ(signature.getParameterString(), "");
    EXPECT_EQ(signature.returnType.kind, 'V');
}

TEST(MethodSignatureTest, EmptyText)
{
    const MethodSignature signature("");
    EXPECT_TRUE(signature.parameters.isEmpty());
    EXPECT_EQ(signature.returnType.kind, -1);
    EXPECT_EQ(signature.returnType.toString(), "ERROR ");
}

TEST(MethodSignatureTest, MissingCloseParenthesis)
{
    // Everything after the first character is parameters; the return type is the whole text.
    const MethodSignature signature("(IJ");
    ASSERT_EQ(signature.parameters.size(), 2);
    EXPECT_EQ(signature.getParameterString(), "int, long");
    EXPECT_EQ(signature.returnType.descriptor, "(IJ");
    EXPECT_EQ(signature.returnType.kind, -1);
}

TEST(MethodSignatureTest, CloseParenthesisFirst)
{
    // The ')' is the skipped first character, so all that follows it is parameters too.
    const MethodSignature signature(")IJ");
    EXPECT_EQ(signature.getParameterString(), "int, long");
    EXPECT_EQ(signature.returnType.descriptor, "IJ");
    EXPECT_EQ(signature.returnType.kind, 'I');
}

TEST(MethodSignatureTest, FirstCharacterIsSkippedWhateverItIs)
{
    const MethodSignature signature("XZ)V");
    ASSERT_EQ(signature.parameters.size(), 1);
    EXPECT_EQ(signature.parameters.at(0).kind, 'Z');
}

TEST(MethodSignatureTest, MalformedParametersStayBounded)
{
    const MethodSignature unterminated("(Ljava/lang/String)V");
    ASSERT_EQ(unterminated.parameters.size(), 1);
    EXPECT_EQ(unterminated.getParameterString(), "ERROR Ljava/lang/String");
    EXPECT_EQ(unterminated.returnType.kind, 'V');

    const MethodSignature brackets("([[)[");
    ASSERT_EQ(brackets.parameters.size(), 1);
    EXPECT_EQ(brackets.parameters.at(0).kind, '[');
    EXPECT_EQ(brackets.returnType.toString(), "ERROR []");
}

TEST(MethodSignatureTest, CopyIsDeep)
{
    auto source = std::make_unique<MethodSignature>("([[I)[Ljava/lang/String;");
    MethodSignature copy(*source);
    MethodSignature assigned("()V");
    assigned = *source;
    source.reset();
    EXPECT_EQ(copy.getParameterString(), "int[][]");
    EXPECT_EQ(copy.returnType.toString(), "java.lang.String[]");
    EXPECT_EQ(assigned.getParameterString(), "int[][]");
    EXPECT_EQ(assigned.returnType.toString(), "java.lang.String[]");
}

} // namespace
