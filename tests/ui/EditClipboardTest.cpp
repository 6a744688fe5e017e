// Cut and paste in the spin edit and the number field: the same requests,
// each field's own rule for what a paste keeps.
#include "ui/Cspin.h"
#include "ui/EditClipboard.h"
#include "ui/GestEdit.h"

#include "tests/ui/support/UiTestSupport.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

namespace ta::ui {
namespace {

enum class Field { Spin, SpinEditorOff, SpinReadOnly, Number, NumberReadOnly };
enum class Request { PasteKey, CutKey, MenuPaste };

struct ClipboardCase {
    const char* what;
    Field field;
    const char* text;
    int selectionStart;
    int selectionLength;
    const char* clipboard;
    Request request;
    const char* expected;
    int beeps;
};

void PrintTo(const ClipboardCase& c, std::ostream* out) { *out << c.what; }

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

class ClipboardRules : public ::testing::TestWithParam<ClipboardCase> {
protected:
    void SetUp() override { TCSpinEdit::setBeepHandler([this] { ++beeps; }); }
    void TearDown() override { TCSpinEdit::setBeepHandler(nullptr); }

    int beeps = 0;
};

TEST_P(ClipboardRules, RequestGivesTheText)
{
    const ClipboardCase& c = GetParam();
    const std::unique_ptr<QLineEdit> field = makeField(c.field);
    field->setText(QString::fromLatin1(c.text));
    field->setSelection(c.selectionStart, c.selectionLength);
    QGuiApplication::clipboard()->setText(QString::fromLatin1(c.clipboard));
    if (c.request == Request::MenuPaste)
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
INSTANTIATE_TEST_SUITE_P(Examples, ClipboardRules, ::testing::Values(
    ClipboardCase{"spin keeps digits and signs of the first line", Spin, "1", 1, 0, "2a3 4\n5", PasteKey, "1234", 1},
    ClipboardCase{"spin menu paste is filtered too", Spin, "1", 1, 0, "2a-3\n5", MenuPaste, "12-3", 1},
    ClipboardCase{"spin paste replaces the selection", Spin, "123", 1, 1, "9", PasteKey, "193", 0},
    ClipboardCase{"spin cut", Spin, "123", 1, 1, "", CutKey, "13", 0},
    ClipboardCase{"spin editor off refuses paste", SpinEditorOff, "1", 1, 0, "2", PasteKey, "1", 1},
    ClipboardCase{"spin editor off refuses cut", SpinEditorOff, "123", 0, 2, "", CutKey, "123", 1},
    ClipboardCase{"spin editor off offers no menu paste", SpinEditorOff, "1", 1, 0, "2", MenuPaste, "1", 0},
    ClipboardCase{"read-only spin refuses paste", SpinReadOnly, "1", 1, 0, "2", PasteKey, "1", 1},
    ClipboardCase{"number takes the first line unfiltered", Number, "12", 2, 0, "ab34567890\r\n99", PasteKey, "12ab3456", 0},
    ClipboardCase{"number menu paste takes the first line", Number, "12", 2, 0, "7x\n8", MenuPaste, "127x", 0},
    ClipboardCase{"number paste of no text deletes the selection", Number, "12345", 1, 2, "\tnot this", PasteKey, "145", 0},
    ClipboardCase{"number cut", Number, "12345", 1, 2, "", CutKey, "145", 0},
    ClipboardCase{"read-only number refuses paste", NumberReadOnly, "12", 2, 0, "3", PasteKey, "12", 0},
    ClipboardCase{"read-only number offers no menu paste", NumberReadOnly, "12", 2, 0, "3", MenuPaste, "12", 0}));

} // namespace
} // namespace ta::ui
