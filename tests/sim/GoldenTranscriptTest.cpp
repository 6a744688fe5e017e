// Golden transcripts: the worked examples of the TA dialogue, the query
// lists, the submit batches and the reply formats, played between the
// program's command set and the simulated TA. One file per group in
// transcripts/, one line per step:
//
//   # text                  a comment (blank lines too)
//   ta OPTION...            a TA fresh from a reset (prefix=0 usb=1 model=A1 x25=0 clock=0
//                           p3Zero=0 oneDigitDate=1 dial=busy|noDialTone|noCarrier|silent dialDelay=MS)
//   program OPTION...       the program's switches (prefix=0 variant=N remote=1 x25=1 clock=0
//                           country=0 clearLast=1 clearAcc=1), its profile the defaults
//   set FIELD VALUE         a field of the program's profile (the names of tactl show)
//   store SLOT VALUE        what the TA holds under a key ("1%S", "$T0"); VALUE runs to the end
//   query | submit          the program's query list or batch: the ">" lines that follow
//                           must be its lines, in order, and all of them
//   > LINE                  LINE and CR go to the TA
//   >> TEXT                 TEXT goes to the TA as it is
//   wait MS                 time passes
//   < TEXT                  the TA's answer to the step before, CRs dropped, "\n" a line feed;
//                           without it a ">" line must be answered with OK
//   ... N                   N further lines of the program's list, each answered OK
//   decode ID               the answer so far is decoded under a parameter id
//   field FIELD VALUE       a field of the profile the answers were decoded into
//   holds SLOT VALUE        what the TA holds under a key
#include "tests/sim/SimTestUtil.h"

#include "atcmd/QueryList.h"
#include "atcmd/ReplyDecoder.h"
#include "atcmd/SubmitBatch.h"
#include "profile/DefaultProfile.h"
#include "profile/FieldValue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace ta::sim::test {
namespace {

namespace fs = std::filesystem;

template <typename Options>
using Setters = std::map<std::string, std::function<void(Options&, const std::string&)>>;

const Setters<SimTaOptions> kTaOptions = {
    {"prefix", [](auto& o, auto& v) { o.portPrefix = v == "1"; }},
    {"usb", [](auto& o, auto& v) { o.usb = v == "1"; }},
    {"model", [](auto& o, auto& v) { o.model = v == "A1" ? Model::QM7A1 : v == "B2" ? Model::QM7B2 : Model::Other; }},
    {"x25", [](auto& o, auto& v) { o.x25 = v == "1"; }},
    {"clock", [](auto& o, auto& v) { o.dateTime = v == "1"; }},
    {"oneDigitDate", [](auto& o, auto& v) { o.oneDigitDate = v == "1"; }},
    {"p3Zero", [](auto& o, auto& v) { o.p3Zero = v == "1"; }},
    {"dialDelay", [](auto& o, auto& v) { o.dialDelayMs = std::stoull(v); }},
    {"dial", [](auto& o, auto& v) {
         const std::map<std::string, DialOutcome> outcomes{{"busy", DialOutcome::Busy},
                                                           {"noDialTone", DialOutcome::NoDialTone},
                                                           {"noCarrier", DialOutcome::NoCarrier},
                                                           {"silent", DialOutcome::Silent}};
         o.dial = outcomes.contains(v) ? outcomes.at(v) : DialOutcome::Connect;
     }},
};

const Setters<atcmd::Options> kProgramOptions = {
    {"prefix", [](auto& o, auto& v) { o.noPortPrefix = v != "1"; }},
    {"variant", [](auto& o, auto& v) { o.taVariant = uint8_t(std::stoi(v)); }},
    {"remote", [](auto& o, auto& v) { o.remote = v == "1"; }},
    {"x25", [](auto& o, auto& v) { o.x25OnD = v == "1"; }},
    {"clock", [](auto& o, auto& v) { o.sysDateTime = v == "1"; }},
    {"country", [](auto& o, auto& v) { o.countryOption = v == "1"; }},
    {"clearLast", [](auto& o, auto& v) { o.clearLastCharge = v == "1"; }},
    {"clearAcc", [](auto& o, auto& v) { o.clearAccCharge = v == "1"; }},
};

template <typename Options>
Options parseOptions(std::istringstream& words, const Setters<Options>& setters)
{
    Options options;
    for (std::string word; words >> word;) {
        const std::size_t eq = word.find('=');
        auto it = setters.find(word.substr(0, eq));
        if (eq == std::string::npos || it == setters.end())
            ADD_FAILURE() << "unknown option " << word;
        else
            it->second(options, word.substr(eq + 1));
    }
    return options;
}

std::string unescaped(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool lineFeed = text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n';
        out += lineFeed ? '\n' : text[i];
        i += lineFeed ? 1 : 0;
    }
    return out;
}

std::string fieldText(const TaProfile& profile, const FieldInfo& field)
{
    return field.kind == FieldKind::Text ? textIn(profile, field) : std::to_string(numberIn(profile, field));
}

// One line of a transcript: the verb, the rest of the line, and the rest
// split into its first word and what follows that word.
struct Step {
    std::string verb, rest, name, value;
};

Step parseStep(const std::string& line)
{
    Step step;
    std::istringstream(line) >> step.verb;
    const std::size_t restAt = line.find_first_not_of(' ', step.verb.size());
    step.rest = restAt == std::string::npos ? "" : line.substr(restAt);
    std::istringstream(step.rest) >> step.name;
    step.value = step.rest.substr(std::min(step.rest.size(), step.name.size() + 1));
    return step;
}

