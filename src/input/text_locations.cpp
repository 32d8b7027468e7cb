#include "input/text_locations.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <vector>

namespace ranvik {
namespace {

constexpr std::size_t kShownValueLength = 24;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}
bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}
bool EndsField(char c) {
    return IsBlank(c) || IsLineEnd(c) || c == ',';
}

// A field as it may be quoted in a message: at most a few dozen characters, with control and
// other unprintable bytes shown as '?'.
std::string Shown(std::string_view field) {
    std::string text;
    for (const char c : field.substr(0, kShownValueLength)) {
        const auto byte = static_cast<unsigned char>(c);
        text += (byte < 0x20 || byte == 0x7f) ? '?' : c;
    }
    if (field.size() > kShownValueLength) {
        text += "...";
    }
    return text;
}

const char* ColumnNames(int columns) {
    switch (columns) {
    case 2:
        return "x, y";
    case 3:
        return "x, y, probability of obtaining the location";
    case 4:
        return "x, y, time, location error";
    default:
        return "";
    }
}

// Walks the text one character at a time, keeping the line number of the current position.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    [[nodiscard]] bool AtEnd() const { return pos_ >= text_.size(); }
    [[nodiscard]] char Peek() const { return text_[pos_]; }
    [[nodiscard]] int Line() const { return line_; }
    [[nodiscard]] std::size_t Pos() const { return pos_; }

    // Moves past one character; a line end (LF, CR LF or a lone CR) counts one line.
    void Advance() {
        const char c = text_[pos_++];
        if (c == '\n' || (c == '\r' && (AtEnd() || text_[pos_] != '\n'))) {
            ++line_;
        }
    }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek())) {
            Advance();
        }
    }

    void SkipBlanksAndLineEnds() {
        while (!AtEnd() && (IsBlank(Peek()) || IsLineEnd(Peek()))) {
            Advance();
        }
    }

    // Moves to the end of the current line and past the line end.
    void SkipRestOfLine() {
        while (!AtEnd() && !IsLineEnd(Peek())) {
            Advance();
        }
        if (!AtEnd() && Peek() == '\r') {
            Advance();
            if (!AtEnd() && Peek() == '\n') {
                Advance();
            }
        } else if (!AtEnd()) {
            Advance();
        }
    }

    // Skips the header field: it ends at a comma or at the end of the line. A header that
    // starts with a double quote runs to its closing quote and then to the next comma or
    // line end.
    void SkipHeader() {
        SkipBlanks();
        if (!AtEnd() && Peek() == '"') {
            Advance();
            while (!AtEnd() && Peek() != '"') {
                Advance();
            }
            if (!AtEnd()) {
                Advance();
            }
        }
        while (!AtEnd() && Peek() != ',' && !IsLineEnd(Peek())) {
            Advance();
        }
        if (!AtEnd() && Peek() == ',') {
            Advance();
        } else {
            SkipRestOfLine();
        }
    }

    std::string_view TakeField() {
        const std::size_t start = pos_;
        while (!AtEnd() && !EndsField(Peek())) {
            ++pos_; // no line ends inside a field
        }
        return text_.substr(start, pos_ - start);
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

bool ParseField(std::string_view field, double& value) {
    if (field.size() > 1 && field.front() == '+' && field[1] != '-' && field[1] != '+') {
        field.remove_prefix(1); // from_chars takes a minus sign but not a plus sign
    }
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value,
                                        std::chars_format::general);
    return result.ec == std::errc{} && result.ptr == field.data() + field.size() &&
           std::isfinite(value);
}

LocationText Rejected(std::string message) {
    LocationText result;
    result.error = std::move(message);
    return result;
}

std::string At(std::string_view file_name, int line) {
    return std::string(file_name) + ", line " + std::to_string(line) + ": ";
}

} // namespace

