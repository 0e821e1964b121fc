#include "console.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "child_process.h"

namespace console {

namespace {

namespace fs = std::filesystem;

bool Blank(char c) { return c == ' ' || c == '\t'; }

// Reads the words and operators of a line, as the shell's tokenizer would
// for the part of the language in console.h.
class Reader final {
public:
    Reader(const std::string& line, int status) : line_(line), status_(std::to_string(status)) {}

    Parsed Read() {
        Parsed parsed;
        parsed.pipeline.emplace_back();
        enum class Next { Word, Input, Output } next = Next::Word;
        while (true) {
            while (at_ < line_.size() && Blank(line_[at_])) ++at_;
            if (at_ == line_.size()) break;
            const char c = line_[at_];
            if (c == '|' || c == '<' || c == '>') {
                if (next != Next::Word) return Fail("a file name must follow < or >");
                if (at_ + 1 < line_.size() && (line_[at_ + 1] == c || line_[at_ + 1] == '&'))
                    return Fail(std::string("'") + c + line_[at_ + 1] + "' is not run here");
                ++at_;
                if (c == '|') {
                    if (parsed.pipeline.back().words.empty()) return Fail("a pipe needs a command on each side");
                    parsed.pipeline.emplace_back();
                } else {
                    next = c == '<' ? Next::Input : Next::Output;
                }
                continue;
            }
            std::optional<std::string> word = Word();
            if (!word) return Fail(error_);
            Stage& stage = parsed.pipeline.back();
            if (next == Next::Word && !word->empty() &&
                word->find_first_not_of("0123456789") == std::string::npos && at_ < line_.size() &&
                (line_[at_] == '>' || line_[at_] == '<'))
                return Fail("redirections of other streams (" + *word + line_[at_] + ") are not run here");
            if (next == Next::Input)
                stage.input = *word;
            else if (next == Next::Output)
                stage.output = *word;
            else
                stage.words.push_back(*word);
            next = Next::Word;
        }
        if (next != Next::Word) return Fail("a file name must follow < or >");
        for (const Stage& s : parsed.pipeline) {
            if (s.words.empty()) return Fail(parsed.pipeline.size() > 1 ? "a pipe needs a command on each side" : "no command");
            const std::string& program = s.words[0];
            if (program != "pos" && program != "printf" && program != "echo" && program != "cat")
                return Fail("only pos, printf, echo and cat run here, not " + program);
        }
        return parsed;
    }

private:
    Parsed Fail(const std::string& why) {
        Parsed p;
        p.error = why + " (at byte " + std::to_string(at_ + 1) + " of: " + line_ + ")";
        return p;
    }
    std::optional<std::string> Refuse(const std::string& why) {
        error_ = why;
        return std::nullopt;
    }

    // $? in place; any other $ is a variable, which is not run here.
    bool Dollar(std::string& word) {
        if (at_ + 1 < line_.size() && line_[at_ + 1] == '?') {
            word += status_;
            at_ += 2;
            return true;
        }
        return false;
    }

    std::optional<std::string> Word() {
        std::string word;
        const size_t start = at_;
        while (at_ < line_.size()) {
            const char c = line_[at_];
            if (Blank(c) || c == '|' || c == '<' || c == '>') break;
            if (c == '\'') {
                const size_t close = line_.find('\'', at_ + 1);
                if (close == std::string::npos) return Refuse("a ' without its partner");
                word += line_.substr(at_ + 1, close - at_ - 1);
                at_ = close + 1;
            } else if (c == '"') {
                ++at_;
                while (true) {
                    if (at_ == line_.size()) return Refuse("a \" without its partner");
                    const char d = line_[at_];
                    if (d == '"') break;
                    if (d == '\\' && at_ + 1 < line_.size() && std::string("\"\\$`").find(line_[at_ + 1]) != std::string::npos) {
                        word += line_[at_ + 1];
                        at_ += 2;
                    } else if (d == '$') {
                        if (!Dollar(word)) return Refuse("variables are not run here");
                    } else if (d == '`' || d == '!') {
                        return Refuse(std::string(1, d) + " inside double quotes is not run here");
                    } else {
                        word += d;
                        ++at_;
                    }
                }
                ++at_;
            } else if (c == '\\') {
                if (at_ + 1 == line_.size()) return Refuse("a backslash at the end of the line");
                word += line_[at_ + 1];
                at_ += 2;
            } else if (c == '$') {
                if (!Dollar(word)) return Refuse("variables and $(...) are not run here");
            } else if (std::string(";&()`*?[]{}!").find(c) != std::string::npos) {
                return Refuse(std::string("an unquoted ") + c + " (the shell would read it; quote it)");
            } else if ((c == '~' || c == '#') && at_ == start) {
                return Refuse(std::string("a word that begins with ") + c + " (the shell would read it; quote it)");
            } else {
                word += c;
                ++at_;
            }
        }
        return word;
    }

