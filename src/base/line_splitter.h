#pragma once
// Text lines as every file and listing the program reads writes them: a line
// ends at LF or at CR LF, a CR not followed by LF belongs to the line, and the
// last line may end at the end of the text (a final break adds no empty line).
#include <cstddef>
#include <string_view>

namespace rw {

class LineSplitter {
public:
    explicit LineSplitter(std::string_view text) : text_(text) {}

    // The next line, without its break; false after the last one.
    bool next(std::string_view& line) {
        if (start_ >= text_.size()) return false;
        const size_t lf = text_.find('\n', start_);
        if (lf == std::string_view::npos) {
            line = text_.substr(start_);
            start_ = text_.size();
            return true;
        }
        line = text_.substr(start_, lf - start_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start_ = lf + 1;
        return true;
    }

private:
    std::string_view text_;
    size_t start_ = 0;
};

}  // namespace rw
