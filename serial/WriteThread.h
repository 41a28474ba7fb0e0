#pragma once
// The writer of an open port: writes the queued send requests in order, each
// whole, and announces once per idle period that its queue ran empty.
#include <memory>

#include "serial/WorkerThread.h"

struct TPortLink;

class TWriteThread : public TWorkerThread {
public:
    explicit TWriteThread(std::shared_ptr<TPortLink> link) : Link(std::move(link)) {}

protected:
    std::function<void()> Body() override;

private:
    std::shared_ptr<TPortLink> Link;
};