class Player {
public:
    void play(const Step& step)
    {
        if (!setUp(step) && !exchange(step) && !check(step))
            ADD_FAILURE() << "unknown step " << step.verb;
    }
    void finish()
    {
        EXPECT_TRUE(pending_.empty()) << "the program sends " << pending_.size() << " lines more";
        pending_.clear();
    }

private:
    struct Sent {
        std::string line;
        int id = 0; // the entry of a query list the line asks for
    };
    bool setUp(const Step& step);
    bool exchange(const Step& step);
    bool check(const Step& step);
    void send(const std::string& text, bool withCr, int id = 0);
    void settle();
    bool decode(int id)
    {
        atcmd::DecodeTargets targets{read_, firmware_, lastCharge_, accCharge_};
        return atcmd::decodeReply(id, answer_, targets);
    }

    std::unique_ptr<SimTa> ta_ = std::make_unique<SimTa>();
    atcmd::Options program_;
    TaProfile profile_{}, read_{};
    std::string firmware_, lastCharge_, accCharge_;
    std::deque<Sent> pending_;
    std::string answer_;
    bool answerChecked_ = true;
    uint64_t nowMs_ = 0;
};

void Player::settle()
{
    if (!answerChecked_) {
        EXPECT_TRUE(endsOk(answer_)) << answer_;
    }
    answerChecked_ = true;
}

void Player::send(const std::string& text, bool withCr, int id)
{
    settle();
    ta_->receive(withCr ? text + "\r" : text, nowMs_);
    answer_ = withoutCr(ta_->takeOutput());
    answerChecked_ = !withCr;
    if (id != 0) {
        EXPECT_TRUE(decode(id)) << text << " -> " << answer_;
    }
}

bool Player::setUp(const Step& step)
{
    std::istringstream options(step.rest);
    if (step.verb == "ta") {
        settle();
        finish();
        ta_ = std::make_unique<SimTa>(parseOptions(options, kTaOptions));
    } else if (step.verb == "program") {
        program_ = parseOptions(options, kProgramOptions);
        profile_ = read_ = TaProfile{};
        buildDefaultProfile(profile_, program_.x25OnD, program_.sysDateTime);
    } else if (step.verb == "set") {
        const FieldInfo* field = findField(step.name);
        if (!field) {
            ADD_FAILURE() << "no field " << step.name;
            return true;
        }
        const Result<> stored = field->kind == FieldKind::Text
                                    ? storeText(profile_, *field, step.value)
                                    : storeNumber(profile_, *field, unsigned(std::stoul(step.value)));
        EXPECT_TRUE(stored) << step.name << ": " << (stored ? std::string() : stored.error());
    } else if (step.verb == "store") {
        ta_->setValue(step.name, step.value);
    } else {
        return false;
    }
    return true;
}

bool Player::exchange(const Step& step)
{
    if (step.verb == "query" || step.verb == "submit") {
        finish();
        if (step.verb == "query")
            for (const atcmd::QueryEntry& entry : atcmd::buildQueryList(program_))
                pending_.push_back({"AT" + atcmd::queryBody(entry), entry.id});
        else
            for (const std::string& body : atcmd::buildSubmitBatch(profile_, program_))
                pending_.push_back({"AT" + body});
    } else if (step.verb == ">") {
        Sent sent{step.rest};
        if (!pending_.empty()) {
            EXPECT_EQ(pending_.front().line, step.rest) << "the program sends another line";
            sent = pending_.front();
            pending_.pop_front();
        }
        send(sent.line, true, sent.id);
    } else if (step.verb == "...") {
        int n = std::stoi(step.rest);
        for (; n > 0 && !pending_.empty(); --n, pending_.pop_front())
            send(pending_.front().line, true, pending_.front().id);
        EXPECT_EQ(n, 0) << "the program's list ends sooner";
    } else if (step.verb == ">>") {
        send(step.rest, false);
    } else if (step.verb == "wait") {
        settle();
        nowMs_ += std::stoull(step.rest);
        ta_->tick(nowMs_);
        answer_ = withoutCr(ta_->takeOutput());
    } else {
        return false;
    }
    return true;
}

bool Player::check(const Step& step)
{
    if (step.verb == "<") {
        EXPECT_EQ(answer_, unescaped(step.rest));
        answerChecked_ = true;
    } else if (step.verb == "decode") {
        EXPECT_TRUE(decode(std::stoi(step.rest))) << answer_;
    } else if (step.verb == "holds") {
        EXPECT_EQ(ta_->value(step.name), step.value) << step.name;
    } else if (step.verb == "field") {
        const FieldInfo* field = findField(step.name);
        EXPECT_EQ(field ? fieldText(read_, *field) : "no such field", step.value) << step.name;
    } else {
        return false;
    }
    return true;
}

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
        const Step step = parseStep(line);
        ++number;
        if (step.verb.empty() || step.verb[0] == '#')
            continue;
        SCOPED_TRACE(GetParam() + ".txt:" + std::to_string(number) + ": " + line);
        player.play(step);
    }
    player.finish();
}

INSTANTIATE_TEST_SUITE_P(Files, GoldenTranscript, testing::ValuesIn(transcripts()), [](const auto& testCase) {
    std::string name = testCase.param;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

} // namespace
} // namespace ta::sim::test
