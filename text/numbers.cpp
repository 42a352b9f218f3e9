#include "text/numbers.h"

#include <algorithm>
#include <array>

#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"
#include "text/char_classes.h"
#include "text/number_marks.h"
#include "text/profile_lists.h"
#include "text/text_limits.h"

namespace sint {

namespace {

constexpr char kOrdinalMark = '|';
// Months of a year: the largest month of a date.
constexpr long kMonths = 12;
// Tokens passed over between a number and the preposition of a list or range
// of numbers before it.
constexpr std::size_t kListTokensMax = 6;
// Letters of the shortest word an ordinal agrees with.
constexpr std::size_t kAgreementWordMin = 3;
// Digits of a number joined to a word; a longer one keeps its mark unread.
constexpr std::size_t kCompoundDigitsMax = 6;

// A digit 0 to 9 at `k` of `in` (false past its end).
bool ascii_digit_at(const std::string& in, std::size_t k, const CharClassTable& classes) {
    return k < in.size() && classes.is_digit(static_cast<unsigned char>(in[k])) && in[k] >= '0' &&
           in[k] <= '9';
}

bool listed(const std::vector<std::string>& list, std::string_view word) {
    for (const std::string& entry : list)
        if (entry == word) return true;
    return false;
}

bool ends_with_any(std::string_view word, const std::vector<std::string>& endings) {
    return std::any_of(endings.begin(), endings.end(),
                       [&](const std::string& e) { return word.ends_with(e); });
}

const std::string* first_ending(std::string_view word, const std::vector<std::string>& keys,
                                const std::vector<std::string>& values) {
    for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i)
        if (word.ends_with(keys[i])) return &values[i];
    return nullptr;
}

// True when the number at `i` may agree with the word after it: the token
// before it is the sentence start, a pause or a word, not a decimal mark, a
// minus, a digit or a capitalised word inside the sentence (a name or a label:
// "Windows 2", "Pot 3"). `before` is set to that word, or left empty.
bool count_may_agree(const std::string& in, std::size_t i, const CharClassTable& classes,
                     std::string_view& before) {
    std::size_t end = i;
    while (end > 0 && in[end - 1] == ' ') --end;
    std::size_t start = end;
    while (start > 0 && in[start - 1] != ' ') --start;
    if (start == end) return true;  // the text start
    const std::string_view token(in.data() + start, end - start);
    const auto first = static_cast<unsigned char>(token[0]);
    if (!classes.is_letter(first)) return classes.is_final_or_non_final(first) && token.size() == 1;
    for (char c : token)
        if (!classes.is_letter(static_cast<unsigned char>(c))) return false;
    if (classes.is_capital(first)) {
        // A capital at the sentence start is no name.
        std::size_t k = start;
        while (k > 0 && in[k - 1] == ' ') --k;
        if (k > 0 && !classes.is_final(static_cast<unsigned char>(in[k - 1]))) return false;
    }
    before = token;
    return true;
}

// The date whose day or month is the digit run from `i` to `j`; null for none.
const DateSpan* date_at(const std::vector<DateSpan>& dates,
                        const std::vector<SentenceToken>& tokens, std::size_t i, std::size_t j) {
    const std::size_t index = token_at(tokens, i);
    if (index >= tokens.size() || tokens[index].begin != i || tokens[index].text.size() != j - i)
        return nullptr;
    for (const DateSpan& date : dates)
        if (date.day == index || date.month == index) return &date;
    return nullptr;
}

}  // namespace

void close_sentence(std::string& text, const CharClassTable& classes) {
    std::size_t last = text.find_last_not_of(' ');
    if (last == std::string::npos || !classes.is_final(static_cast<unsigned char>(text[last])))
        text += " .";
}

