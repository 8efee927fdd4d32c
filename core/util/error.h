#pragma once

#include <QString>
#include <stdexcept>

namespace foresyn {

// An error meant for the user: a refused file, a failed save, bad input.
// The message is complete ("file: what went wrong") and ready to show.
// Programming errors (indices out of range) are std::out_of_range instead.
class TError : public std::runtime_error {
public:
    explicit TError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const noexcept { return message_; }

private:
    QString message_;
};

} // namespace foresyn
