#pragma once
// Work asked for while a Hold lives is done once, when the last hold ends;
// asked for outside any hold, it is done at once. A change made of several
// steps (a range, then a value; several widgets of one refresh) is then
// looked at once, after all of them.
#include <functional>
#include <utility>

class Deferral {
public:
    explicit Deferral(std::function<void()> work) : Work(std::move(work)) {}
    Deferral(const Deferral &) = delete;
    Deferral &operator=(const Deferral &) = delete;

    void Ask() {
        if (Holds > 0)
            Asked = true;
        else
            Work();
    }
    // Work was asked for and waits for the holds to end.
    bool Waiting() const { return Asked; }

    class Hold {
    public:
        explicit Hold(Deferral &d) : D(d) { ++D.Holds; }
        ~Hold() {
            if (--D.Holds > 0 || !D.Asked)
                return;
            D.Asked = false;
            D.Work();
        }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        Deferral &D;
    };

private:
    std::function<void()> Work;
    int Holds = 0;
    bool Asked = false;
};
