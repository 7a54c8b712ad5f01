#pragma once
// A message box for tests: records every text it is asked to show and answers with a
// fixed button. Header-only, for test executables that link the app library.

#include <string>
#include <vector>

#include "core/Texts.h"

namespace testsupport {

class RecordingMessageBox : public core::IMessageBox {
public:
    explicit RecordingMessageBox(int answer = core::kIdOk) : answer_(answer) {}
    int Show(const std::string& text, unsigned style, unsigned helpContext) override {
        texts.push_back(text);
        lastStyle = style;
        lastHelp = helpContext;
        return answer_;
    }
    std::vector<std::string> texts;
    unsigned lastStyle = 0;
    unsigned lastHelp = 0;

private:
    int answer_;
};

} // namespace testsupport
