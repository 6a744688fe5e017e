// Golden transcripts: the TA dialogue, the query lists, the submit batches
// and the reply formats, played between the program's command set and the
// simulated TA. One file per group in transcripts/, one step per line
// ("#" lines and blank lines are comments):
//
//   ta OPTION...       a TA fresh from a reset, with tasim's options
//   program OPTION...  the program's switches (prefix=0 variant=N remote=1 x25=1 clock=0
//                      country=0 clearLast=1 clearAcc=1), its profile the defaults
//   set FIELD VALUE    a field of the program's profile (the names of tactl show)
//   store SLOT VALUE   what the TA holds under a key ("1%S", "$T0"); VALUE runs to the end
//   query | submit     the program's query list or batch: the ">" lines that follow must
//                      be its lines, in order, and all of them
//   > LINE             LINE and CR go to the TA; without a "<" after it, it must answer OK
//   >> TEXT            TEXT goes to the TA as it is
//   ... N              N further lines of the program's list, each answered OK
//   wait MS            time passes
//   < TEXT             the TA's answer to the step before, CRs dropped, "\n" a line feed
//   decode ID          the answer is decoded under a parameter id
//   undecodable ID     the answer is no value of that id's field: the field keeps what it held
//   field FIELD VALUE  a field of the profile the answers were decoded into
//   holds SLOT VALUE   what the TA holds under a key
#include "tests/sim/SimTestUtil.h"

#include "atcmd/QueryList.h"
#include "atcmd/ReplyDecoder.h"
#include "atcmd/SubmitBatch.h"
#include "profile/DefaultProfile.h"
#include "profile/FieldValue.h"
#include "tests/support/TaStore.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace ta::sim::test {
namespace {

namespace fs = std::filesystem;

atcmd::Options programOptions(const std::string& text)
{
    using Set = std::function<void(atcmd::Options&, bool)>;
    const std::map<std::string, Set> setters{
        {"prefix", [](auto& o, bool on) { o.noPortPrefix = !on; }}, {"remote", [](auto& o, bool on) { o.remote = on; }},
        {"x25", [](auto& o, bool on) { o.x25OnD = on; }},          {"clock", [](auto& o, bool on) { o.sysDateTime = on; }},
        {"country", [](auto& o, bool on) { o.countryOption = on; }},
        {"clearLast", [](auto& o, bool on) { o.clearLastCharge = on; }},
        {"clearAcc", [](auto& o, bool on) { o.clearAccCharge = on; }}};
    atcmd::Options options;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        const std::string name = word.substr(0, word.find('=')), value = word.substr(name.size() + 1);
        if (name == "variant")
            options.taVariant = static_cast<uint8_t>(std::stoi(value));
        else if (setters.contains(name))
            setters.at(name)(options, value == "1");
        else
            ADD_FAILURE() << "unknown option " << word;
    }
    return options;
}

std::string unescaped(std::string text)
{
    for (std::size_t at; (at = text.find("\\n")) != std::string::npos;)
        text.replace(at, 2, "\n");
    return text;
}

