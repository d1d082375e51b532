#pragma once
// The error every failing step raises: its text is what the application error report
// shows as the description.

#include <QString>
#include <stdexcept>

namespace platform {

class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& description) : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromStdString(what()); }
};

} // namespace platform
