// The editor window: toolbar actions with their dialogs and messages, the
// Fixed MP rule, the ADD/DROP check, the title and leaving the window.
#include "DetailTestSupport.h"

#include "atcmd/SubmitRules.h"
#include "profile/DefaultProfile.h"
#include "profile/FieldValue.h"
#include "profile/ProfileFile.h"
#include "ui/Cspin.h"
#include "ui/GestEdit.h"
#include "ui/detailMaskEdit.h"
#include "tests/support/CaseName.h"
#include "tests/support/FieldRuleCases.h"
#include "ui/ProgramSettings.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace ta::ui {
namespace {

using testing::EditorHarness;

QString fileShown(EditorHarness& h)
{
    return h.editor->findChild<QLabel*>(QStringLiteral("lbProfileFile"))->text();
}

QToolButton* toolButton(EditorHarness& h, const char* name)
{
    return h.editor->findChild<QToolButton*>(QString::fromLatin1(name));
}

void clickTool(EditorHarness& h, const char* name)
{
    QToolButton* button = toolButton(h, name);
    ASSERT_TRUE(button) << name;
    button->click();
}

TEST(DetailEditor, TitleIsRebuiltOnEachPresentation)
{
    EditorHarness h;
    EXPECT_EQ(h.editor->windowTitle(), "Brimo Vela.Net Davo ISDN TA Utility Ver 1.2");
    h.editor->presentEditor();
    EXPECT_EQ(h.editor->windowTitle(), "Brimo Vela.Net Davo ISDN TA Utility Ver 1.2         Firmware Ver ");
    h.ctx.firmwareVersion = "2.10b";
    h.editor->presentEditor();
    EXPECT_EQ(h.editor->windowTitle(),
              "Brimo Vela.Net Davo ISDN TA Utility Ver 1.2         Firmware Ver 2.10b");
    EXPECT_TRUE(h.editor->isVisible());
}

// The editor keeps what it was loaded with, whatever it is; what a submit
// would send of it is judged by the field rules, which name the setting as
// the editor does.
class EditorFieldRules : public ::testing::TestWithParam<testsupport::FieldRuleCase> {};

TEST_P(EditorFieldRules, LoadedValueIsKeptAndJudgedByTheRules)
{
    const testsupport::FieldRuleCase& c = GetParam();
    EditorHarness h(testing::switchesWith(true, true, true), 3);
    buildDefaultProfile(h.ctx.workingProfile, true, true);
    testsupport::putCase(h.ctx.workingProfile, c);
    h.editor->showProfile();
    TaProfile collected;
    std::memset(&collected, 0xA5, sizeof collected);
    h.editor->collectProfileInto(collected);

    const FieldInfo& field = testsupport::fieldOfCase(c);
    const auto bytesOf = [&field](const TaProfile& p) {
        return std::string(reinterpret_cast<const char*>(&p) + field.offset, field.size);
    };
    EXPECT_EQ(bytesOf(collected).substr(0, c.value.size()), bytesOf(h.ctx.workingProfile).substr(0, c.value.size()));
    atcmd::Options everything;
    everything.x25OnD = true;
    const std::vector<RuleBreak> breaks = atcmd::submitRuleBreaks(collected, everything);
    if (c.taken) {
        EXPECT_TRUE(breaks.empty()) << ruleBreakLine(breaks.front());
    } else {
        ASSERT_EQ(breaks.size(), 1u);
        EXPECT_EQ(breaks.front().field, &field);
    }
    EXPECT_EQ(h.editor->settingName(field.offset).toStdString(), field.setting);
}

INSTANTIATE_TEST_SUITE_P(Cases, EditorFieldRules, ::testing::ValuesIn(testsupport::kFieldRuleCases),
                         testsupport::CaseName());

// Typed into its control, a value the rules refuse does not get into the
// record as typed: the field drops what it does not take, keeps a number
// within the rule's range, or will not be left. Only a rule between two
// fields is left to the submit.
struct TypedCase {
    const char* name;
    const char* control;
    const char* typed;
    const char* field;
    const char* collected; // the field's value as tactl shows it; nullptr: the field cannot be left
    friend void PrintTo(const TypedCase& c, std::ostream* os) { *os << c.name; }
};

class EditorTypedValue : public ::testing::TestWithParam<TypedCase> {};

TEST_P(EditorTypedValue, NeverReachesTheRecordAsTyped)
{
    const TypedCase& c = GetParam();
    EditorHarness h(testing::switchesWith(true, true, true), 3);
    buildDefaultProfile(h.ctx.workingProfile, true, true);
    h.editor->showProfile();
    auto* edit = h.control<QLineEdit>(c.control);
    ASSERT_TRUE(edit);
    edit->selectAll();
    QTest::keyClicks(edit, QLatin1String(c.typed));
    if (auto* masked = qobject_cast<TMaskEdit*>(edit)) {
        EXPECT_EQ(masked->acceptsLeaving(), c.collected != nullptr);
        if (!c.collected)
            return;
    }
    TaProfile collected = h.ctx.workingProfile;
    h.editor->collectProfileInto(collected);
    const FieldInfo* field = findField(c.field);
    ASSERT_TRUE(field);
    EXPECT_EQ(shownValue(collected, *field), c.collected);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, EditorTypedValue,
    ::testing::Values(TypedCase{"DnWithLetters", "eDPDN1", "q41777", "dataPort1.dn", "41777"},
                      TypedCase{"RedialCountAboveTen", "seRedialCnt", "200", "redialCount", "10"},
                      TypedCase{"PersistTimeZero", "seUsbPerTime", "0", "dataPort2.mpPersistTime", "1"},
                      TypedCase{"DateOfFebruary31", "eSysDate", "31022021", "sysDate", nullptr},
                      TypedCase{"DateThatIsNone", "eSysDate", "99999999", "sysDate", nullptr},
                      TypedCase{"TimePastMidnight", "eSysTime", "256161", "sysTime", nullptr},
                      TypedCase{"LeapDay", "eSysDate", "29022024", "sysDate", "29-02-2024"},
                      TypedCase{"DropAboveAddLeftToTheSubmit", "seDropThreshold", "40", "dataPort1.mpDropThreshold",
                                "40"}),
    testsupport::CaseName());

TEST(DetailEditor, UncheckingFixedMpResetsAndShowsTheMultilinkGroups)
{
    for (const bool usb : {false, true}) {
        EditorHarness h;
        const QString p = usb ? "Usb" : "";
        auto* box = h.editor->control<QCheckBox>("ck" + p + "FixMP");
        const QWidget* groups[] = {h.editor->control("gb" + p + "MPMaxThroughput"), h.editor->control("gb" + p + "MPADThrehold"),
                        h.editor->control("gb" + p + "MPTimeToDrop")};
        h.editor->control<QComboBox>("cb" + p + "MaxThroughput")->setCurrentIndex(1);
        h.editor->control<TCSpinEdit>("se" + p + "AddThreshold")->SetValue(0);
        h.editor->control<TCSpinEdit>("se" + p + "DropThreshold")->SetValue(0);
        h.editor->control<TCSpinEdit>("se" + p + "PerTime")->SetValue(99);
        box->click();
        for (const QWidget* group : groups)
            EXPECT_TRUE(group->isHidden());
        box->click();
        for (const QWidget* group : groups)
            EXPECT_FALSE(group->isHidden());
        EXPECT_EQ(h.editor->control<QComboBox>("cb" + p + "MaxThroughput")->currentIndex(), 0);
        EXPECT_EQ(h.editor->control<TCSpinEdit>("se" + p + "AddThreshold")->GetValue(), 35);
        EXPECT_EQ(h.editor->control<TCSpinEdit>("se" + p + "DropThreshold")->GetValue(), 25);
        EXPECT_EQ(h.editor->control<TCSpinEdit>("se" + p + "PerTime")->GetValue(), 24);
    }
}

TEST(DetailEditor, LoadedFixedMpOnlyHidesOrShowsTheGroups)
{
    EditorHarness h;
    TaProfile& p = h.ctx.workingProfile;
    p.dataPort1.fixedMp = 1;
    p.dataPort1.maxThroughput = 1;
    h.editor->showProfile();
    EXPECT_TRUE(h.control<QWidget>("gbMPADThrehold")->isHidden());
    EXPECT_FALSE(h.control<QWidget>("gbUsbMPADThrehold")->isHidden());
    p.dataPort1.fixedMp = 0;
    p.dataPort1.mpAddThreshold = 50;
    p.dataPort1.mpDropThreshold = 40;
    p.dataPort1.mpPersistTime = 3;
    h.editor->showProfile();
    EXPECT_FALSE(h.control<QWidget>("gbMPADThrehold")->isHidden());
    EXPECT_EQ(h.control<QComboBox>("cbMaxThroughput")->currentIndex(), 1);
    EXPECT_EQ(h.control<TCSpinEdit>("seAddThreshold")->GetValue(), 50);
    EXPECT_EQ(h.control<TCSpinEdit>("seDropThreshold")->GetValue(), 40);
    EXPECT_EQ(h.control<TCSpinEdit>("sePerTime")->GetValue(), 3);
}

TEST(DetailEditor, LoadDefaultAsksFirst)
{
    EditorHarness h;
    h.ctx.workingProfile.dataPort1.autoAnswerRings = 77;
    h.editor->showProfile();
    h.confirmAnswer = false;
    clickTool(h, "ToolButton4");
    EXPECT_EQ(h.confirmations, QStringList{"Load default setting! Are you sure?"});
    EXPECT_EQ(h.ctx.workingProfile.dataPort1.autoAnswerRings, 77);
    EXPECT_EQ(h.control<TCSpinEdit>("seAutoAnswer")->GetValue(), 77);

    h.editor->setProfileFile(QStringLiteral("/tmp/a.CFG"));
    h.confirmAnswer = true;
    clickTool(h, "ToolButton4");
    EXPECT_EQ(fileShown(h), ""); // no longer the file's settings
    TaProfile defaults{};
    buildDefaultProfile(defaults, h.ctx.switches.x25OnD, h.ctx.switches.sysDateTime);
    EXPECT_EQ(h.ctx.workingProfile.dataPort1.autoAnswerRings, defaults.dataPort1.autoAnswerRings);
    EXPECT_EQ(h.control<TCSpinEdit>("seAutoAnswer")->GetValue(), defaults.dataPort1.autoAnswerRings);
}

class DetailFiles : public ::testing::Test {
protected:
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void choose(const QString& path)
    {
        ProfileDialogs::setChooser([path](ProfileDialogs::Kind) { return path; });
    }

