#include "Arg.h"
#include "ArgBaseException.h"
#include "ArgConstraintIface.h"
#include "CmdLineContext.h"
#include "XorArg.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs f and returns the message of the ArgBaseException of type E that it throws.
template <typename E> QString messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const E& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (const ArgBaseException& e) {
        ADD_FAILURE() << "other exception: " << e.what();
        return QString();
    }
    ADD_FAILURE() << "nothing thrown";
    return QString();
}

QString tableFault(const QList<ArgIface*>& table)
{
    QList<QChar> usedFlags;
    QStringList usedNames;
    try {
        for (const ArgIface* arg : table)
            arg->check(QLatin1Char('-'), usedFlags, usedNames);
    } catch (const ArgBaseException& e) {
        return e.message();
    }
    return QString();
}

class RejectB : public ArgConstraintIface
{
public:
    bool check(const QVariant& value) const override { return value.toString() != "b"; }
};

} // namespace

TEST(ArgException, KeepsMessageAsTextAndLocal8Bit)
{
    const ArgUnknownArgumentEx thrown(QString::fromUtf8("Unknown argument: --é"));
    const ArgBaseException copy = thrown;
    EXPECT_EQ(QString::fromLocal8Bit(copy.what()), QString::fromUtf8("Unknown argument: --é"));
    EXPECT_EQ(copy.message(), thrown.message());
    EXPECT_STREQ(ArgHelpHasPrintedEx().what(), "");
}

TEST(ArgTableCheck, RefusesFlagsThatCannotBeTyped)
{
    for (const QChar flag : {QChar('-'), QChar('_'), QChar('?')}) {
        Arg arg(flag, "", "d", false, false, nullptr, nullptr);
        EXPECT_EQ(tableFault({&arg}), QString("Dissallowed flag: \"%1\".").arg(flag));
    }
    Arg accented(QChar(0xE9), "", "d", false, false, nullptr, nullptr);
    Arg digit(QChar('7'), "", "d", false, false, nullptr, nullptr);
    EXPECT_EQ(tableFault({&accented, &digit}), QString());
}

TEST(ArgTableCheck, RefusesBadOrRepeatedNamesAndFlags)
{
    Arg spaced("log dir", "d", false, true, nullptr, nullptr);
    EXPECT_EQ(tableFault({&spaced}), "Dissallowed name: \"log dir\".");
    Arg tabbed("a\tb", "d", false, true, nullptr, nullptr);
    EXPECT_EQ(tableFault({&tabbed}), "Dissallowed name: \"a\tb\".");
    Arg empty("", "d", false, true, nullptr, nullptr);
    EXPECT_EQ(tableFault({&empty}), "Dissallowed name: \"\".");

    Arg port1("port", "d", false, true, nullptr, nullptr);
    Arg port2("port", "d", false, true, nullptr, nullptr);
    EXPECT_EQ(tableFault({&port1, &port2}), "Name already in use: port.");

    Arg h1('h', "", "d", false, false, nullptr, nullptr);
    Arg h2('h', "other", "d", false, false, nullptr, nullptr);
    EXPECT_EQ(tableFault({&h1, &h2}), "Flag already in use: h.");

    // Flags are checked before names.
    Arg both('?', "a b", "d", false, false, nullptr, nullptr);
    EXPECT_EQ(tableFault({&both}), "Dissallowed flag: \"?\".");

    Arg nothing('x', "", "d", false, false, nullptr, nullptr);
    nothing.setFlags({});
    EXPECT_EQ(tableFault({&nothing}), "Not defined nor name nor flag for argument.");

    // Members of a group are checked against the rest of the table.
    Arg a("a", "d", false, false, nullptr, nullptr);
    Arg b("b", "d", false, false, nullptr, nullptr);
    XorArg group({&a, &b}, "G", false);
    Arg b2("b", "d", false, false, nullptr, nullptr);
    EXPECT_EQ(tableFault({&group, &b2}), "Name already in use: b.");
}

TEST(ArgPostParseCheck, AbsentArgumentsReadFalseAndFailOnlyWhenRequired)
{
    Arg optional("quiet", "d", false, false, nullptr, nullptr);
    EXPECT_EQ(optional.value(), QVariant(false));
    EXPECT_FALSE(optional.isPresent());
    EXPECT_FALSE(optional.isDefined());
    EXPECT_NO_THROW(optional.check());

    Arg required("quiet", "d", true, false, nullptr, nullptr);
    EXPECT_EQ(messageOf<ArgNotDefinedMandatoryArgumentEx>([&] { required.check(); }),
              "Not defined mandatory argument: quiet");

    Arg withValue("out", "d", false, true, nullptr, nullptr);
    EXPECT_FALSE(withValue.value().isValid());

    // Display name: the first long name, else the flag.
    Arg flagOnly('v', "", "d", true, false, nullptr, nullptr);
    EXPECT_EQ(messageOf<ArgNotDefinedMandatoryArgumentEx>([&] { flagOnly.check(); }),
              "Not defined mandatory argument: v");
}