LocationText ParseLocationText(std::string_view content, std::string_view file_name, int columns,
                               std::int32_t capacity) {
    const std::string name(file_name);
    if (content.empty()) {
        return Rejected(name +
                        " is empty: it needs a header line followed by one line per "
                        "location (" +
                        ColumnNames(columns) + ").");
    }
    if (content.size() >= 2 && ((content[0] == '\xff' && content[1] == '\xfe') ||
                                (content[0] == '\xfe' && content[1] == '\xff'))) {
        return Rejected(name + " is saved as UTF-16 (\"Unicode\") text. Save it as plain or "
                               "UTF-8 tab-delimited text and load it again.");
    }

    Cursor cursor(content);
    cursor.SkipHeader();

    const auto max_values = static_cast<std::size_t>(capacity) * static_cast<std::size_t>(columns);
    std::vector<double> values;
    values.reserve(std::min(max_values, content.size() / 8 + 16));
    int last_line = 1;
    bool comma_pending = false; // the previous field ended at a comma

    for (;;) {
        cursor.SkipBlanksAndLineEnds();
        if (cursor.AtEnd()) {
            break;
        }
        if (cursor.Peek() == ',') {
            const int line = cursor.Line();
            if (comma_pending || values.empty()) {
                return Rejected(At(name, line) + "a value is missing before a comma.");
            }
            cursor.Advance();
            comma_pending = true;
            continue;
        }
        const int line = cursor.Line();
        const std::string_view field = cursor.TakeField();
        double value = 0.0;
        if (!ParseField(field, value)) {
            std::string message = At(name, line) + "\"" + Shown(field) + "\" is not a number.";
            if (line == 1) {
                message += " The first line is a header and must not contain a comma.";
            }
            return Rejected(message);
        }
        if (values.size() == max_values) {
            return Rejected(name + " holds more than " + std::to_string(capacity) +
                            " locations, the most that can be loaded from one file.");
        }
        values.push_back(value);
        last_line = line;
        // A field ends at blanks optionally followed by one comma, so "1 , 2" is two fields.
        cursor.SkipBlanks();
        comma_pending = false;
        if (!cursor.AtEnd() && cursor.Peek() == ',') {
            cursor.Advance();
            comma_pending = true;
        }
    }

    const auto width = static_cast<std::size_t>(columns);
    if (const std::size_t left = values.size() % width; left != 0) {
        return Rejected(At(name, last_line) + "the last location has " + std::to_string(left) +
                        (left == 1 ? " value" : " values") + " but each location needs " +
                        std::to_string(columns) + " (" + ColumnNames(columns) + ").");
    }

    LocationText result;
    const auto count = static_cast<std::int32_t>(values.size() / width);
    result.values.Resize(count, columns);
    for (std::int32_t i = 0; i < count; ++i) {
        for (int c = 0; c < columns; ++c) {
            result.values(i, c) =
                values[static_cast<std::size_t>(i) * width + static_cast<std::size_t>(c)];
        }
    }
    return result;
}

LocationText ReadLocationText(const std::filesystem::path& path, int columns,
                              std::int32_t capacity) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Rejected("Cannot open " + path.string() + ": " + std::strerror(errno) + ".");
    }
    std::error_code size_error;
    const std::uintmax_t size = std::filesystem::file_size(path, size_error);
    if (!size_error && size > kMaxTextFileBytes) {
        std::string message = path.filename().string();
        message += " is ";
        message += std::to_string(size >> 20);
        message += " MB, too large for a locations file: one may hold at most ";
        message += std::to_string(kMaxTextFileBytes >> 20);
        message += " MB and ";
        message += std::to_string(capacity);
        message += " locations.";
        return Rejected(message);
    }
    try {
        const std::string content{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
        if (in.bad()) {
            return Rejected("Cannot read " + path.string() + ": " + std::strerror(errno) + ".");
        }
        return ParseLocationText(content, path.filename().string(), columns, capacity);
    } catch (const std::bad_alloc&) {
        return Rejected("There is not enough memory to read " + path.string() + ".");
    }
}

} // namespace ranvik
