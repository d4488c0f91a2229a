// Messages to the user, through the sink the front end installed.
#include "base/message_box.h"

#include <cstdio>
#include <utility>

#include "resources/strings.h"

namespace {

MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}

thread_local const MessageSink* t_threadSink = nullptr;

}  // namespace

ThreadMessageSink::ThreadMessageSink(MessageSink sink) : sink_(std::move(sink)), previous_(t_threadSink) {
    t_threadSink = &sink_;
}

ThreadMessageSink::~ThreadMessageSink() { t_threadSink = previous_; }

void SetMessageSink(MessageSink sink) { Sink() = std::move(sink); }
MessageSink GetMessageSink() { return Sink(); }

void ShowMessage(const std::string& text) {
    if (t_threadSink && *t_threadSink) {
        (*t_threadSink)(text);
        return;
    }
    if (Sink()) {
        Sink()(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
}

void ShowMessageById(int id) { ShowMessage(LoadStringById(id)); }
