// The program's other windows as the program object leaves them, without any
// window on top.
#include <gtest/gtest.h>

#include "app/VltProgram.h"
#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "platform/Clock.h"
#include "platform/EventQueue.h"

TEST(ProgramWindows, AboutBoxClosesByItsOkButton) {
    TPumpQueue queue;
    RecordingDialogs dialogs;
    TFixedClock clock;
    TVltProgram program(queue, dialogs, clock);
    TAboutForm &about = program.Form().AboutForm;
    bool open = false, closed = false;
    dialogs.WhileOpen = [&](const RecordingDialogs::Call &c) {
        if (c.kind != RecordingDialogs::Kind::ShowModal || c.text != about.Caption)
            return;
        open = about.Showing;
        about.OKButton.Click();
        closed = !about.Showing;
    };
    program.Form().About1.Click();
    EXPECT_TRUE(open);
    EXPECT_TRUE(closed);
}