    QTemporaryDir dir;
    EditorHarness h;
};

TEST_F(DetailFiles, LoadFillsTheControlsAndKeepsThePage)
{
    TaProfile stored{};
    setText(stored.vp2Dn, "0301234");
    stored.dataPort1.dcdMode = 1;
    ASSERT_TRUE(saveProfileFile(file("a.CFG").toStdString(), stored));
    h.editor->tree()->setCurrentItem(h.editor->nodeOf(h.editor->page(9)));
    choose(file("a.CFG"));
    clickTool(h, "ToolButton1");
    EXPECT_EQ(h.control<QLineEdit>("eVP2DN1")->text(), "0301234");
    EXPECT_EQ(h.control<QComboBox>("cbDCD")->currentIndex(), 1);
    EXPECT_EQ(h.editor->visiblePage(), h.editor->page(9));
    EXPECT_TRUE(h.messages.isEmpty());
    EXPECT_EQ(fileShown(h), "a.CFG");
}

// A file with values the TA does not take loads as it is: the editor shows
// them, and a warning names each with its rule.
TEST_F(DetailFiles, LoadOfValuesTheTaDoesNotTakeWarnsAndKeepsThem)
{
    TaProfile stored{};
    buildDefaultProfile(stored, false, true);
    stored.countryCode = 60;
    setText(stored.vp1Dn, "12A");
    ASSERT_TRUE(saveProfileFile(file("odd.CFG").toStdString(), stored));
    choose(file("odd.CFG"));
    clickTool(h, "ToolButton1");
    EXPECT_EQ(h.control<QComboBox>("cbCountryCode")->currentText(), "60 (not in list)");
    EXPECT_EQ(h.control<QLineEdit>("eVP1DN1")->text(), "12A");
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_TRUE(h.messages.first().contains("odd.CFG holds values the TA does not take"));
    const QStringList details = lastMessageDetails().split(QLatin1Char('\n'));
    ASSERT_EQ(details.size(), 2);
    EXPECT_TRUE(details[0].startsWith("System > Country Selection Code (countryCode = 60) takes one of"));
    EXPECT_TRUE(details[1].startsWith("Analog Port > Local DN and Options > Local Directory Number > Address Port 1 "
                                      "(vp1Dn = 12A) takes only the digits"));
}

TEST_F(DetailFiles, CancelledOrFailedLoadChangesNothing)
{
    h.control<QLineEdit>("eVP2DN1")->setText("99");
    choose(QString());
    clickTool(h, "ToolButton1");
    EXPECT_TRUE(h.messages.isEmpty());

    QFile junk(file("junk.CFG"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(3000, 'x'));
    junk.close();
    const TaProfile before = h.ctx.workingProfile;
    choose(junk.fileName());
    clickTool(h, "ToolButton1");
    EXPECT_EQ(0, std::memcmp(&before, &h.ctx.workingProfile, sizeof before));
    EXPECT_EQ(h.control<QLineEdit>("eVP2DN1")->text(), "99");
    EXPECT_EQ(fileShown(h), "");
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_TRUE(h.messages.first().contains("junk.CFG"));
}

TEST_F(DetailFiles, SaveCollectsFirstEvenWhenCancelled)
{
    h.control<QLineEdit>("eVP1DN1")->setText("12345");
    choose(QString());
    clickTool(h, "tbSave");
    EXPECT_EQ(textOf(h.ctx.workingProfile.vp1Dn), "12345");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(DetailFiles, SaveWritesTheRecord)
{
    h.control<QLineEdit>("eVP1DN1")->setText("555");
    choose(file("out"));
    clickTool(h, "tbSave");
    EXPECT_TRUE(h.messages.isEmpty());
    TaProfile back{};
    ASSERT_TRUE(loadProfileFile(file("out.CFG").toStdString(), back));
    EXPECT_EQ(textOf(back.vp1Dn), "555");
    EXPECT_EQ(0, std::memcmp(&back, &h.ctx.workingProfile, sizeof back));
    EXPECT_EQ(fileShown(h), "out.CFG");
}

// A pipe chosen in the dialog stays a pipe: Save writes only files.
TEST_F(DetailFiles, FailedSaveIsReported)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(file("pipe.CFG")).constData(), 0600), 0);
    for (const char* chosen : {"missing/folder/x.CFG", "pipe.CFG"}) {
        SCOPED_TRACE(chosen);
        h.messages.clear();
        choose(file(chosen));
        clickTool(h, "tbSave");
        EXPECT_EQ(fileShown(h), "");
        ASSERT_EQ(h.messages.size(), 1);
        EXPECT_TRUE(h.messages.first().contains(QString::fromLatin1(chosen)));
    }
    EXPECT_TRUE(h.messages.first().endsWith("Is a pipe, not a file")) << h.messages.first().toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file("pipe.CFG")).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(DetailEditor, UpgradeNeedsAFileAndAConfirmation)
{
    EditorHarness h;
    QSignalSpy upgrade(h.editor.get(), &TfDetail::upgradeRequested);
    QString chosen;
    TfDetail::setUpgradeFileChooser([&chosen] { return chosen; });
    clickTool(h, "tbUpgrade");
    EXPECT_TRUE(h.confirmations.isEmpty());
    chosen = "/tmp/fw.bin";
    h.confirmAnswer = false;
    clickTool(h, "tbUpgrade");
    EXPECT_EQ(h.confirmations, QStringList{"Upgrade firmware! Are you sure?"});
    EXPECT_EQ(upgrade.count(), 0);
    h.confirmAnswer = true;
    clickTool(h, "tbUpgrade");
    ASSERT_EQ(upgrade.count(), 1);
    EXPECT_EQ(upgrade.first().first().toString(), "/tmp/fw.bin");
}