bool NumberWords::load_words(ProfileFile& profile) {
    // Each list of exactly `count` words, copied in order into `targets`.
    const auto read = [&](std::string_view key, const std::vector<std::string*>& targets) {
        std::vector<std::string> items;
        if (read_list_items(profile, key, '\t', items) != static_cast<int>(targets.size())) {
            log_write("Napacno stevilo besed (" + std::string(key) + ")");
            return false;
        }
        auto item = items.begin();
        for (std::string* target : targets) *target = *item++;
        return true;
    };
    const auto scale = [](Scale& s) {
        return std::vector<std::string*>{&s.counts[0], &s.counts[1], &s.counts[2], &s.counts[3],
                                         &s.forms[0],  &s.forms[1],  &s.forms[2],  &s.forms[3]};
    };
    CountForms& two = count_forms_[0];
    CountForms& three = count_forms_[1];
    CountForms& four = count_forms_[2];
    return read("stevnik_milijarde", scale(scales_[0])) &&
           read("stevnik_milijoni", scale(scales_[1])) &&
           read("stevnik_2_do_4",
                {&two.feminine, &two.masculine, &two.genitive, &two.instrumental, &three.feminine,
                 &three.masculine, &three.genitive, &three.instrumental, &four.feminine,
                 &four.masculine, &four.genitive, &four.instrumental}) &&
           read("stevnik_tisoc", {&thousand_, &one_thousand_, &two_thousand_}) &&
           read("stevnik_sestavljeni",
                {&compound_one_, &compound_two_, &times_suffix_, &times_one_}) &&
           read("vrst_konc_rodilnik", {&genitive_ending_}) &&
           read("vrst_konc_privzeti", {&default_ending_}) && read("stevnik_pika", {&digit_dot_});
}

int NumberWords::load(ProfileFile& profile) {
    const bool ok = read_list_items(profile, "gl_stevnik", '\t', cardinal_) ==
                        static_cast<int>(kNumberWordCount) &&
                    read_list_items(profile, "vrst_koren", '\t', ordinal_) ==
                        static_cast<int>(kNumberWordCount) &&
                    read_list_items(profile, "mesec", '\t', months_) >= 1 &&
                    read_list_items(profile, "nasl_konc_mes", '\t', month_word_endings_) >= 1 &&
                    read_list_items(profile, "vrst_konc_mes", '\t', month_endings_) ==
                        static_cast<int>(month_word_endings_.size()) &&
                    read_list_items(profile, "nasl_konc", '\t', word_endings_) >= 1 &&
                    read_list_items(profile, "vrst_konc", '\t', endings_) ==
                        static_cast<int>(word_endings_.size());
    const bool words_ok = load_words(profile);
    const auto optional_list = [&](std::string_view key, std::vector<std::string>& out) {
        out.clear();
        if (profile.count_items(key, '\t') > 0) read_list_items(profile, key, '\t', out);
    };
    optional_list("stevnik_rodilnik", genitive_prepositions_);
    optional_list("stevnik_orodnik", instrumental_prepositions_);
    optional_list("stevnik_drugi_predlogi", other_prepositions_);
    optional_list("stevnik_zenski_i", feminine_i_endings_);
    optional_list("stevnik_brez_ujemanja", no_agreement_words_);
    optional_list("stevnik_oznake", label_words_);
    optional_list("datum_rodilnik", date_rules_.genitive_prepositions);
    optional_list("stevnik_vezniki", date_rules_.list_words);
    optional_list("datum_glagoli", date_rules_.verb_words);
    optional_list("deleznik_konc", date_rules_.participle_endings);
    // Letters and endings that the rules of agreement test; an absent list is
    // logged and its rule never applies.
    std::vector<std::string> models;
    read_rule_list(profile, "vrst_vzorci", models);
    ordinal_models_ = {};
    if (models.size() == ordinal_models_.size()) {
        // A model's stem is the model without the ending of "prvi".
        for (std::size_t k = 0; k < models.size(); ++k) {
            const bool ends = models[k].ends_with(default_ending_);
            ordinal_models_[k] = {models[k],
                                  models[k].size() - (ends ? default_ending_.size() : 0)};
        }
    } else if (!models.empty()) {
        log_write("Napacno stevilo besed (vrst_vzorci)");
    }
    read_rule_list(profile, "vrst_mehke_osnove", soft_stem_ends_);
    read_rule_list(profile, "vrst_konc_rodilnik_besede", genitive_word_endings_);
    read_rule_list(profile, "stevnik_konc_rodilnik", count_endings_.genitive);
    read_rule_list(profile, "stevnik_konc_ne_rodilnik", count_endings_.not_genitive);
    read_rule_list(profile, "stevnik_konc_orodnik", count_endings_.instrumental);
    read_rule_list(profile, "stevnik_konc_dvojina", count_endings_.dual);
    read_rule_list(profile, "stevnik_konc_mnozina", count_endings_.masculine_plural);
    // `datum_predlogi`: pairs of a preposition and a case name.
    std::vector<std::string> pairs;
    optional_list("datum_predlogi", pairs);
    date_rules_.preposition_cases.clear();
    bool pairs_ok = pairs.size() % 2 == 0;
    for (std::size_t k = 0; pairs_ok && k + 1 < pairs.size(); k += 2) {
        GrammarCase kase{};
        pairs_ok = parse_case(pairs[k + 1], kase);
        date_rules_.preposition_cases.emplace_back(pairs[k], kase);
    }
    soft_endings_.clear();
    const bool soft_ok = profile.count_items("vrst_konc_mehki", '\t') <= 0 ||
                         read_list_items(profile, "vrst_konc_mehki", '\t', soft_endings_) ==
                             static_cast<int>(word_endings_.size());
    if (!ok || !words_ok || !soft_ok || !pairs_ok) {
        report_error("Napaka: v ini datoteki (ini_gfp): pripravi_stevilke");
        return kNotPossible;
    }
    return 0;
}

