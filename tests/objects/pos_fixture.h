// Property-object tests: the library initialised, the tables resolved.
#pragma once

#include <optional>
#include <string>

#include "host_fixture.h"
#include "qelhost/notation.h"
#include "qelhost/pos.h"

namespace qeltest {

template <class Base>
class WithPOS : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        if (this->HasFatalFailure()) return;
        client_.emplace(this->host());
    }
    void TearDown() override {
        client_.reset();
        Base::TearDown();
    }
    const qelhost::pos::Client& pos() const { return *client_; }
    qelhost::pos::Ref Parse(const char* text) {
        qelhost::pos::Ref v = pos().FromText(text);
        EXPECT_TRUE(v) << "does not parse: " << text;
        return v;
    }
    std::string Text(const qelhost::pos::Ref& v) { return qelhost::notation::Write(pos(), v); }

private:
    std::optional<qelhost::pos::Client> client_;
};

using POSTest = WithPOS<LibraryTest>;

}  // namespace qeltest
