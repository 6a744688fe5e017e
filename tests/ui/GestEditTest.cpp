#include "ui/GestEdit.h"

#include "tests/ui/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using ta::ui::TFilterAlignEdit;

namespace {

struct ValidCharsCase {
    std::vector<const char*> assigned;
    const char* validChars; // what the property reads afterwards
    const char* accepted;   // of the codes 32 to 255; nullptr for all of them
};

void PrintTo(const ValidCharsCase& c, std::ostream* out)
{
    if (c.assigned.empty())
        *out << "never assigned";
    for (const char* text : c.assigned)
        *out << '[' << text << ']';
}

class ValidCharsParsing : public ::testing::TestWithParam<ValidCharsCase> {};

TEST_P(ValidCharsParsing, MakesTheSetThatTypingFollows)
{
    const ValidCharsCase& c = GetParam();
    TFilterAlignEdit field;
    for (const char* text : c.assigned)
        field.setValidChars(QString::fromUtf8(text));
    EXPECT_EQ(field.ValidChars(), QString::fromUtf8(c.validChars));
    QString codes;
    QString accepted;
    for (char16_t code = 32; code < 256; ++code) {
        codes += QChar(code);
        if (field.accepts(QChar(code)))
            accepted += QChar(code);
    }
    const QString expected = c.accepted ? QString::fromLatin1(c.accepted) : codes;
    EXPECT_EQ(accepted, expected);
    EXPECT_TRUE(field.accepts(u'\b'));

    const QString printable = codes.left(127 - 32);
    QTest::keyClicks(&field, printable);
    QString typed = printable;
    typed.removeIf([&](QChar ch) { return !expected.contains(ch); });
    EXPECT_EQ(field.text(), typed);
}

INSTANTIATE_TEST_SUITE_P(Examples, ValidCharsParsing, ::testing::Values(
    ValidCharsCase{{"[0,1,2,3,4,5,6,7,8,9,-,*,#, ,(,),[,']']"}, "[0,1,2,3,4,5,6,7,8,9,-,*,#, ,(,),[,']']",
                   " #()*-0123456789[]"}, // the numbers' set, no apostrophe
    ValidCharsCase{{"[a..c,x]"}, "[a..c,x]", "abcx"},
    ValidCharsCase{{"[',,'.,1]"}, "[',,'.,1]", ",.1"},                  // apostrophe: the next one literally
    ValidCharsCase{{"[a]", "[b]"}, "[b]", "ab"},                        // the set only grows
    ValidCharsCase{{"[0..9]", "[a"}, "Formato inválido[a", "0123456789"}, // no brackets: the set is kept
    ValidCharsCase{{"abc"}, "Formato inválidoabc", nullptr},
    ValidCharsCase{{}, "[]", nullptr},                                  // never assigned
    ValidCharsCase{{"[,]"}, "[,]", nullptr}));                          // empty elements add nothing

class RequiredFieldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TFilterAlignEdit::setWarningHandler([this](QWidget* field, const QString& text) {
            warnedFields << field;
            warnings << text;
        });
        ASSERT_TRUE(ta::ui::testing::showInColumn(form, {&first, &second}));
    }
    void TearDown() override { TFilterAlignEdit::setWarningHandler(nullptr); }

    void tabOutOf(QWidget* field)
    {
        field->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(field, Qt::Key_Tab);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    QWidget form;
    TFilterAlignEdit first{&form};
    TFilterAlignEdit second{&form};
    QList<QWidget*> warnedFields;
    QStringList warnings;
};

// An empty required field warns and keeps the focus; two of them do not
// pass it back and forth; one with text is left normally.
TEST_F(RequiredFieldTest, EmptyFieldWarnsAndKeepsTheFocus)
{
    first.setRequiredField(true);
    second.setRequiredField(true);
    tabOutOf(&first);
    EXPECT_EQ(warnings, QStringList{QString::fromUtf8(" ¡Es obligatorio rellenar este campo! ")});
    EXPECT_EQ(warnedFields, QList<QWidget*>{&first});
    EXPECT_EQ(QApplication::focusWidget(), &first);

    first.setText(QStringLiteral("5"));
    second.setText(QStringLiteral("6"));
    tabOutOf(&first);
    EXPECT_EQ(warnings.size(), 1);
    EXPECT_EQ(QApplication::focusWidget(), &second);
}

} // namespace
