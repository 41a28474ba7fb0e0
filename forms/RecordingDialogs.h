#pragma once
// TDialogs for tests: records every call in order, answers file dialogs from
// a script and can run code while a modal box is "open", to show that events
// go on meanwhile.
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "forms/Controls.h"
#include "forms/Dialogs.h"

class RecordingDialogs : public TDialogs {
public:
    enum class Kind { Information, Error, Message, OpenFile, SaveFile, Clipboard, Beep, ShowModal };
    struct Call {
        Kind kind;
        std::string text; // message, clipboard text, dialog filter, or form caption
        bool operator==(const Call &) const = default;
        // How a test failure shows a call.
        friend void PrintTo(const Call &c, std::ostream *os) {
            static const char *const kKinds[] = {"Information", "Error",     "Message", "OpenFile",
                                                 "SaveFile",    "Clipboard", "Beep",    "ShowModal"};
            *os << kKinds[static_cast<int>(c.kind)] << " \"" << c.text << "\"";
        }
    };

    std::vector<Call> Calls;
    // Answers of the file dialogs in order; an empty queue answers "cancelled".
    std::deque<std::optional<std::string>> FileAnswers;
    // Runs inside every modal call (message boxes and ShowModal), after it is
    // recorded and, for forms, while form.Showing is true.
    std::function<void(const Call &)> WhileOpen;
    // The file dialogs seen, with the settings they were shown with.
    std::vector<TFileDialog> FileDialogs;

    void Information(const std::string &text) override { Modal({Kind::Information, text}); }
    void Error(const std::string &text) override { Modal({Kind::Error, text}); }
    void Message(const std::string &text) override { Modal({Kind::Message, text}); }
    std::optional<std::string> OpenFile(TFileDialog &dlg) override { return File(Kind::OpenFile, dlg); }
    std::optional<std::string> SaveFile(TFileDialog &dlg) override { return File(Kind::SaveFile, dlg); }
    void SetClipboardText(const std::string &text) override {
        Clipboard = text;
        Calls.push_back({Kind::Clipboard, text});
    }
    void Beep() override { Calls.push_back({Kind::Beep, ""}); }
    void ShowModal(TForm &form) override {
        form.Showing = true;
        Modal({Kind::ShowModal, form.Caption});
        form.Showing = false;
    }

    std::string Clipboard;

    // Texts of the calls of one kind, in order.
    std::vector<std::string> Texts(Kind kind) const {
        std::vector<std::string> out;
        for (const auto &c : Calls)
            if (c.kind == kind)
                out.push_back(c.text);
        return out;
    }

private:
    void Modal(const Call &c) {
        Calls.push_back(c);
        if (WhileOpen)
            WhileOpen(c);
    }
    std::optional<std::string> File(Kind kind, TFileDialog &dlg) {
        Calls.push_back({kind, dlg.Filter});
        FileDialogs.push_back(dlg);
        std::optional<std::string> answer;
        if (!FileAnswers.empty()) {
            answer = FileAnswers.front();
            FileAnswers.pop_front();
        }
        if (answer)
            dlg.FileName = *answer;
        return answer;
    }
};
