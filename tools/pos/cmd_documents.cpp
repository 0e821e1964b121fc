// check, fmt and convert: whole documents in and out.
#include "commands.h"
#include "document.h"
#include "files.h"
#include "report.h"

namespace pos {

int Check(Session& session, const Options& options) {
    int status = kOk;
    for (const std::string& file : options.files) {
        const std::optional<Document> doc = session.Load(file, Reading(options, options.strict));
        if (!doc) {
            status = kError;
            continue;
        }
        if (options.strict && doc->warnings > 0) {
            if (status == kOk) status = kNo;
            if (!CurrentUi().quiet)
                Print(DisplayName(file) + ": " + std::to_string(doc->warnings) +
                      (doc->warnings == 1 ? " warning\n" : " warnings\n"));
        } else if (!CurrentUi().quiet) {
            Print(DisplayName(file) + ": ok\n");
        }
    }
    return status;
}

int Fmt(Session& session, const Options& options) {
    const std::string& file = options.files[0];
    if (options.inPlace && IsStdio(file)) {
        Error("fmt -w needs a file, not standard input");
        return kError;
    }
    const std::optional<Document> doc = session.Load(file, Reading(options, true));
    if (!doc) return kError;
    Format to = doc->format == Format::TypeA ? Format::Text : doc->format;
    if (!options.to.empty()) {
        to = *FormatNamed(options.to);
    } else if (options.inPlace && doc->format == Format::TypeA) {
        Error(file + " is TypeA: fmt -w would rewrite it as text notation; add --to text for that, or --to typea");
        return kError;
    }
    const std::optional<std::string> text = session.Render(doc->value, to, DisplayName(file));
    if (!text) return kError;
    return WriteResult(options.inPlace ? file : "-", *text) ? kOk : kError;
}

int Convert(Session& session, const Options& options) {
    const std::string& file = options.files[0];
    const std::optional<Document> doc = session.Load(file, Reading(options, true));
    if (!doc) return kError;
    const std::optional<std::string> text = session.Render(doc->value, *FormatNamed(options.to), DisplayName(file));
    if (!text) return kError;
    return WriteResult(options.output, *text) ? kOk : kError;
}

}  // namespace pos