    const std::string& line_;
    const std::string status_;
    size_t at_ = 0;
    std::string error_;
};

std::optional<std::string> Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Spill(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return out.good();
}

#if defined(_WIN32)
// The C runtime writes standard error in text mode on Windows; the tool's
// standard output is binary and is checked byte for byte by the tool's tests.
std::string AsTerminalShows(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    return text;
}
#else
std::string AsTerminalShows(std::string text) { return text; }
#endif

// One escape of printf's format at text[at] (a backslash); at ends after it.
void Escape(const std::string& text, size_t& at, std::string& out) {
    ++at;
    if (at == text.size()) {
        out += '\\';
        return;
    }
    const char c = text[at];
    if (c >= '0' && c <= '7') {
        int value = 0;
        for (int n = 0; n < 3 && at < text.size() && text[at] >= '0' && text[at] <= '7'; ++n, ++at)
            value = value * 8 + (text[at] - '0');
        out += static_cast<char>(value);
        return;
    }
    ++at;
    switch (c) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        case '\'': out += '\''; break;
        case '"': out += '"'; break;
        default: out += '\\'; out += c;  // as printf leaves an escape it does not know
    }
}

}  // namespace

Parsed Parse(const std::string& line, int status) { return Reader(line, status).Read(); }

std::optional<std::string> Printf(const std::vector<std::string>& args, std::string& error) {
    if (args.empty()) {
        error = "printf needs a format";
        return std::nullopt;
    }
    const std::string& format = args[0];
    std::string out;
    size_t next = 1;
    // The format is used again while arguments are left, as printf does.
    do {
        const size_t before = next;
        for (size_t at = 0; at < format.size();) {
            const char c = format[at];
            if (c == '\\') {
                Escape(format, at, out);
                continue;
            }
            if (c != '%') {
                out += c;
                ++at;
                continue;
            }
            const size_t percent = at++;
            while (at < format.size() && (format[at] == '-' || format[at] == '0')) ++at;
            while (at < format.size() && format[at] >= '0' && format[at] <= '9') ++at;
            if (at == format.size()) {
                error = "printf: an unfinished conversion";
                return std::nullopt;
            }
            const char conversion = format[at++];
            const std::string flags = format.substr(percent, at - 1 - percent);
            if (conversion == '%' && flags == "%") {
                out += '%';
                continue;
            }
            const std::string arg = next < args.size() ? args[next++] : "";
            const size_t digits = flags.find_first_not_of("%-0");
            const size_t width = digits == std::string::npos ? 0 : std::stoul(flags.substr(digits));
            if (width > 1000) {
                error = "printf: a width over 1000 is not run here";
                return std::nullopt;
            }
            char buffer[1100];
            if (conversion == 'd') {
                long long value = 0;
                size_t used = 0;
                try {
                    value = arg.empty() ? 0 : std::stoll(arg, &used, 10);
                } catch (const std::exception&) {
                }
                if (!arg.empty() && used != arg.size()) {
                    error = "printf: not a number: " + arg;
                    return std::nullopt;
                }
                std::snprintf(buffer, sizeof buffer, (flags + "lld").c_str(), value);
            } else if (conversion == 's') {
                const std::string pad(width > arg.size() ? width - arg.size() : 0, ' ');
                out += flags.find('-') != std::string::npos ? arg + pad : pad + arg;
                continue;
            } else {
                error = std::string("printf: the conversion %") + conversion + " is not run here";
                return std::nullopt;
            }
            out += buffer;
        }
        if (next == before) break;  // the format took no argument
    } while (next < args.size());
    return out;
}