// Every toolbar command has a key, named in its tooltip, that works wherever
// the focus is, also in the fields that take keys of their own.
TEST(DetailEditor, EveryToolbarKeyWorksFromAnyField)
{
    EditorHarness h(link::Switches{}, 2);
    h.confirmAnswer = false;
    ProfileDialogs::setChooser([](ProfileDialogs::Kind) { return QString(); });
    TfDetail::setUpgradeFileChooser([] { return QString(); });
    h.editor->presentEditor();
    ASSERT_TRUE(QTest::qWaitForWindowActive(h.editor.get()));
    for (const char* name : {"ToolButton4", "ToolButton1", "tbSave", "tbSubmit", "tbUpgrade", "tbExit"}) {
        QAction* command = toolButton(h, name)->defaultAction();
        const QKeySequence key = command->shortcut();
        EXPECT_TRUE(!key.isEmpty() && command->toolTip().contains(key.toString(QKeySequence::NativeText))) << name;
        QSignalSpy triggered(command, &QAction::triggered);
        for (const char* field : {"eDPDN1", "seAddThreshold", "cbDTR", "tvTree"}) {
            QWidget* target = h.editor->findChild<QWidget*>(QLatin1String(field));
            h.editor->tree()->setCurrentItem(h.editor->nodeOf(target->parentWidget()->parentWidget()->parentWidget()));
            target->setFocus(Qt::TabFocusReason);
            QTest::keySequence(QApplication::focusWidget(), key);
        }
        EXPECT_EQ(triggered.count(), 4) << name;
    }
}

