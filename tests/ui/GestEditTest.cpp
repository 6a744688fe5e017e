#include "ui/GestEdit.h"

#include "tests/ui/support/UiTestSupport.h"

#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using ta::ui::TFilterAlignEdit;

namespace {

const QString kNumberChars = QStringLiteral("[0,1,2,3,4,5,6,7,8,9,-,*,#, ,(,),[,']']");

QString typed(TFilterAlignEdit& field, QChar c)
{
    field.clear();
    QTest::keyClicks(&field, QString(c));
    return field.text();
}

} // namespace

TEST(FilterAlignEdit, NumberFieldTakesOnlyItsCharacters)
{
    TFilterAlignEdit field;
    field.setValidChars(kNumberChars);
    for (QChar c : QStringLiteral("0123456789-*# ()[]")) {
        SCOPED_TRACE(QString(c).toStdString());
        EXPECT_EQ(typed(field, c), QString(c));
    }
    for (QChar c : QStringLiteral("aZ+/.',;=")) {
        SCOPED_TRACE(QString(c).toStdString());
        EXPECT_EQ(typed(field, c), QString());
    }
}

TEST(FilterAlignEdit, BackspaceAndEnterWithAFilter)
{
    TFilterAlignEdit field;
    field.setValidChars(kNumberChars);
    QTest::keyClicks(&field, QStringLiteral("123"));
    QTest::keyClick(&field, Qt::Key_Return);
    QTest::keyClick(&field, Qt::Key_Enter);
    EXPECT_EQ(field.text(), QStringLiteral("123"));
    QTest::keyClick(&field, Qt::Key_Backspace);
    EXPECT_EQ(field.text(), QStringLiteral("12"));
}

TEST(FilterAlignEdit, RangeAndSingleElementsMakeTheSet)
{
    TFilterAlignEdit field;
    field.setValidChars(QStringLiteral("[a..c,x]"));
    QString accepted;
    for (int code = 32; code < 256; ++code) {
        if (field.accepts(QChar(code)))
            accepted += QChar(code);
    }
    EXPECT_EQ(accepted, QStringLiteral("abcx"));
    EXPECT_TRUE(field.accepts(u'\b'));
    QTest::keyClicks(&field, QStringLiteral("axyb"));
    EXPECT_EQ(field.text(), QStringLiteral("axb"));
}

TEST(FilterAlignEdit, ApostropheTakesTheNextCharacterLiterally)
{
    TFilterAlignEdit field;
    field.setValidChars(QStringLiteral("[',,'.,1]"));
    EXPECT_TRUE(field.accepts(u','));
    EXPECT_TRUE(field.accepts(u'.'));
    EXPECT_TRUE(field.accepts(u'1'));
    EXPECT_FALSE(field.accepts(u'\''));
    EXPECT_FALSE(field.accepts(u'0'));
}

TEST(FilterAlignEdit, TextWithoutBracketsKeepsTheSet)
{
    TFilterAlignEdit fresh;
    fresh.setValidChars(QStringLiteral("abc"));
    EXPECT_EQ(fresh.ValidChars(), QString::fromUtf8("Formato inválidoabc"));
    EXPECT_TRUE(fresh.accepts(u'z'));

    TFilterAlignEdit digits;
    digits.setValidChars(QStringLiteral("[0..9]"));
    digits.setValidChars(QStringLiteral("[a"));
    EXPECT_EQ(digits.ValidChars(), QString::fromUtf8("Formato inválido[a"));
    EXPECT_TRUE(digits.accepts(u'5'));
    EXPECT_FALSE(digits.accepts(u'a'));
}

TEST(FilterAlignEdit, SetOnlyGrows)
{
    TFilterAlignEdit field;
    field.setValidChars(QStringLiteral("[a]"));
    field.setValidChars(QStringLiteral("[b]"));
    EXPECT_TRUE(field.accepts(u'a'));
    EXPECT_TRUE(field.accepts(u'b'));
    EXPECT_FALSE(field.accepts(u'c'));
}

TEST(FilterAlignEdit, UnassignedOrEmptyElementsAcceptEverything)
{
    TFilterAlignEdit unassigned;
    EXPECT_EQ(unassigned.ValidChars(), QStringLiteral("[]"));
    QTest::keyClicks(&unassigned, QStringLiteral("aZ+./"));
    EXPECT_EQ(unassigned.text(), QStringLiteral("aZ+./"));

    TFilterAlignEdit emptyElements;
    emptyElements.setValidChars(QStringLiteral("[,]"));
    QTest::keyClicks(&emptyElements, QStringLiteral("q1"));
    EXPECT_EQ(emptyElements.text(), QStringLiteral("q1"));
}

class RequiredFieldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&form);
        for (TFilterAlignEdit* field : {&first, &second, &third})
            layout->addWidget(field);
        TFilterAlignEdit::setWarningHandler([this](QWidget* field, const QString& text) {
            warnedFields << field;
            warnings << text;
        });
        ASSERT_TRUE(ta::ui::testing::showActive(form));
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
    TFilterAlignEdit third{&form};
    QList<QWidget*> warnedFields;
    QStringList warnings;
};

TEST_F(RequiredFieldTest, EmptyFieldWarnsAndKeepsTheFocus)
{
    first.setRequiredField(true);
    tabOutOf(&first);
    EXPECT_EQ(warnings, QStringList{QString::fromUtf8(" ¡Es obligatorio rellenar este campo! ")});
    EXPECT_EQ(QApplication::focusWidget(), &first);
}

TEST_F(RequiredFieldTest, FieldWithTextIsLeftNormally)
{
    first.setRequiredField(true);
    first.setText(QStringLiteral("5"));
    tabOutOf(&first);
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), &second);
}

TEST_F(RequiredFieldTest, TwoEmptyRequiredFieldsDoNotPassTheFocusBackAndForth)
{
    first.setRequiredField(true);
    second.setRequiredField(true);
    tabOutOf(&first);
    EXPECT_EQ(warnedFields, QList<QWidget*>{&first});
    EXPECT_EQ(QApplication::focusWidget(), &first);
}

TEST_F(RequiredFieldTest, KeyboardEntrySelectsAllButAClickDoesNot)
{
    second.setText(QStringLiteral("0123"));
    tabOutOf(&first);
    EXPECT_EQ(second.selectedText(), QStringLiteral("0123"));

    third.setFocus(Qt::OtherFocusReason);
    QTest::mouseClick(&second, Qt::LeftButton, {}, QPoint(2, second.height() / 2));
    EXPECT_EQ(QApplication::focusWidget(), &second);
    EXPECT_FALSE(second.hasSelectedText());
}
