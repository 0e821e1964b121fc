// get, keys, len, set and del: one value inside a document.
#include "address.h"
#include "commands.h"
#include "document.h"
#include "files.h"
#include "json.h"
#include "numbers.h"
#include "report.h"

namespace pos {

using qelhost::pos::Ref;

namespace {

struct Found final {
    std::optional<Document> doc;
    Address address;
    Ref value;
    int status = kOk;
};

// The document and the address, and the value there; status tells which
// failed (an error, or no value).
Found Locate(Session& session, const Options& options, bool needValue) {
    Found f;
    std::string why;
    if (!ParseAddress(options.address, f.address, &why)) {
        Error("bad address " + options.address + ": " + why);
        f.status = kError;
        return f;
    }
    f.doc = session.Load(options.files[0], Reading(options, false));
    if (!f.doc) {
        f.status = kError;
        return f;
    }
    if (!needValue) return f;
    f.value = Walk(session.pos(), f.doc->value, f.address, &why);
    if (!f.value) {
        Error(DisplayName(options.files[0]) + ": no value at " + why);
        f.status = kNo;
    }
    return f;
}

// Raw text of a scalar for scripts; nothing for containers.
std::optional<std::string> Raw(const qelhost::pos::Client& pos, const Ref& value) {
    if (pos.IsString(value)) return pos.GetString(value);
    if (pos.IsNumber(value)) {
        const std::string digits = ShortestDigits(pos.GetNumber(value));
        return digits.empty() ? std::to_string(pos.GetNumber(value)) : digits;
    }
    if (pos.IsUnicodeString(value)) {
        std::string utf8;
        if (!Utf16ToUtf8(pos.GetUnicodeString(value), utf8)) return std::nullopt;
        return utf8;
    }
    if (pos.IsBinData(value)) return pos.GetBinData(value);
    return std::nullopt;
}

// The changed document back where it came from: FILE with -w, else
// standard output, in the format it was read in.
int WriteBack(Session& session, const Options& options, const Document& doc, const Ref& root) {
    const std::string& file = options.files[0];
    if (options.inPlace && IsStdio(file)) {
        Error("-w needs a file, not standard input");
        return kError;
    }
    const std::optional<std::string> text = session.Render(root, doc.format, DisplayName(file));
    if (!text) return kError;
    return WriteResult(options.inPlace ? file : "-", *text) ? kOk : kError;
}

}  // namespace

int Get(Session& session, const Options& options) {
    const Found f = Locate(session, options, true);
    if (f.status != kOk) return f.status;
    const std::string where = DisplayName(options.files[0]) + ": " + FormatAddress(f.address.steps);
    if (options.raw) {
        if (const std::optional<std::string> raw = Raw(session.pos(), f.value)) {
            const bool newline = !session.pos().IsBinData(f.value);
            return WriteResult("-", *raw + (newline ? "\n" : "")) ? kOk : kError;
        }
        if (session.pos().IsUnicodeString(f.value)) {
            Error(where + ": the Unicode string is not well formed (a lone surrogate): use --to json");
            return kError;
        }
    }
    const Format to = options.to == "json" ? Format::Json : Format::Text;
    const std::optional<std::string> text = session.Render(f.value, to, where);
    if (!text) return kError;
    return WriteResult("-", *text) ? kOk : kError;
}

int Keys(Session& session, const Options& options) {
    const Found f = Locate(session, options, true);
    if (f.status != kOk) return f.status;
    if (!session.pos().IsDict(f.value)) {
        Error(DisplayName(options.files[0]) + ": " + FormatAddress(f.address.steps) + " is " +
              KindOf(session.pos(), f.value) + ", not a dictionary");
        return kNo;
    }
    std::string out;
    for (const std::string& key : session.pos().Keys(f.value)) out += key + "\n";
    return WriteResult("-", out) ? kOk : kError;
}

int Len(Session& session, const Options& options) {
    const Found f = Locate(session, options, true);
    if (f.status != kOk) return f.status;
    const auto& pos = session.pos();
    size_t length;
    if (pos.IsArray(f.value))
        length = pos.Count(f.value);
    else if (pos.IsDict(f.value))
        length = pos.Keys(f.value).size();
    else if (pos.IsString(f.value))
        length = pos.GetString(f.value).size();
    else if (pos.IsUnicodeString(f.value))
        length = pos.GetUnicodeString(f.value).size();
    else if (pos.IsBinData(f.value))
        length = pos.GetBinData(f.value).size();
    else {
        Error(DisplayName(options.files[0]) + ": " + FormatAddress(f.address.steps) + " is " +
              KindOf(pos, f.value) + ", which has no length");
        return kNo;
    }
    return WriteResult("-", std::to_string(length) + "\n") ? kOk : kError;
}

int Set(Session& session, const Options& options) {
    Found f = Locate(session, options, false);
    if (f.status != kOk) return f.status;
    const auto& pos = session.pos();
    Ref value;
    if (options.literal) {
        value = pos.String(options.value.c_str());
    } else {
        LoadOptions asText;
        asText.from = Format::Text;
        const std::optional<Document> parsed = session.LoadBytes("VALUE", options.value, asText);
        if (!parsed) return kError;
        value = parsed->value;
    }
    std::string why;
    const Ref root = pos::Set(pos, f.doc->value, f.address, value, &why);
    if (!root) {
        Error(DisplayName(options.files[0]) + ": cannot set " + why);
        return kNo;
    }
    return WriteBack(session, options, *f.doc, root);
}

int Del(Session& session, const Options& options) {
    Found f = Locate(session, options, false);
    if (f.status != kOk) return f.status;
    if (f.address.IsRoot()) {
        Error("del cannot remove the whole document (.)");
        return kError;
    }
    std::string why;
    if (!Delete(session.pos(), f.doc->value, f.address, &why)) {
        Error(DisplayName(options.files[0]) + ": no value at " + why);
        return kNo;
    }
    return WriteBack(session, options, *f.doc, f.doc->value);
}

}  // namespace pos
