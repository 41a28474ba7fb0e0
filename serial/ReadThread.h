#pragma once
// The reader of an open port: hands each completed read (1..2,048 bytes) to the
// main thread, reports line errors and modem-line changes, and asks for a
// hang-up when the device goes away.
#include <memory>

#include "serial/WorkerThread.h"

struct TPortLink;

class TReadThread : public TWorkerThread {
public:
    explicit TReadThread(std::shared_ptr<TPortLink> link) : Link(std::move(link)) {}

protected:
    std::function<void()> Body() override;

private:
    std::shared_ptr<TPortLink> Link;
};
