#pragma once

// A run's log window whose transcript also goes, as it streams, into the
// run's history file: the file holds what the window shows, in full.

#include "history/RunHistory.h"
#include "platform/Clock.h"
#include "platform/LogWindows.h"

#include <atomic>
#include <memory>

namespace veldrin {

class RecordedWindow : public LogWindow {
public:
    RecordedWindow(std::shared_ptr<LogWindow> shown, std::shared_ptr<RunRecord> record, QString runTitle,
                   Instant startedAt)
        : title(std::move(runTitle)), started(startedAt), shown_(std::move(shown)),
          record_(std::move(record)) {
        shown_->setHistoryFile(record_->path());
    }
    void show() override { shown_->show(); }
    void append(const QString& text) override {
        shown_->append(text);
        record_->append(text);
        if (!text.isEmpty())
            atLineStart_ = text.back() == QLatin1Char('\n');
    }
    void runStarted() override { shown_->runStarted(); }
    void runEnded(const RunOutcome& outcome) override {
        shown_->runEnded(outcome);
        record_->finish(outcome);
    }
    void setStopHandler(std::function<void()> stop) override { shown_->setStopHandler(std::move(stop)); }
    void setHistoryFile(const QString& path) override { shown_->setHistoryFile(path); }
    bool isActive() const override { return shown_->isActive(); }

    const QString title;
    const Instant started;
    const RunRecord& record() const { return *record_; }
    // Whether what was appended so far ends with a line feed (or is nothing).
    bool atLineStart() const { return atLineStart_; }

private:
    const std::shared_ptr<LogWindow> shown_;
    const std::shared_ptr<RunRecord> record_;
    std::atomic<bool> atLineStart_ = true;
};

} // namespace veldrin