NumberWords::Ending NumberWords::ordinal_ending(std::string_view next_word) const {
    // "1. je", "3. in", "5. v": a word this short is no noun the ordinal agrees with.
    if (next_word.size() < kAgreementWordMin) return {default_ending_, default_ending_};
    for (const std::string& month : months_) {
        if (month != next_word) continue;
        if (const std::string* e = first_ending(next_word, month_word_endings_, month_endings_))
            return {*e, *e};
        break;
    }
    for (std::size_t i = 0; i < word_endings_.size() && i < endings_.size(); ++i) {
        if (!next_word.ends_with(word_endings_[i])) continue;
        const std::string& soft = i < soft_endings_.size() ? soft_endings_[i] : endings_[i];
        return {endings_[i], soft};
    }
    return {default_ending_, default_ending_};
}

bool NumberWords::soft_stem(long value) const {
    // The stem alone ends with the space written in place of the ending.
    const std::string stem = words(value, true, std::string());
    return stem.size() >= 2 &&
           ends_with_any(std::string_view(stem).substr(0, stem.size() - 1), soft_stem_ends_);
}

std::string NumberWords::ordinal_words(long value, std::string_view next_word,
                                       std::string_view before) const {
    const bool month = std::find(months_.begin(), months_.end(), next_word) != months_.end();
    if (forms_ && !month && next_word.size() >= kAgreementWordMin) {
        const NumberContext context{before.empty() ? nullptr : forms_->preposition(before),
                                    forms_->noun(next_word)};
        if (const auto form = ordinal_agreement(context))
            if (std::string agreeing = agreeing_ordinal(value, *form); !agreeing.empty())
                return agreeing;
    }
    const Ending ending = ordinal_ending(next_word);
    if (ending.soft != ending.hard && soft_stem(value)) return words(value, true, ending.soft);
    return words(value, true, ending.hard);
}

std::string NumberWords::agreeing_ordinal(long value, const FormAnalysis& form) const {
    if (!forms_) return std::string();
    const std::string& ending =
        forms_->ordinal_ending(soft_stem(value), form.gender, form.number, form.kase);
    return ending.empty() ? std::string() : words(value, true, ending);
}

std::string NumberWords::declined_count(const std::string& cardinal, long value,
                                        const FormAnalysis& form) const {
    const long d = value % 100;
    if (!forms_ || d <= 0) return std::string();
    const std::string plain = cardinal_[static_cast<std::size_t>(d)] + ' ';
    if (!cardinal.ends_with(plain)) return std::string();
    // The count's own number: one is singular, two dual, the rest plural.
    const GrammarNumber own = d == 1   ? GrammarNumber::sg
                              : d == 2 ? GrammarNumber::du
                                       : GrammarNumber::pl;
    const std::string* declined =
        forms_->cardinal(cardinal_[static_cast<std::size_t>(d)], form.gender, own, form.kase);
    if (!declined) return std::string();
    return cardinal.substr(0, cardinal.size() - plain.size()) + *declined + ' ';
}