std::string ShowAll(const std::string& bytes) {
    std::string shown;
    for (const char ch : bytes) {
        unsigned c = static_cast<unsigned char>(ch);
        if (c == '\n') {
            shown += "$\n";
            continue;
        }
        if (c >= 128) {
            shown += "M-";
            c -= 128;
        }
        if (c < 32) {
            shown += '^';
            shown += static_cast<char>(c + 64);
        } else if (c == 127) {
            shown += "^?";
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

std::optional<Session::Output> Session::RunStage(const Stage& stage, const std::string& input, bool last,
                                                 std::string& error) {
    const std::vector<std::string>& w = stage.words;
    const std::vector<std::string> args(w.begin() + 1, w.end());
    Output result;
    if (w[0] == "pos") {
        qeltest::Invocation run;
        run.program = pos_;
        run.args = args;
        run.input = input;
        run.directory = directory_.string();
        run.environment = env_;
        run.stdoutPath = stage.output;
        // The last command's two outputs go to the terminal together, in
        // the order written.
        run.streams = last && stage.output.empty() ? qeltest::Streams::Merged : qeltest::Streams::Separate;
        const qeltest::Outcome o = qeltest::RunProcess(run);
        if (!o.Exited()) {
            error = o.failure.empty() ? "pos ended by signal " + std::to_string(o.signal) : o.failure;
            return std::nullopt;
        }
        result.status = o.exitCode;
        if (run.streams == qeltest::Streams::Merged) {
            result.shown = AsTerminalShows(o.out);
        } else {
            result.out = o.out;
            result.shown = AsTerminalShows(o.err);
        }
        return result;
    }
    if (w[0] == "printf") {
        std::optional<std::string> text = Printf(args, error);
        if (!text) return std::nullopt;
        result.out = *text;
    } else if (w[0] == "echo") {
        if (!args.empty() && args[0].size() > 1 && args[0][0] == '-') {
            error = "echo takes no options here: " + args[0];
            return std::nullopt;
        }
        for (size_t i = 0; i < args.size(); ++i) result.out += (i > 0 ? " " : "") + args[i];
        result.out += '\n';
    } else {  // cat
        bool showAll = false;
        std::vector<std::string> files;
        for (const std::string& a : args) {
            if (a == "-A")
                showAll = true;
            else if (a.size() > 1 && a[0] == '-') {
                error = "cat takes only -A here: " + a;
                return std::nullopt;
            } else
                files.push_back(a);
        }
        std::string bytes = files.empty() ? input : "";
        for (const std::string& f : files) {
            if (std::optional<std::string> content = Slurp(directory_ / f)) {
                bytes += *content;
            } else {
                result.shown += "cat: " + f + ": No such file or directory\n";
                result.status = 1;
            }
        }
        result.out = showAll ? ShowAll(bytes) : bytes;
    }
    if (!stage.output.empty()) {
        if (!Spill(directory_ / stage.output, result.out)) {
            error = "cannot write " + stage.output;
            return std::nullopt;
        }
        result.out.clear();
    }
    return result;
}

Session::Result Session::Run(const std::string& line) {
    Result result;
    const Parsed parsed = Parse(line, status_);
    if (!parsed.error.empty()) {
        result.error = parsed.error;
        return result;
    }
    std::string data;  // what flows down the pipe
    for (size_t i = 0; i < parsed.pipeline.size(); ++i) {
        const Stage& stage = parsed.pipeline[i];
        if (!stage.input.empty()) {
            std::optional<std::string> bytes = Slurp(directory_ / stage.input);
            if (!bytes) {
                result.error = "cannot open " + stage.input;
                return result;
            }
            data = *bytes;
        }
        const bool last = i + 1 == parsed.pipeline.size();
        std::optional<Output> output = RunStage(stage, data, last, result.error);
        if (!output) return result;
        result.shown += output->shown;
        data = output->out;
        result.status = output->status;
    }
    result.shown += data;  // the last command's output, when it was not shown as it came
    status_ = result.status;
    return result;
}

}  // namespace console