class Player {
public:
    // verb, the rest of the line, its first word and what follows that word.
    void play(const std::string& verb, const std::string& rest, const std::string& name, const std::string& value)
    {
        const std::map<std::string, std::function<void()>> steps{
            {"ta", [&] { newTa(rest); }},
            {"program", [&] {
                 program_ = programOptions(rest);
                 profile_ = read_ = TaProfile{};
                 buildDefaultProfile(profile_, program_.x25OnD, program_.sysDateTime);
             }},
            {"set", [&] {
                 const FieldInfo* field = findField(name);
                 ASSERT_TRUE(field) << name;
                 const Result<> stored = field->kind == FieldKind::Text
                                             ? storeText(profile_, *field, value)
                                             : storeNumber(profile_, *field, static_cast<unsigned>(std::stoul(value)));
                 EXPECT_TRUE(stored) << name << ": " << (stored ? std::string() : stored.error());
             }},
            {"store", [&] { ta_->setValue(name, value); }},
            {"query", [&] { expectList(true); }},
            {"submit", [&] { expectList(false); }},
            {">", [&] { sendNext(rest); }},
            {">>", [&] { send(rest, false); }},
            {"...", [&] {
                 for (int n = std::stoi(rest); n > 0; --n)
                     sendNext("");
             }},
            {"wait", [&] {
                 settle();
                 nowMs_ += std::stoull(rest);
                 ta_->tick(nowMs_);
                 answer_ = withoutCr(ta_->takeOutput());
             }},
            {"<", [&] {
                 EXPECT_EQ(answer_, unescaped(rest));
                 answerChecked_ = true;
             }},
            {"decode", [&] { EXPECT_TRUE(decode(std::stoi(rest))) << answer_; }},
            {"undecodable", [&] { EXPECT_FALSE(decode(std::stoi(rest))) << answer_; }},
            {"holds", [&] { EXPECT_EQ(ta_->value(name), value) << name; }},
            {"field", [&] {
                 const FieldInfo* field = findField(name);
                 ASSERT_TRUE(field) << name;
                 const bool text = field->kind == FieldKind::Text;
                 EXPECT_EQ(text ? textIn(read_, *field) : std::to_string(numberIn(read_, *field)), value) << name;
             }},
        };
        const auto step = steps.find(verb);
        ASSERT_NE(step, steps.end()) << "unknown step " << verb;
        step->second();
    }
    void finish()
    {
        settle();
        EXPECT_TRUE(pending_.empty()) << "the program sends " << pending_.size() << " lines more";
        pending_.clear();
    }

private:
    void newTa(const std::string& options)
    {
        finish();
        const TasimConfig config = testsupport::tasimConfig(options);
        ta_ = std::make_unique<SimTa>(config.local);
        ta_->setRemote(config.remote);
    }
    // The lines the program sends, with the query list's parameter ids.
    void expectList(bool query)
    {
        finish();
        if (query)
            for (const atcmd::QueryEntry& entry : atcmd::buildQueryList(program_))
                pending_.emplace_back("AT" + atcmd::queryBody(entry), entry.id);
        else
            for (const std::string& body : atcmd::buildSubmitBatch(profile_, program_))
                pending_.emplace_back("AT" + body, 0);
    }
    // The line the program sends next, which must be `line` unless that is
    // empty; `line` itself outside a list.
    void sendNext(const std::string& line)
    {
        std::pair<std::string, int> next{line, 0};
        if (!pending_.empty()) {
            next = pending_.front();
            pending_.pop_front();
            EXPECT_TRUE(line.empty() || next.first == line) << "the program sends " << next.first;
        }
        EXPECT_FALSE(next.first.empty()) << "the program's list ends sooner";
        send(next.first, true);
        if (next.second != 0) {
            EXPECT_TRUE(decode(next.second)) << next.first << " -> " << answer_;
        }
    }
    void send(const std::string& text, bool withCr)
    {
        settle();
        ta_->receive(withCr ? text + "\r" : text, nowMs_);
        answer_ = withoutCr(ta_->takeOutput());
        answerChecked_ = !withCr;
    }
    void settle()
    {
        EXPECT_TRUE(answerChecked_ || endsOk(answer_)) << answer_;
        answerChecked_ = true;
    }
    bool decode(int id)
    {
        atcmd::DecodeTargets targets{read_, firmware_, lastCharge_, accCharge_};
        return atcmd::decodeReply(id, answer_, targets);
    }

    std::unique_ptr<SimTa> ta_ = std::make_unique<SimTa>();
    atcmd::Options program_;
    TaProfile profile_{}, read_{};
    std::string firmware_, lastCharge_, accCharge_;
    std::deque<std::pair<std::string, int>> pending_;
    std::string answer_;
    bool answerChecked_ = true;
    uint64_t nowMs_ = 0;
};

std::vector<std::string> transcripts()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(TRANSCRIPT_DIR))
        if (entry.path().extension() == ".txt")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class GoldenTranscript : public testing::TestWithParam<std::string> {};

TEST_P(GoldenTranscript, PlaysAsWritten)
{
    std::ifstream in(fs::path(TRANSCRIPT_DIR) / (GetParam() + ".txt"));
    ASSERT_TRUE(in) << GetParam();
    Player player;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        SCOPED_TRACE(GetParam() + ".txt:" + std::to_string(++number) + ": " + line);
        std::string verb, name;
        std::istringstream(line) >> verb;
        const std::string rest = line.substr(std::min(line.size(), verb.size() + 1));
        std::istringstream(rest) >> name;
        if (!verb.empty() && verb[0] != '#')
            player.play(verb, rest, name, rest.substr(std::min(rest.size(), name.size() + 1)));
    }
    player.finish();
}

INSTANTIATE_TEST_SUITE_P(Files, GoldenTranscript, testing::ValuesIn(transcripts()), [](const auto& test) {
    std::string name = test.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

} // namespace
} // namespace ta::sim::test