std::string NumberWords::preposition_before(const std::vector<SentenceToken>& tokens,
                                            std::size_t index,
                                            const CharClassTable& classes) const {
    if (!forms_ || index > tokens.size()) return std::string();
    const auto number = [&](std::string_view t) {
        return !t.empty() && ascii_digit_at(std::string(t), 0, classes);
    };
    // Back past the numbers of a list or a range ("v 10. in 11. stoletju",
    // "5 do 6 km") to the word before the first of them.
    for (std::size_t k = index; k > 0 && index - k <= kListTokensMax; --k) {
        const std::string_view token = tokens[k - 1].text;
        std::string word;
        for (char c : token)
            word += static_cast<char>(classes.to_lower(static_cast<unsigned char>(c)));
        const bool range = k >= 2 && listed(date_rules_.list_words, word) &&
                           (number(tokens[k - 2].text) || (tokens[k - 2].text.size() == 1 &&
                                                           tokens[k - 2].text[0] == kOrdinalMark));
        if (number(token) || (token.size() == 1 && token[0] == kOrdinalMark) || range) continue;
        return forms_->preposition(word) ? word : std::string();
    }
    return std::string();
}

std::string NumberWords::agreeing_count(std::string cardinal, long value, std::string_view before,
                                        std::string_view next_word) const {
    const long d = value % 100;
    if (value < 0 || value >= 1000 || d < 2 || d > 4 || next_word.size() < kAgreementWordMin ||
        listed(no_agreement_words_, next_word) || listed(no_agreement_words_, before) ||
        listed(label_words_, before))
        return cardinal;
    const std::string& plain = cardinal_[static_cast<std::size_t>(d)];
    const std::string plain_word = plain + ' ';
    if (!cardinal.ends_with(plain_word)) return cardinal;
    const CountForms& forms = count_forms_[static_cast<std::size_t>(d - 2)];
    const std::string* form = nullptr;
    // After a preposition of the genitive or the instrumental, a word of
    // that case's endings takes the count's form ("od treh otrok", "s tremi
    // otroki"); another form keeps the count.
    const CountEndings& e = count_endings_;
    const bool genitive_form = !e.not_genitive.empty() && !ends_with_any(next_word, e.not_genitive);
    const bool instrumental_form = ends_with_any(next_word, e.instrumental);
    if (ends_with_any(next_word, e.genitive) ||
        (listed(genitive_prepositions_, before) && genitive_form)) {
        form = &forms.genitive;  // "iz dveh jajc", "v treh letih"
    } else if (listed(instrumental_prepositions_, before) && instrumental_form) {
        form = &forms.instrumental;
    } else if (listed(genitive_prepositions_, before) ||
               listed(instrumental_prepositions_, before)) {
        return cardinal;
    } else if (d == 2) {
        // The dual of a feminine or neuter noun, not of a masculine one.
        if (ends_with_any(next_word, e.dual)) form = &forms.feminine;
    } else if (listed(other_prepositions_, before)) {
        return cardinal;  // "za 3 dni", "na 4 dele": no nominative
    } else if (ends_with_any(next_word, e.masculine_plural) &&
               !ends_with_any(next_word, feminine_i_endings_)) {
        form = &forms.masculine;  // "trije fantje", "štirje otroci", but "tri stvari"
    }
    if (!form) return cardinal;
    cardinal.resize(cardinal.size() - plain_word.size());
    return cardinal + *form + ' ';
}

