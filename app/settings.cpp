// Command-line settings: the one 8-bit command-line text split into words,
// quoted runs joined, each key=value word stored lower-cased, and the five
// settings taken from the table. Pure text processing; no platform service.
#include "app/settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <system_error>

Settings settings;
std::map<std::string, std::string> settingsMap;
std::vector<std::string> commandWords;

namespace {

// Every word is copied into a buffer of this size before it is split at "=":
// at most 259 characters and the terminating zero. A longer word does not fit
// and is dropped like any other malformed word.
constexpr std::size_t wordBufferSize = 260;

// White space as the C locale's isspace sees it, whatever the current locale.
bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Only A to Z change: the text is in the ANSI code page, and bytes of 128 and
// above must stay as they are whatever the locale says about them.
void LowerAscii(std::string& text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
}

bool HasOddQuotes(const std::string& word) {
    return std::count(word.begin(), word.end(), '"') % 2 != 0;
}

// A word with an odd number of double quotes opens a join: the following
// words are appended to it, one space before each, up to and including the
// next word with an odd count, or to the end of the list when none comes. The
// quotes stay in the text. Appended words are not examined as openers.
void JoinQuotedWords(std::vector<std::string>& words) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (!HasOddQuotes(words[i])) {
            continue;
        }
        std::size_t j = i + 1;
        bool closed = false;
        while (j < words.size() && !closed) {
            words[i] += ' ';
            words[i] += words[j];
            closed = HasOddQuotes(words[j]);
            ++j;
        }
        words.erase(words.begin() + static_cast<std::ptrdiff_t>(i + 1),
                    words.begin() + static_cast<std::ptrdiff_t>(j));
    }
}

// Adds one word to settingsMap when it has the key=value shape; "=" runs
// before the key and between key and value are skipped, and whatever follows
// the next "=" after the value is lost.
void StoreWord(const std::string& word) {
    char wordBuffer[wordBufferSize];
    if (word.size() >= sizeof wordBuffer) {
        return;
    }
    std::memcpy(wordBuffer, word.c_str(), word.size() + 1);
    std::vector<std::string> pieces = SplitString(wordBuffer, "=", 2);
    if (pieces.size() != 2) {
        return;
    }
    LowerAscii(pieces[0]);
    LowerAscii(pieces[1]);
    settingsMap[pieces[0]] = std::move(pieces[1]);
}

const std::string* FindSetting(const char* key) {
    const auto entry = settingsMap.find(key);
    return entry != settingsMap.end() ? &entry->second : nullptr;
}

} // namespace

std::vector<std::string> SplitString(const std::string& text, const std::string& delimiters,
                                     int limit) {
    std::vector<std::string> pieces;
    std::size_t start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        if (limit >= 0 && pieces.size() >= static_cast<std::size_t>(limit)) {
            break;
        }
        std::size_t end = text.find_first_of(delimiters, start);
        if (end == std::string::npos) {
            end = text.size();
        }
        pieces.emplace_back(text, start, end - start);
        start = text.find_first_not_of(delimiters, end);
    }
    return pieces;
}

void ParseCommandLine(const char* commandLine) {
    // Only the space separates words; tabs stay inside them, as in the
    // Windows program.
    commandWords = SplitString(commandLine != nullptr ? commandLine : "", " ", -1);
    JoinQuotedWords(commandWords);

    settingsMap.clear();
    for (const std::string& word : commandWords) {
        StoreWord(word);
    }

    if (const std::string* value = FindSetting("width")) {
        settings.width = ParseInteger(value->c_str());
    }
    if (const std::string* value = FindSetting("height")) {
        settings.height = ParseInteger(value->c_str());
    }
    if (const std::string* value = FindSetting("time")) {
        settings.time = ParseSeconds(value->c_str());
    }
    if (const std::string* value = FindSetting("fade")) {
        settings.fade = ParseSeconds(value->c_str());
    }
    // The map's node keeps the text where it is until FreeSettings.
    const std::string* path = FindSetting("path");
    settings.path = path != nullptr ? path->c_str() : "";
}

namespace {

// Skips the leading C-locale white space and an optional sign, as strtol and
// atof do; returns the first character after them.
const char* SkipSpaceAndSign(const char* p, bool& negative) {
    while (IsCSpace(*p)) {
        ++p;
    }
    negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    return p;
}

} // namespace

int32_t ParseInteger(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    bool negative = false;
    const char* p = SkipSpaceAndSign(text, negative);
    // The magnitude stops growing one past INT32_MAX, which is enough to tell
    // both ends of the range; it never overflows however many digits follow.
    constexpr int64_t magnitudeLimit = int64_t{INT32_MAX} + 1;
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) {
        magnitude = std::min(magnitude * 10 + (*p - '0'), magnitudeLimit);
    }
    if (negative) {
        return static_cast<int32_t>(-magnitude);
    }
    return static_cast<int32_t>(std::min(magnitude, int64_t{INT32_MAX}));
}

float ParseSeconds(const char* text) {
    if (text == nullptr) {
        return 0.0f;
    }
    bool negative = false;
    const char* p = SkipSpaceAndSign(text, negative);

    // Validate the number's extent by hand, keeping the decimal exponent of
    // its first nonzero digit: when the conversion reports the value out of
    // range, that exponent tells overflow from underflow.
    const char* number = p;
    bool hasDigits = false;
    bool nonZero = false;
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) {
        hasDigits = true;
        if (nonZero) {
            ++magnitude;
        } else if (*p != '0') {
            nonZero = true;
        }
    }
    if (*p == '.') {
        ++p;
        for (; IsDigit(*p); ++p) {
            hasDigits = true;
            if (!nonZero) {
                --magnitude;
                nonZero = *p != '0';
            }
        }
    }
    if (!hasDigits) {
        return 0.0f;
    }
    // An exponent belongs to the number only when at least one digit follows
    // the "e" and its sign.
    if (*p == 'e' || *p == 'E') {
        const char* e = p + 1;
        bool negativeExponent = false;
        if (*e == '+' || *e == '-') {
            negativeExponent = *e == '-';
            ++e;
        }
        if (IsDigit(*e)) {
            // Clamped far beyond any double's range, so it never overflows.
            int64_t exponent = 0;
            for (; IsDigit(*e); ++e) {
                exponent = std::min<int64_t>(exponent * 10 + (*e - '0'), 100000);
            }
            magnitude += negativeExponent ? -exponent : exponent;
            p = e;
        }
    }

    double value = 0.0;
    const std::from_chars_result result = std::from_chars(number, p, value);
    if (result.ec == std::errc::result_out_of_range) {
        // As strtod: HUGE_VAL on overflow, zero when even the smallest
        // denormal is too large.
        value = magnitude > 0 ? HUGE_VAL : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return static_cast<float>(negative ? -value : value);
}

void ApplyFadeRule(Settings& s) {
    // Strict: equal values stay, and a NaN on either side changes nothing.
    if (s.time < s.fade) {
        s.fade = s.time;
    }
}

void FreeSettings() {
    settings.path = "";
    settingsMap.clear();
    commandWords = std::vector<std::string>();
}
