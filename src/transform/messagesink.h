#pragma once

#include <QString>

#include <functional>

// Receives each message of a transformation run, in the order the messages
// arise. The window shows each in its own message box; the command line
// prints them.
using MessageSink = std::function<void(const QString&)>;

// Hands a message to the sink when messages are on and someone listens.
inline void ReportMessage(bool showMessages, const MessageSink& sink, const QString& message) {
    if (showMessages && sink)
        sink(message);
}