std::string NumberWords::words(long n, bool ordinal, const std::string& ending) const {
    std::string out;
    bool thousands = false;
    std::size_t hundreds = 0;  // the word index of the hundreds, 0 for none
    if (n < 0 || n > kNumberWordsMax) n = 0;
    if (n >= 100000) {
        out += cardinal_[static_cast<std::size_t>(99 + n / 100000)] + ' ';
        n %= 100000;
        thousands = true;
    }
    if (n > (thousands ? 999 : 1999)) {
        const long count = n / 1000;
        if (count == 1)
            out += one_thousand_ + ' ';
        else if (count == 2)
            out += two_thousand_ + ' ';
        else
            out += cardinal_[static_cast<std::size_t>(count)] + ' ';
        n %= 1000;
        thousands = true;
    } else if (n > 999) {
        n -= 1000;
        thousands = true;
    }
    if (thousands) out += thousand_ + ' ';
    if (n >= 100) {
        hundreds = static_cast<std::size_t>(99 + n / 100);
        out += cardinal_[hundreds] + ' ';
        n %= 100;
    }
    const auto idx = static_cast<std::size_t>(n);
    if (!ordinal) {
        if (n > 0)
            out += cardinal_[idx] + ' ';
        else if (!thousands && hundreds == 0)
            out += ordinal_[0] + ' ';
        return out;
    }
    if (n > 0) {
        out += ordinal_[idx] + ' ';
    } else if (hundreds != 0) {
        // Round hundreds: the ordinal stem in place of the cardinal ("dvestot-").
        out.resize(out.size() - cardinal_[hundreds].size() - 1);
        out += ordinal_[hundreds] + ' ';
    } else if (!thousands) {
        out += ordinal_[0] + ' ';
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    out += ending + ' ';
    return out;
}

std::string NumberWords::compound_words(long value, std::string_view suffix) const {
    std::string out;
    for (char c : words(value, false, std::string()))
        if (c != ' ') out += c;
    const bool times = suffix.starts_with(times_suffix_);
    if (out.ends_with(cardinal_[1])) {
        out.resize(out.size() - cardinal_[1].size());
        out += times ? times_one_ : compound_one_;
    } else if (!times && out.ends_with(cardinal_[2])) {
        out.resize(out.size() - cardinal_[2].size());
        out += compound_two_;
    }
    return out;
}

std::string NumberWords::grouped_words(long long value) const {
    if (value <= kNumberWordsMax) return words(static_cast<long>(value), false, std::string());
    std::string out;
    for (const Scale& scale : scales_) {
        const long count = static_cast<long>((value / scale.size) % 1000);
        if (count == 0) continue;
        const long d = count % 100;
        if (d >= 1 && d <= 4) {
            if (count > d) out += words(count - d, false, std::string());
            out += scale.counts[static_cast<std::size_t>(d - 1)] + ' ';
        } else {
            out += words(count, false, std::string());
        }
        const std::size_t form = d == 1 ? 0 : d == 2 ? 1 : (d == 3 || d == 4) ? 2 : 3;
        out += scale.forms[form] + ' ';
    }
    const long rest = static_cast<long>(value % 1000000);
    if (rest > 0) out += words(rest, false, std::string());
    return out;
}

bool NumberWords::genitive_before(const std::string& in, std::size_t p,
                                  const CharClassTable& classes) const {
    while (p > 0 && in[p - 1] == ' ') --p;
    std::string word;
    while (p > 0 && classes.is_letter(static_cast<unsigned char>(in[p - 1])))
        word.insert(word.begin(),
                    static_cast<char>(classes.to_lower(static_cast<unsigned char>(in[--p]))));
    return !word.empty() && listed(date_rules_.genitive_prepositions, word);
}

std::string NumberWords::date_words(long value, GrammarCase kase) const {
    if (kase == GrammarCase::nom) return ordinal_words(value, std::string_view());
    // A day and a month are masculine ("dan", "mesec").
    std::string agreeing = agreeing_ordinal(value, {Gender::m, GrammarNumber::sg, kase});
    if (!agreeing.empty()) return agreeing;
    // Without the lexicon the genitive keeps its ending, the rest the nominative.
    return kase == GrammarCase::gen ? words(value, true, genitive_ending_)
                                    : ordinal_words(value, std::string_view());
}

std::string NumberWords::ordinal_at(const std::string& in, std::size_t i, std::size_t j, long value,
                                    const std::vector<SentenceToken>& tokens,
                                    const CharClassTable& classes) const {
    const std::size_t size = in.size();
    const auto word_at = [&](std::size_t w) {
        std::string word;
        while (w < size && word.size() < kEndingWordMax &&
               classes.is_small(static_cast<unsigned char>(in[w])))
            word += in[w++];
        return word;
    };
    std::size_t next_at = std::min(j + 3, size);
    std::string next = word_at(next_at);
    // "od 10. do 21. ure", "10. in 11. stoletje": both agree with the noun.
    std::size_t k = std::min(j + 3, size) + next.size();
    if (next.size() < kAgreementWordMin && k < size && in[k] == ' ' &&
        ascii_digit_at(in, k + 1, classes)) {
        ++k;
        while (ascii_digit_at(in, k, classes)) ++k;
        if (k + 3 < size && in[k] == ' ' && in[k + 1] == kOrdinalMark && in[k + 2] == ' ') {
            next_at = k + 3;
            next = word_at(next_at);
        }
    }
    // "do 2. razreda", "iz 3. nadstropja": after a preposition of the
    // genitive a word in -a (`vrst_konc_rodilnik_besede`) is a masculine or
    // neuter genitive.
    if (!next.empty() && ends_with_any(next, genitive_word_endings_) &&
        genitive_before(in, i, classes))
        return words(value, true, genitive_ending_);
    // The noun (past adjectives) and the preposition before the number choose
    // the ordinal's form: "na 3. mestu", "v 2. svetovni vojni".
    const bool month = std::find(months_.begin(), months_.end(), next) != months_.end();
    if (forms_ && !month && next.size() >= kAgreementWordMin) {
        const std::size_t index = token_at(tokens, i);
        const NumberContext context =
            number_context(tokens, token_at(tokens, next_at),
                           preposition_before(tokens, index, classes), *forms_, classes);
        if (const auto form = ordinal_agreement(context))
            if (std::string agreeing = agreeing_ordinal(value, *form); !agreeing.empty())
                return agreeing;
    }
    return ordinal_words(value, next);
}

std::string NumberWords::cardinal_at(const std::string& in, std::size_t i, std::size_t j,
                                     long value, const std::vector<SentenceToken>& tokens,
                                     const CharClassTable& classes) const {
    std::string cardinal = words(value, false, std::string());
    const std::size_t size = in.size();
    std::string_view before;
    if (j + 1 >= size || in[j] != ' ' || !count_may_agree(in, i, classes, before)) return cardinal;
    std::size_t w = j + 1;
    while (w < size && w - j <= kEndingWordMax &&
           classes.is_small(static_cast<unsigned char>(in[w])))
        ++w;
    // A word of small letters alone, not the start of "hišA1".
    if (w != size && in[w] != ' ') return cardinal;
    std::string before_lower;
    for (char c : before)
        before_lower += static_cast<char>(classes.to_lower(static_cast<unsigned char>(c)));
    const std::string_view next_word = std::string_view(in).substr(j + 1, w - j - 1);
    // The lexicon knows the noun: the preposition and the noun's form choose
    // the case ("po šestih tednih", "s sedmimi igralci", "z eno nogo").
    if (forms_ && value < 1000 && !listed(no_agreement_words_, next_word) &&
        !listed(no_agreement_words_, before_lower) && !listed(label_words_, before_lower)) {
        const std::string preposition = preposition_before(tokens, token_at(tokens, i), classes);
        // The first number of a range takes the case the last one takes with
        // the noun after it: "pri 4 do 5 stopinjah", "od 60 do 75 evrov".
        std::size_t after = token_at(tokens, j + 1);
        long governing = value % 100;
        if (after + 1 < tokens.size() && listed(date_rules_.list_words, tokens[after].text) &&
            forms_->cardinal_form(tokens[after + 1].text)) {
            after += 2;  // "s 3 do štirimi kilometri": the unit stage read the last
        } else if (after + 1 < tokens.size() &&
                   listed(date_rules_.list_words, tokens[after].text) &&
                   ascii_digit_at(std::string(tokens[after + 1].text), 0, classes)) {
            governing = 0;  // the last two digits of the last number
            for (char c : tokens[after + 1].text) {
                if (c < '0' || c > '9') break;
                governing = (governing * 10 + (c - '0')) % 100;
            }
            after += 2;
        }
        // "od 10 do 12 ljudi": a word that keeps the count keeps both.
        if (after < tokens.size() && listed(no_agreement_words_, tokens[after].text))
            return agreeing_count(std::move(cardinal), value, before_lower, next_word);
        const NumberContext context = number_context(tokens, after, preposition, *forms_, classes);
        if (const auto form = count_agreement(governing, context))
            if (std::string declined = declined_count(cardinal, value, *form); !declined.empty())
                return declined;
    }
    return agreeing_count(std::move(cardinal), value, before_lower, next_word);
}

void NumberWords::convert(const std::string& in, std::string& out,
                          const CharClassTable& classes) const {
    out.clear();
    const std::size_t size = in.size();
    std::size_t i = 0;
    const auto digit = [&](std::size_t k) { return ascii_digit_at(in, k, classes); };
    const std::vector<SentenceToken> tokens = sentence_tokens(in);
    const std::vector<DateSpan> dates = find_dates(tokens, date_rules_, forms_, classes);
    while (i < size) {
        if (in[i] == kGroupedMark || in[i] == kJoinMark) {
            ++i;  // a mark whose digits the unit stage took
            continue;
        }
        if (!digit(i)) {
            out += in[i++];
            continue;
        }
        std::size_t j = i;
        while (digit(j)) ++j;
        if (j < size && in[j] == kJoinMark && j - i <= kCompoundDigitsMax &&
            (in[i] != '0' || j - i == 1)) {
            // "21-letni": the number's words and the word as one word.
            long value = 0;
            for (std::size_t k = i; k < j; ++k) value = value * 10 + (in[k] - '0');
            std::size_t w = j + 1;
            while (w < size && classes.is_small(static_cast<unsigned char>(in[w]))) ++w;
            out += compound_words(value, std::string_view(in).substr(j + 1, w - j - 1));
            i = j + 1;
            continue;
        }
        if (j < size && in[j] == kGroupedMark) {
            // "1.234.567" as the splitter left it: read in full.
            long long grouped = 0;
            for (std::size_t k = i; k < j && grouped <= kGroupedNumberMax; ++k)
                grouped = grouped * 10 + (in[k] - '0');
            if (grouped <= kGroupedNumberMax && in[i] != '0') {
                out += grouped_words(grouped);
                i = j + 1;
                if (i < size && in[i] == ' ') ++i;
                continue;
            }
        }
        j = i;
        long value = 0;
        bool too_big = false;
        while (digit(j)) {
            if (!too_big) {
                value = value * 10 + (in[j] - '0');
                too_big = value > kNumberWordsMax;
            }
            ++j;
        }
        // "250.000": the splitter writes a dot between digits as an inner dot
        // ('"'); groups of three digits after it continue the number.
        const bool after_group = i >= 3 && in[i - 1] == ' ' && in[i - 2] == '"' && in[i - 3] == ' ';
        if (!too_big && !after_group && j - i <= 3 && in[i] != '0') {
            std::size_t k = j;
            long grouped = value;
            while (k + 6 <= size && in[k] == ' ' && in[k + 1] == '"' && in[k + 2] == ' ' &&
                   digit(k + 3) && digit(k + 4) && digit(k + 5) && !digit(k + 6) &&
                   grouped <= kNumberWordsMax) {
                grouped = grouped * 1000 + (in[k + 3] - '0') * 100 + (in[k + 4] - '0') * 10 +
                          (in[k + 5] - '0');
                k += 6;
            }
            // A value beyond the number words keeps its groups apart.
            if (grouped <= kNumberWordsMax) {
                value = grouped;
                j = k;
            }
        }
        // "Pridem 20. 9.": the month of a date whose dot also ends the sentence.
        const bool month_at_end =
            !too_big && value >= 1 && value <= kMonths && i >= 4 && in[i - 1] == ' ' &&
            in[i - 2] == kOrdinalMark && in[i - 3] == ' ' && digit(i - 4) && j + 1 < size &&
            in[j] == ' ' && in[j + 1] == '.' && (j + 2 == size || in[j + 2] == ' ');
        // The day or the month of a date, in the case chosen for it.
        if (const DateSpan* date = date_at(dates, tokens, i, j); date && !too_big) {
            out += date_words(value, date->kase);
            i = j + 1 < size && in[j + 1] == kOrdinalMark ? std::min(j + 3, size)
                                                          : std::min(j + 1, size);
            continue;
        }
        if (month_at_end) {
            out += ordinal_words(value, std::string_view());
            i = j + 1;
            continue;
        }
        const bool ordinal = j + 1 < size && in[j + 1] == kOrdinalMark;
        if (too_big || (in[i] == '0' && !ordinal)) {
            std::string spoken;
            while (digit(i) && spoken.size() <= kDigitReadingMax) {
                spoken += cardinal_[static_cast<std::size_t>(in[i] - '0')] + ' ';
                if (i + 1 < size && in[i + 1] == kOrdinalMark) {
                    spoken += digit_dot_ + ' ';
                    i += 3;
                } else {
                    ++i;
                }
            }
            out += spoken;
            if (i < size && in[i] == ' ') ++i;
        } else if (ordinal) {
            out += ordinal_at(in, i, j, value, tokens, classes);
            i = std::min(j + 3, size);
        } else {
            out += cardinal_at(in, i, j, value, tokens, classes);
            i = j < size && in[j] == ' ' ? j + 1 : j;  // the words end with their own space
        }
        if (out.size() > kOutputSoftLimit) {
            const std::size_t space = out.rfind(' ', kOutputSoftLimit);
            out.resize(space == std::string::npos ? 0 : space);
            report_error("*** Stavek je predolg. Ostanek stavka ne bo pretvorjen.");
            break;
        }
    }
    close_sentence(out, classes);
}

}  // namespace sint
