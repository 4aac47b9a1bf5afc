// A dialog that only remembers: which boxes are checked, which texts were set (in order)
// and which message boxes were shown.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "system/dialog_access.h"

namespace qarn::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    unsigned style;
};

class FakeDialog final : public DialogAccess {
public:
    bool is_checked(int control_id) override { return checked[control_id]; }
    void set_checked(int control_id) override {
        checked[control_id] = true;
        check_calls.push_back(control_id);
    }
    void set_text(int control_id, const char* text) override {
        texts.emplace_back(control_id, text);
    }
    void message_box(const char* text, const char* caption, unsigned style) override {
        messages.push_back({text, caption, style});
    }

    std::map<int, bool> checked;
    std::vector<int> check_calls;
    std::vector<std::pair<int, std::string>> texts;
    std::vector<ShownMessage> messages;
};

}  // namespace qarn::test
