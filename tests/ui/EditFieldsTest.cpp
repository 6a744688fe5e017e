// The spin edit and the number field side by side: typing, cut and paste
// requests, each field with its own rule for what it takes, and the text
// selected when the field is entered without a click.
#include "ui/Cspin.h"
#include "ui/EditClipboard.h"
#include "ui/GestEdit.h"

#include "tests/ui/support/UiTestSupport.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QLocale>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

namespace ta::ui {
namespace {

enum class Field { Spin, SpinEditorOff, SpinReadOnly, Number, NumberReadOnly };
enum class Request { Type, PasteKey, CutKey, MenuPaste };

struct InputCase {
    const char* what;
    Field field;
    const char* text;
    int selectionStart;
    int selectionLength;
    Request request;
    const char* input; // typed, or put on the clipboard
    const char* expected;
    int beeps;
};

void PrintTo(const InputCase& c, std::ostream* out) { *out << c.what; }
void PrintTo(Field field, std::ostream* out) { *out << (field == Field::Spin ? "spin" : "number"); }

bool editable(Field field) { return field == Field::Spin || field == Field::Number; }

std::unique_ptr<QLineEdit> makeField(Field kind)
{
    std::unique_ptr<QLineEdit> field;
    if (kind == Field::Number || kind == Field::NumberReadOnly) {
        auto number = std::make_unique<TFilterAlignEdit>();
        number->setValidChars(QStringLiteral("[0,1,2,3,4,5,6,7,8,9,-,*,#, ,(,),[,']']"));
        field = std::move(number);
    } else {
        auto spin = std::make_unique<TCSpinEdit>();
        spin->setEditorEnabled(kind != Field::SpinEditorOff);
        field = std::move(spin);
    }
    field->setReadOnly(kind == Field::SpinReadOnly || kind == Field::NumberReadOnly);
    field->setMaxLength(8);
    return field;
}

void pasteFromMenu(QLineEdit& field, bool offered)
{
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(1, 1), field.mapToGlobal(QPoint(1, 1)));
    QCoreApplication::sendEvent(&field, &request);
    QMenu* menu = field.findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    QAction* paste = findMenuAction(menu, kPasteAction); // none in a read-only field's menu
    EXPECT_EQ(paste && paste->isEnabled(), offered);
    if (paste && paste->isEnabled())
        paste->trigger();
    menu->close();
}

class FieldInput : public ::testing::TestWithParam<InputCase> {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        TCSpinEdit::setBeepHandler([this] { ++beeps; });
    }
    void TearDown() override { TCSpinEdit::setBeepHandler(nullptr); }

    int beeps = 0;
};

TEST_P(FieldInput, GivesTheText)
{
    const InputCase& c = GetParam();
    const std::unique_ptr<QLineEdit> field = makeField(c.field);
    field->setText(QString::fromLatin1(c.text));
    field->setSelection(c.selectionStart, c.selectionLength);
    const QString input = QString::fromLatin1(c.input);
    QGuiApplication::clipboard()->setText(input);
    if (c.request == Request::Type)
        QTest::keyClicks(field.get(), input); // "\b" is Backspace, "\r" Return
    else if (c.request == Request::MenuPaste)
        pasteFromMenu(*field, editable(c.field));
    else
        QTest::keyClick(field.get(), c.request == Request::PasteKey ? Qt::Key_V : Qt::Key_X,
                        Qt::ControlModifier);
    EXPECT_EQ(field->text(), QString::fromLatin1(c.expected));
    EXPECT_EQ(beeps, c.beeps);
    EXPECT_FALSE(field->acceptDrops()); // a drop would bypass the rule
}

using enum Field;
using enum Request;

// Each field holds at most 8 characters; the text's selection is replaced.
INSTANTIATE_TEST_SUITE_P(Examples, FieldInput, ::testing::Values(
    InputCase{"spin takes digits, signs and the decimal point", Spin, "", 0, 0, Type, "+-1.9\b", "+-1.", 0},
    InputCase{"spin refuses other characters and Enter", Spin, "12", 2, 0, Type, "a ,e\r", "12", 5},
    InputCase{"spin editor off refuses typing", SpinEditorOff, "4", 1, 0, Type, "7\b", "4", 2},
    InputCase{"spin paste keeps digits and signs of the first line", Spin, "1", 1, 0, PasteKey, "2a3 4\n5", "1234", 1},
    InputCase{"spin menu paste is filtered too", Spin, "1", 1, 0, MenuPaste, "2a-3\n5", "12-3", 1},
    InputCase{"spin paste replaces the selection", Spin, "123", 1, 1, PasteKey, "9", "193", 0},
    InputCase{"spin cut", Spin, "123", 1, 1, CutKey, "", "13", 0},
    InputCase{"spin editor off refuses paste", SpinEditorOff, "1", 1, 0, PasteKey, "2", "1", 1},
    InputCase{"spin editor off refuses cut", SpinEditorOff, "123", 0, 2, CutKey, "", "123", 1},
    InputCase{"spin editor off offers no menu paste", SpinEditorOff, "1", 1, 0, MenuPaste, "2", "1", 0},
    InputCase{"read-only spin refuses paste", SpinReadOnly, "1", 1, 0, PasteKey, "2", "1", 1},
    InputCase{"number ignores Enter, takes Backspace", Number, "", 0, 0, Type, "123\r\b", "12", 0},
    InputCase{"number paste takes the first line unfiltered", Number, "12", 2, 0, PasteKey, "ab34567890\r\n99", "12ab3456", 0},
    InputCase{"number menu paste takes the first line", Number, "12", 2, 0, MenuPaste, "7x\n8", "127x", 0},
    InputCase{"number paste of no text deletes the selection", Number, "12345", 1, 2, PasteKey, "\tnot this", "145", 0},
    InputCase{"number cut", Number, "12345", 1, 2, CutKey, "", "145", 0},
    InputCase{"read-only number refuses paste", NumberReadOnly, "12", 2, 0, PasteKey, "3", "12", 0},
    InputCase{"read-only number offers no menu paste", NumberReadOnly, "12", 2, 0, MenuPaste, "3", "12", 0}));

class Entering : public ::testing::TestWithParam<Field> {};

// QLineEdit itself selects all only for the Tab key and shortcuts.
TEST_P(Entering, FromTheProgramSelectsAllButAClickDoesNot)
{
    QWidget window;
    QLineEdit* field = makeField(GetParam()).release();
    auto* other = new QLineEdit;
    ASSERT_TRUE(testing::showInColumn(window, {other, field}));
    field->setText(QStringLiteral("42"));
    field->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(field->selectedText(), QStringLiteral("42"));

    other->setFocus(Qt::OtherFocusReason);
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(3, field->height() / 2));
    EXPECT_EQ(QApplication::focusWidget(), field);
    EXPECT_FALSE(field->hasSelectedText());
}

INSTANTIATE_TEST_SUITE_P(BothFields, Entering, ::testing::Values(Spin, Number));

} // namespace
} // namespace ta::ui
