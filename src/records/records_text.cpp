#include "records/records_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>

#include "base/line_splitter.h"

namespace rw {
namespace {

constexpr size_t kMaxListEntries = 0xFF;
constexpr size_t kMaxFieldBytes = 0xFF;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isBareByte(unsigned char c) { return c > 0x20 && c < 0x7F && c != '"' && c != '#' && c != '\\'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string hexByte(uint8_t b) {
    static const char kDigits[] = "0123456789abcdef";
    return {kDigits[b >> 4], kDigits[b & 0xF]};
}

// A name as the text writes it: bare when it can be, else quoted with escapes.
std::string recordsTextName(std::string_view nameField) {
    bool bare = !nameField.empty();
    for (char c : nameField) bare = bare && isBareByte(static_cast<unsigned char>(c));
    if (bare) return std::string(nameField);
    std::string out = "\"";
    for (char c : nameField) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b >= 0x7F) {
            out += "\\x" + hexByte(b);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into tokens; a '#' outside quotes ends it.
Result<std::vector<Token>> tokenize(std::string_view line) {
    auto bad = [](std::string text) { return Failure{FailureKind::malformed, std::move(text)}; };
    std::vector<Token> tokens;
    size_t i = 0;
    const size_t n = line.size();
    while (true) {
        while (i < n && isBlank(line[i])) ++i;
        if (i == n || line[i] == '#') return tokens;
        Token token;
        if (line[i] == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const auto c = static_cast<unsigned char>(line[i]);
                if (c == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (c == '\\') {
                    if (i + 1 >= n) return bad("a backslash ends the line; write \\\\ for a backslash");
                    const char e = line[i + 1];
                    if (e == '\\' || e == '"') {
                        token.text.push_back(e);
                        i += 2;
                    } else if (e == 'x') {
                        const int hi = i + 2 < n ? hexValue(line[i + 2]) : -1;
                        const int lo = i + 3 < n ? hexValue(line[i + 3]) : -1;
                        if (hi < 0 || lo < 0) return bad("\\x needs two hex digits");
                        token.text.push_back(static_cast<char>(hi * 16 + lo));
                        i += 4;
                    } else {
                        return bad(std::string("unknown escape \\") + e + "; use \\\", \\\\ or \\xHH");
                    }
                    continue;
                }
                if (c < 0x20 || c == 0x7F) return bad("control byte 0x" + hexByte(c) + " in quotes; write it as \\x" + hexByte(c));
                token.text.push_back(static_cast<char>(c));
                ++i;
            }
            if (!closed) return bad("missing closing quote");
            if (i < n && !isBlank(line[i]) && line[i] != '#') return bad("expected a blank after the closing quote");
        } else {
            while (i < n && !isBlank(line[i]) && line[i] != '#') {
                const auto c = static_cast<unsigned char>(line[i]);
                if (c == '"') return bad("unexpected quote inside a word");
                if (!isBareByte(c)) return bad("byte 0x" + hexByte(c) + " outside quotes; put the name in quotes and write \\x" + hexByte(c));
                token.text.push_back(static_cast<char>(c));
                ++i;
            }
        }
        tokens.push_back(std::move(token));
    }
}

template <typename T>
std::optional<T> parseNumber(const Token& token) {
    if (token.quoted || token.text.empty() || token.text[0] == '+') return std::nullopt;
    T value{};
    const char* first = token.text.data();
    const char* last = first + token.text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return std::nullopt;
    return value;
}

class TextParser {
public:
    Result<RecordsText> run(std::string_view text, std::string_view source) {
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // editors' UTF-8 mark
        LineSplitter lines(text);
        std::string_view line;
        while (!failed() && lines.next(line)) {
            ++lineNo_;
            parseLine(line);
        }
        if (!failed()) closeBlock();
        if (failed()) {
            return Failure{FailureKind::malformed,
                           std::string(source) + ":" + std::to_string(error_.line) + ": error: " + error_.message};
        }
        result_.hasRevision = revisionLine_ != 0;
        std::stable_sort(result_.warnings.begin(), result_.warnings.end(),
                         [](const RecordsTextIssue& a, const RecordsTextIssue& b) { return a.line < b.line; });
        return std::move(result_);
    }

private:
    // The first error sticks; later ones are not recorded.
    bool failed() const { return !error_.message.empty(); }
    void fail(std::string message, size_t line = 0) {
        if (failed()) return;
        error_.line = line ? line : lineNo_;
        error_.message = std::move(message);
    }
    void warn(size_t line, std::string message) { result_.warnings.push_back({line, std::move(message)}); }

    void parseLine(std::string_view line) {
        const Result<std::vector<Token>> tokenized = tokenize(line);
        if (!tokenized) return fail(tokenized.text());
        const std::vector<Token>& tokens = *tokenized;
        if (tokens.empty()) return;
        const Token& key = tokens[0];
        const std::vector<Token> args(tokens.begin() + 1, tokens.end());
        if (key.quoted) return fail("expected a keyword, not a quoted text");
        if (key.text == "revision") return headerWord(args, "revision", result_.image.revision, revisionLine_);
        if (key.text == "format") return headerWord(args, "format", result_.image.formatVersion, formatLine_);
        if (key.text == "map") return startMap(args);
        if (key.text == "mode") return setMode(args);
        if (key.text == "start") return addEntry(args, "start", true);
        if (key.text == "stop") return addEntry(args, "stop", false);
        fail("unknown keyword '" + key.text + "'; expected revision, format, map, mode, start or stop");
    }

    void headerWord(const std::vector<Token>& args, const char* what, uint32_t& value, size_t& seenAt) {
        if (inMap_) return fail(std::string(what) + " must come before the first map");
        if (seenAt) return fail(std::string("second ") + what + " line (the first is line " + std::to_string(seenAt) + ")");
        if (args.size() != 1) return fail(std::string(what) + " takes one number");
        const auto number = parseNumber<uint32_t>(args[0]);
        if (!number) return fail(std::string(what) + " must be a whole number from 0 to 4294967295, not '" + args[0].text + "'");
        value = *number;
        seenAt = lineNo_;
    }

    void startMap(const std::vector<Token>& args) {
        closeBlock();
        if (failed()) return;
        if (args.size() != 1) return fail("map takes one name; put names with blanks in quotes");
        if (args[0].text.size() > kMaxFieldBytes)
            return fail("map name is " + std::to_string(args[0].text.size()) + " bytes; at most 255 fit");
        inMap_ = true;
        mapLine_ = lineNo_;
        modeLine_ = 0;
        current_ = StoredMap{};
        current_.nameField = args[0].text;
    }

    void setMode(const std::vector<Token>& args) {
        if (!inMap_) return fail("mode outside a map block; start one with 'map NAME'");
        if (modeLine_) return fail("second mode line for this map (the first is line " + std::to_string(modeLine_) + ")");
        if (args.size() != 1) return fail("mode takes one number");
        const auto mode = parseNumber<uint8_t>(args[0]);
        if (!mode) return fail("mode must be a whole number from 0 to 255, not '" + args[0].text + "'");
        current_.mode = *mode;
        modeLine_ = lineNo_;
        if (*mode > kPositionMode) warn(lineNo_, "mode " + std::to_string(*mode) + " detects nothing; modes run from 0 to 3");
    }

    void addEntry(const std::vector<Token>& args, const char* side, bool isStart) {
        if (!inMap_) return fail(std::string(side) + " outside a map block; start one with 'map NAME'");
        if (!modeLine_) return fail("the mode line must come before the entries");
        std::vector<StoredEntry>& list = isStart ? current_.startEntries : current_.stopEntries;
        if (list.size() >= kMaxListEntries) return fail(std::string("more than 255 ") + side + " entries in this map");
        if (args.empty() || args[0].quoted || (args[0].text != "pattern" && args[0].text != "position"))
            return fail(std::string(side) + " takes 'pattern HEX...' or 'position X Y Z'");
        StoredEntry entry;
        if (args[0].text == "pattern") {
            if (!parsePattern(args, entry.bytes)) return;
        } else {
            if (current_.mode != kPositionMode)
                return fail("positions need mode 3; this map has mode " + std::to_string(current_.mode));
            if (!parsePosition(args, entry)) return;
        }
        list.push_back(std::move(entry));
    }

    bool parsePattern(const std::vector<Token>& args, ByteString& bytes) {
        if (args.size() < 2) {
            fail("a pattern needs at least one byte");
            return false;
        }
        for (size_t i = 1; i < args.size(); ++i) {
            const std::string& t = args[i].text;
            if (args[i].quoted) {
                fail("pattern bytes are hex digits, not quoted text");
                return false;
            }
            if (t.size() % 2 != 0) {
                fail("'" + t + "' has an odd number of hex digits; write each byte as two");
                return false;
            }
            for (size_t k = 0; k < t.size(); k += 2) {
                const int hi = hexValue(t[k]);
                const int lo = hexValue(t[k + 1]);
                if (hi < 0 || lo < 0) {
                    fail("'" + t + "' is not hex");
                    return false;
                }
                bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
            }
        }
        if (bytes.size() > kMaxFieldBytes) {
            fail("pattern is " + std::to_string(bytes.size()) + " bytes; at most 255 fit");
            return false;
        }
        return true;
    }

    bool parsePosition(const std::vector<Token>& args, StoredEntry& entry) {
        const bool withKind = args.size() == 6 && !args[4].quoted && args[4].text == "kind";
        if (args.size() != 4 && !withKind) {
            fail("a position is 'position X Y Z', optionally followed by 'kind K'");
            return false;
        }
        for (size_t i = 1; i <= 3; ++i) {
            const auto v = parseNumber<int16_t>(args[i]);
            if (!v) {
                fail("coordinate '" + args[i].text + "' is not a whole number from -32768 to 32767");
                return false;
            }
            const auto u = static_cast<uint16_t>(*v);
            entry.bytes.push_back(static_cast<uint8_t>(u & 0xFF));
            entry.bytes.push_back(static_cast<uint8_t>(u >> 8));
        }
        entry.kind = 0;
        if (withKind) {
            const auto kind = parseNumber<uint8_t>(args[5]);
            if (!kind || *kind == kPatternKind) {
                fail("a position's kind is a number from 0 to 255 other than 1 (1 marks a pattern)");
                return false;
            }
            entry.kind = *kind;
        }
        return true;
    }

    void closeBlock() {
        if (!inMap_) return;
        if (!modeLine_) return fail("map " + recordsTextName(current_.nameField) + " has no mode line", mapLine_);
        const std::string name = mapNameOf(current_.nameField);
        if (name.empty()) warn(mapLine_, "the map name is empty; no demo will find it");
        const auto [it, fresh] = firstLineOf_.emplace(name, mapLine_);
        if (!fresh)
            warn(mapLine_, "map " + recordsTextName(name) + " is also defined at line " + std::to_string(it->second) +
                               "; the program finds only one of them");
        result_.image.maps.push_back(std::move(current_));
        current_ = StoredMap{};
        inMap_ = false;
    }

    RecordsText result_;
    RecordsTextIssue error_;
    size_t lineNo_ = 0;
    size_t revisionLine_ = 0;
    size_t formatLine_ = 0;
    bool inMap_ = false;
    size_t mapLine_ = 0;
    size_t modeLine_ = 0;
    StoredMap current_;
    std::map<std::string, size_t> firstLineOf_;
};

void appendEntry(std::string& out, const char* side, const StoredEntry& e, bool withKinds) {
    out += "  ";
    out += side;
    if (!withKinds || e.isPattern()) {
        out += " pattern";
        for (uint8_t b : e.bytes) {
            out += ' ';
            out += hexByte(b);
        }
    } else {
        out += " position";
        for (size_t i = 0; i + 1 < e.bytes.size(); i += 2) {
            const auto v = static_cast<int16_t>(static_cast<uint16_t>(e.bytes[i] | (e.bytes[i + 1] << 8)));
            out += ' ';
            out += std::to_string(v);
        }
        if (e.kind != 0) {
            out += " kind ";
            out += std::to_string(e.kind);
        }
    }
    out += "\n";
}

}  // namespace

Result<RecordsText> parseRecordsText(std::string_view text, std::string_view source) {
    return TextParser().run(text, source);
}

std::string printRecordsText(const RecordsImage& image) {
    std::string out = "# Runwarden records data; runwarden-recdata compile turns it into RecData.dat\n";
    out += "revision " + std::to_string(image.revision) + "\n";
    out += "format " + std::to_string(image.formatVersion) + "\n";
    for (const StoredMap& map : image.maps) {
        const bool withKinds = map.mode == kPositionMode;
        out += "\nmap " + recordsTextName(map.nameField) + "\n";
        out += "  mode " + std::to_string(map.mode) + "\n";
        for (const StoredEntry& e : map.startEntries) appendEntry(out, "start", e, withKinds);
        for (const StoredEntry& e : map.stopEntries) appendEntry(out, "stop", e, withKinds);
    }
    return out;
}

}  // namespace rw
