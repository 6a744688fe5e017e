// The ValidChars parser of the filtered edit field, fed any texts in turn.
// The character set only ever grows and never holds code 0; a text without
// its brackets leaves the set as it was and makes ValidChars read
// "Formato inválido" followed by the text; a text without ranges or quotes
// adds only characters that stand in it.
#include "tests/fuzz/FuzzSupport.h"

#include "ui/GestEdit.h"

#include <QApplication>

#include <array>
#include <cstring>

namespace {

using ta::ui::CharSet;
using ta::ui::TFilterAlignEdit;

// The codes that can be in the set, and one past them.
constexpr int kCodes = 257;

std::array<bool, kCodes> membersOf(const CharSet& set)
{
    std::array<bool, kCodes> in{};
    for (int c = 0; c < kCodes; ++c)
        in[std::size_t(c)] = set.contains(QChar(char16_t(c)));
    return in;
}

std::array<bool, kCodes> acceptedBy(const TFilterAlignEdit& field)
{
    std::array<bool, kCodes> in{};
    for (int c = 0; c < kCodes; ++c)
        in[std::size_t(c)] = field.accepts(QChar(char16_t(c)));
    return in;
}

bool bracketed(const QString& text) { return text.startsWith(u'[') && text.endsWith(u']'); }

// Texts as the forms write them (8-bit) or as any Unicode text.
QString textFrom(ta::fuzz::FuzzInput& in, bool wide)
{
    const std::string_view bytes = in.take(in.byte() % 48);
    if (!wide)
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2); // the input need not be aligned
    return QString::fromStdU16String(units);
}

void checkSet(CharSet& set, const QString& text)
{
    const auto before = membersOf(set);
    set.addElements(text);
    const auto after = membersOf(set);
    const bool literal = !text.contains(u'.') && !text.contains(u'\'');
    for (int c = 0; c < kCodes; ++c) {
        const auto i = std::size_t(c);
        FUZZ_EXPECT(!before[i] || after[i], "code " + std::to_string(c) + " left the set");
        if (literal && after[i] && !before[i])
            FUZZ_EXPECT(text.contains(QChar(char16_t(c))), "code " + std::to_string(c) + " came from nowhere");
    }
    FUZZ_EXPECT(!after[0], "code 0 is in the set");
    FUZZ_EXPECT(!after[256], "a code beyond 8 bits is in the set");
}

void checkField(TFilterAlignEdit& field, const QString& text)
{
    const QString textBefore = field.ValidChars();
    const auto acceptedBefore = acceptedBy(field);
    field.setValidChars(text);
    if (text == textBefore || !bracketed(text)) {
        const QString expected = text == textBefore ? textBefore : QString::fromUtf8("Formato inválido") + text;
        FUZZ_EXPECT(field.ValidChars() == expected, field.ValidChars().toStdString());
        FUZZ_EXPECT(acceptedBy(field) == acceptedBefore, "the set changed");
        return;
    }
    FUZZ_EXPECT(field.ValidChars() == text, field.ValidChars().toStdString());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The application lives until the process ends: its destructor must not
    // run after main's arguments are gone.
    static int appArgc = *argc;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(appArgc, *argv);
    TFilterAlignEdit warmUp; // the style and fonts are loaded once, not per input
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    ta::fuzz::FuzzInput in(data, size);
    const bool wide = in.flag();
    CharSet set;
    TFilterAlignEdit field;
    while (!in.empty()) {
        const QString text = textFrom(in, wide);
        if (bracketed(text))
            checkSet(set, text);
        checkField(field, text);
    }
    return 0;
}
