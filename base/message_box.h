// Messages to the user. The core never draws a message box itself: it hands
// the text to the sink the front end installed (a dialog in the application,
// stderr in the command-line tool, a recorder in tests).
#pragma once
#include <functional>
#include <string>

using MessageSink = std::function<void(const std::string& text)>;

// Installs the sink; an empty one returns to the default, which prints the
// text on stderr.
void SetMessageSink(MessageSink sink);
// The sink installed now (empty: the default).
MessageSink GetMessageSink();
// Shows a text as it is.
void ShowMessage(const std::string& text);
// Shows string id of the string table.
void ShowMessageById(int id);

// For the span of a scope, messages raised on the calling thread go to sink
// instead of the installed one: work on a worker thread collects them there
// and the window's thread shows them (the scope before comes back at its end).
class ThreadMessageSink {
public:
    explicit ThreadMessageSink(MessageSink sink);
    ~ThreadMessageSink();
    ThreadMessageSink(const ThreadMessageSink&) = delete;
    ThreadMessageSink& operator=(const ThreadMessageSink&) = delete;

private:
    MessageSink sink_;
    const MessageSink* previous_;
};