// How much of an icon stands out against a background: the share of its
// opaque pixels clearly lighter or darker than it.
double visibleShare(const QIcon& icon, QColor background)
{
    const QImage image = icon.pixmap(32, 32).toImage();
    int opaque = 0, visible = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            opaque += pixel.alpha() >= 128 ? 1 : 0;
            visible += pixel.alpha() >= 128 && std::abs(pixel.lightnessF() - background.lightnessF()) >= 0.2 ? 1 : 0;
        }
    }
    return opaque < 10 ? 0.0 : double(visible) / opaque;
}

// Without a desktop theme the toolbar shows the program's own icons, which
// stand out on a light and on a dark palette alike.
TEST(DetailEditor, ToolbarIconsAreVisibleOnLightAndDarkPalettes)
{
    EditorHarness h;
    for (const char* name : {"ToolButton4", "ToolButton1", "tbSave", "tbSubmit", "tbUpgrade", "tbExit"}) {
        const QIcon icon = toolButton(h, name)->icon();
        for (const QColor background : {QColor(Qt::white), QColor(0xef, 0xef, 0xef), QColor(0x2b, 0x2b, 0x2b)})
            EXPECT_GE(visibleShare(icon, background), 0.3) << name << " on " << background.name().toStdString();
    }
}

TEST(DetailEditor, TheToolbarIsReachedByTabAndPressedBySpace)
{
    EditorHarness h;
    h.editor->presentEditor();
    ASSERT_TRUE(QTest::qWaitForWindowActive(h.editor.get()));
    QSignalSpy exit(h.editor.get(), &TfDetail::exitRequested);
    h.editor->tree()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(h.editor->tree(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), toolButton(h, "tbExit"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(exit.count(), 1);
    // A click leaves the focus where it was, and so does the work it starts.
    auto* field = h.control<QWidget>("eDPDN1");
    field->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(toolButton(h, "tbSubmit"), Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), field);
    h.editor->setWorking(true);
    EXPECT_FALSE(field->hasFocus());
    h.editor->setWorking(false);
    EXPECT_EQ(QApplication::focusWidget(), field);
}

// The toolbar leaves the focus in a date being typed; half filled, it stops
// the command as leaving the field would, so it never reaches a file or the TA.
TEST(DetailEditor, AHalfTypedDateStopsSaveAndSubmit)
{
    EditorHarness h(testing::switchesWith(false), 3);
    int saveDialogs = 0;
    ProfileDialogs::setChooser([&saveDialogs](ProfileDialogs::Kind) {
        ++saveDialogs;
        return QString();
    });
    QSignalSpy submit(h.editor.get(), &TfDetail::submitRequested);
    h.editor->presentEditor();
    ASSERT_TRUE(QTest::qWaitForWindowActive(h.editor.get()));
    h.editor->tree()->setCurrentItem(h.editor->nodeOf(h.editor->page(17)));
    auto* date = h.control<QLineEdit>("eSysDate");
    date->setFocus(Qt::TabFocusReason);
    date->end(false);
    QTest::keyClick(date, Qt::Key_Backspace);
    clickTool(h, "tbSave");
    clickTool(h, "tbSubmit");
    EXPECT_EQ(saveDialogs + submit.count(), 0);
    EXPECT_EQ(h.messages.size(), 2);
    QTest::keyClick(date, Qt::Key_Escape);
    clickTool(h, "tbSubmit");
    EXPECT_EQ(submit.count(), 1);
}

// Nothing is cut or needs sideways scrolling at the first showing: the tree
// shows every caption, each page fits beside it, and the number fields show
// 20 digits (a spin field five) from the first.
class DetailLayout : public ::testing::TestWithParam<bool> {};

bool showsWhole(QLineEdit* field, const QString& text)
{
    field->setText(text);
    field->end(false);
    const QRect inside = field->contentsRect();
    const int y = inside.center().y();
    return field->cursorPositionAt(QPoint(inside.left() + 1, y)) == 0 &&
           field->cursorPositionAt(QPoint(inside.right() - 1, y)) == text.size();
}

TEST_P(DetailLayout, NothingIsCutAtTheFirstShowing)
{
    EditorHarness h(testing::switchesWith(GetParam(), true), 3);
    h.editor->presentEditor();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.editor.get()));
    EXPECT_EQ(h.editor->tree()->horizontalScrollBar()->maximum(), 0);
    for (QTreeWidgetItemIterator it(h.editor->tree()); *it; ++it) {
        h.editor->tree()->setCurrentItem(*it);
        QApplication::processEvents();
        auto* pg = qobject_cast<QScrollArea*>(h.editor->visiblePage());
        EXPECT_EQ(pg->horizontalScrollBar()->maximum(), 0) << pg->objectName().toStdString();
    }
    for (QLineEdit* field : h.editor->findChildren<QLineEdit*>()) {
        const bool spin = qobject_cast<TCSpinEdit*>(field);
        if (spin || qobject_cast<TFilterAlignEdit*>(field)) {
            const QString digits(spin ? 5 : 20, QLatin1Char('8'));
            EXPECT_TRUE(showsWhole(field, digits)) << field->objectName().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Switches, DetailLayout, ::testing::Bool(),
                         [](const auto& testCase) { return testCase.param ? "CountryOption" : "BothPorts"; });

QString announced(QWidget* control, QAccessible::Text text = QAccessible::Name)
{
    return QAccessible::queryAccessibleInterface(control)->text(text);
}

// Every control a screen reader stops at has a name of its own on its page,
// so the rows of a phone list or the two ports of a page can be told apart.
TEST(DetailEditor, EveryFieldHasAnAccessibleNameOfItsOwnOnItsPage)
{
    EditorHarness h(link::Switches{}, 3);
    for (int i = 0; i < h.editor->pageArea()->count(); ++i) {
        QSet<QString> names;
        for (QWidget* field : h.editor->pageArea()->widget(i)->findChildren<QWidget*>()) {
            if (!(field->focusPolicy() & Qt::TabFocus) || field->objectName().isEmpty())
                continue;
            const QString name = announced(field);
            EXPECT_TRUE(!name.isEmpty() && !names.contains(name)) << field->objectName().toStdString();
            names.insert(name);
        }
    }
}

// Failures and the read-back name a setting by its place in the tree, its
// group and its label: every bound field has such a name, and no two fields
// share one.
TEST(DetailEditor, EverySettingHasANameOfItsOwn)
{
    EditorHarness h(testing::switchesWith(true, true, true), 3);
    QSet<QString> names;
    for (const binding::Row& row : binding::rows()) {
        const QString name = h.editor->settingName(row.offset);
        EXPECT_TRUE(name.count(QStringLiteral(" > ")) >= 1 && !names.contains(name))
            << row.control.toStdString() << ": " << name.toStdString();
        names.insert(name);
    }
    // The field table names each setting so too, for tactl and the rules.
    for (const FieldInfo& field : profileFields())
        EXPECT_EQ(field.setting, binding::rowAt(field.offset) ? h.editor->settingName(field.offset).toStdString() : "")
            << field.name;
}

// What a screen reader says of a field: a list by its label, not by its
// current item (on the analog page two pairs of lists would read alike); a
// number with its range and unit; a date or time with its format.
struct AnnouncedCase {
    int page;
    const char* control;
    const char* name;
    const char* description;
};

void PrintTo(const AnnouncedCase& c, std::ostream* os) { *os << "PG" << c.page << ' ' << c.control; }

class AnnouncedFields : public ::testing::TestWithParam<AnnouncedCase> {};

TEST_P(AnnouncedFields, ByLabelRangeAndFormat)
{
    const AnnouncedCase& c = GetParam();
    EditorHarness h(testing::switchesWith(false, true), 3);
    auto* control = h.control<QWidget>(c.control);
    ASSERT_TRUE(control && h.editor->page(c.page)->isAncestorOf(control));
    EXPECT_EQ(announced(control), QLatin1String(c.name));
    EXPECT_EQ(announced(control, QAccessible::Description), QLatin1String(c.description));
    if (auto* list = qobject_cast<QComboBox*>(control)) {
        EXPECT_EQ(announced(control, QAccessible::Value), list->currentText());
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, AnnouncedFields, ::testing::Values(
    AnnouncedCase{0, "cbCountryCode", "Country Selection Code", ""},
    AnnouncedCase{3, "seAddThreshold", "ADD, Threshold of data loading to ADD/DROP one channel", "0 to 64 Kbps"},
    AnnouncedCase{25, "seUsbWinSize", "Window Size, X.25 parameters", "1 to 7"},
    AnnouncedCase{11, "seAutoAnswer", "Auto Answer, Advance options", "0 to 255 rings, 0 disables"},
    AnnouncedCase{12, "cbV1ClipClir", "Port 1, CLIP and CLIR selection", ""},
    AnnouncedCase{12, "cbVDevType1", "Port 1, Device type on analog port", ""},
    AnnouncedCase{13, "cbV2ISMode", "Mode, Port 2: phone list of incoming call screen", ""},
    AnnouncedCase{17, "eSysDate", "System Date, Date/Time", "DD-MM-YYYY"}),
    [](const auto& testCase) { return std::string(testCase.param.control); });

// The keyboard's way around a page: Tab from the tree lands on the page's
// first field (the page itself is no stop), Tab into a group of choices on
// the chosen one, and F6 or Ctrl+Tab goes between the tree and the field
// last worked in.
TEST(DetailEditor, TabAndF6MoveBetweenTheTreeAndThePagesFields)
{
    EditorHarness h(testing::switchesWith(false), 3);
    h.editor->presentEditor();
    ASSERT_TRUE(QTest::qWaitForWindowActive(h.editor.get()));
    auto* tree = h.editor->tree();
    ASSERT_EQ(QApplication::focusWidget(), tree);
    QTest::keyClick(tree, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), h.control<QWidget>("eDPDN1"));

    h.ctx.workingProfile.dataPort1.callType = 4; // "V.120", the third choice
    h.editor->showProfile();
    h.control<QWidget>("cbDClipClir")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto* chosen = QApplication::focusWidget();
    ASSERT_TRUE(qobject_cast<QAbstractButton*>(chosen));
    EXPECT_TRUE(static_cast<QAbstractButton*>(chosen)->isChecked());
    EXPECT_EQ(static_cast<QAbstractButton*>(chosen)->text(), QStringLiteral("V.120"));

    for (const QKeySequence& key : {QKeySequence(Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_Tab)}) {
        QTest::keySequence(QApplication::focusWidget(), key);
        EXPECT_EQ(QApplication::focusWidget(), tree) << key.toString().toStdString();
        QTest::keySequence(tree, key);
        EXPECT_EQ(QApplication::focusWidget(), chosen) << key.toString().toStdString();
    }
    tree->setFocus(Qt::TabFocusReason);
    tree->setCurrentItem(h.editor->nodeOf(h.editor->page(7)));
    QTest::keyClick(tree, Qt::Key_F6);
    EXPECT_EQ(QApplication::focusWidget(), h.control<QWidget>("cbDCD"));
}

// "Verify after submit" sits with Submit, starts on, and is the user's
// choice for every run: the next editor starts with it as it was left. An
// "off" kept while off was the default is forgotten.
TEST(DetailEditor, VerifyAfterSubmitIsOnAtFirstAndRememberedForTheNextRun)
{
    programSettings().remove(QStringLiteral("editor/verifyAfterSubmitChoice"));
    programSettings().setValue(QStringLiteral("editor/verifyAfterSubmit"), false);
    {
        EditorHarness fresh;
        EXPECT_TRUE(fresh.editor->verifyAfterSubmit()->isChecked());
    }
    for (const bool on : {false, true, false}) {
        {
            EditorHarness first;
            first.editor->verifyAfterSubmit()->setChecked(on);
        }
        EditorHarness next;
        EXPECT_EQ(next.editor->verifyAfterSubmit()->isChecked(), on);
        next.editor->collectProfile();
        EXPECT_EQ(next.ctx.verifyAfterSubmit, on);
    }
}

TEST(DetailEditor, WindowCloseCountsAsExit)
{
    EditorHarness h;
    EXPECT_FALSE(h.editor->windowFlags() & Qt::WindowCloseButtonHint);
    h.editor->presentEditor();
    QSignalSpy exit(h.editor.get(), &TfDetail::exitRequested);
    EXPECT_FALSE(h.editor->close());
    EXPECT_EQ(exit.count(), 1);
    EXPECT_TRUE(h.editor->isVisible());
    h.editor->allowClose();
    EXPECT_TRUE(h.editor->close());
    EXPECT_EQ(exit.count(), 1);
}

TEST(DetailEditor, TheProgramsOwnQuitIsNotRefused)
{
    EditorHarness h;
    h.editor->presentEditor();
    QSignalSpy exit(h.editor.get(), &TfDetail::exitRequested);
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    // Only reached when the quit was refused.
    QTimer::singleShot(5000, [] { QCoreApplication::exit(3); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(exit.count(), 0);
    EXPECT_FALSE(h.editor->isVisible());
}

} // namespace
} // namespace ta::ui
