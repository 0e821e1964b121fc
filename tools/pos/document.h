// The library as the tool uses it: loaded through the reference host, and
// documents read from and written to the three formats it knows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "json.h"
#include "qelhost/host.h"
#include "qelhost/pos.h"

namespace pos {

enum class Format { Auto, Text, TypeA, Json };
// "auto", "text", "typea", "json"; nothing for another word.
std::optional<Format> FormatNamed(const std::string& name);
const char* FormatName(Format format);

struct LoadOptions final {
    Format from = Format::Auto;
    bool lint = false;  // warn about what the notation reads otherwise than it looks
    JsonOptions json;
};

struct Document final {
    qelhost::pos::Ref value;
    Format format = Format::Text;  // what it was read as
    size_t warnings = 0;           // warnings printed while reading it
};

class Session final {
public:
    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session();

    bool Open();
    // Terminates and unloads the library; false when the host's books are
    // not back at zero (something of the tool's was left alive).
    bool Close(std::string* books);

    qelhost::Host& host() { return host_; }
    const qelhost::pos::Client& pos() const { return *client_; }
    // What the library reported to the host since the last call.
    std::vector<std::string> TakeReports();
    // The procedure of a row of the contract, as its row's type; null after
    // saying that the library does not publish it.
    template <auto Row>
    qelutils::contract::ProcType<Row> Require() {
        const auto proc = host_.Get<Row>();
        if (proc == nullptr) Missing(qelutils::contract::TableOf<Row>::kName,
                                     qelutils::contract::TableOf<Row>::kRows[Row].methodName);
        return proc;
    }

    // The value a file holds; nothing after printing why not.
    std::optional<Document> Load(const std::string& path, const LoadOptions& options);
    std::optional<Document> LoadBytes(const std::string& name, const std::string& bytes, const LoadOptions& options);

    // The file text of a value in a format (not Auto); nothing after printing
    // why not, naming name.
    std::optional<std::string> Render(const qelhost::pos::Ref& value, Format format, const std::string& name);

private:
    void Missing(const char* interfaceName, const char* method);
    std::optional<Document> LoadText(const std::string& name, const std::string& bytes, size_t skipped,
                                     const LoadOptions& options);
    std::optional<Document> LoadTypeA(const std::string& name, const std::string& bytes);
    std::optional<Document> LoadJson(const std::string& name, const std::string& bytes, const LoadOptions& options);

    qelhost::Host host_;
    std::optional<qelhost::pos::Client> client_;
};

}  // namespace pos