TEST(ArgPostParseCheck, ValueMissingAtTheEndOfTheLine)
{
    Arg out('o', "out", "d", true, true, nullptr, nullptr);
    CmdLineContext nothingLeft({});
    EXPECT_FALSE(out.process(nothingLeft));
    EXPECT_TRUE(out.isPresent());
    EXPECT_FALSE(out.isDefined());
    EXPECT_EQ(messageOf<ArgNotDefinedOptionForTheArgumentEx>([&] { out.check(); }),
              "Not defined value of the argument: out");

    CmdLineContext value({"--x", "next"});
    EXPECT_TRUE(out.process(value));
    EXPECT_EQ(out.value(), QVariant(QString("--x")));
    EXPECT_EQ(value.peek(), "next");
    EXPECT_NO_THROW(out.check());
}

TEST(ArgConstraint, NamesTheArgumentAndTheRefusedValue)
{
    RejectB rejectB;
    Arg arg("mode", "d", false, true, nullptr, &rejectB);
    EXPECT_NO_THROW(arg.checkConstraint()); // not defined: not asked
    arg.setValue(QString("b"));
    EXPECT_EQ(messageOf<ArgContraintNotObservedEx>([&] { arg.checkConstraint(); }),
              "Constraint for the argument: mode hasn't observed. Wrong value is: b");
}

TEST(XorGroup, ConstructionSkipsNullAndRepeatsAndRefusesRequiredMembers)
{
    Arg a("a", "d", false, false, nullptr, nullptr);
    Arg b("b", "d", false, false, nullptr, nullptr);
    XorArg group({&a, nullptr, &b, &a}, "G", false);
    EXPECT_EQ(group.arguments(), (QList<ArgIface*>{&a, &b}));

    Arg required("r", "d", true, false, nullptr, nullptr);
    EXPECT_EQ(messageOf<ArgRequiredArgumentUnderXORMaskEx>([&] {
                  XorArg bad({&a, &required}, "G", false);
              }),
              "A try to add required argument under the XOR mask.");
}

TEST(XorGroup, AtMostOneMemberAndARequiredGroupNeedsOne)
{
    Arg a("a", "d", false, false, nullptr, nullptr);
    Arg b("b", "d", false, false, nullptr, nullptr);
    Arg c('c', "", "d", false, false, nullptr, nullptr);
    XorArg group({&a, &b, &c}, "Choice", true);
    EXPECT_EQ(messageOf<ArgNotDefinedMandatoryArgumentEx>([&] { group.check(); }),
              "Not defined mandatory argument: Choice");

    b.setValue(true);
    EXPECT_TRUE(group.isDefined());
    EXPECT_NO_THROW(group.check());

    c.setValue(true);
    EXPECT_EQ(messageOf<ArgXORMaskNotObservedEx>([&] { group.check(); }),
              "Defined more than one argument under XOR mask. First defined argument: b. "
              "Second defined argument: c.");
}

TEST(XorGroup, NestedGroupIsNamedByItsGroupName)
{
    Arg a("a", "d", false, false, nullptr, nullptr);
    Arg b("b", "d", false, false, nullptr, nullptr);
    Arg c("c", "d", false, false, nullptr, nullptr);
    XorArg inner({&b, &c}, "Inner", false);
    XorArg outer({&a, &inner}, "Outer", false);
    a.setValue(true);
    c.setValue(true);
    EXPECT_EQ(messageOf<ArgXORMaskNotObservedEx>([&] { outer.check(); }),
              "Defined more than one argument under XOR mask. First defined argument: a. "
              "Second defined argument: Inner.");
}

TEST(XorGroup, LookupAnswersWithTheMember)
{
    Arg abs("testtssabs", "d", false, false, nullptr, nullptr);
    Arg tss('t', "testtss", "d", false, false, nullptr, nullptr);
    XorArg group({&abs, &tss}, "G", false);
    EXPECT_EQ(group.giveArgument(QChar('t')), &tss);
    EXPECT_EQ(group.giveArgument(QString("testt")), &abs);   // first member that answers
    EXPECT_EQ(group.giveArgument(QString("testtss")), &tss); // an exact name wins
    EXPECT_EQ(group.giveArgument(QString("x")), nullptr);
}
