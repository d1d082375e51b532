#include "data/postgres/ServerBackend.h"

namespace data::postgres {

namespace {
[[noreturn]] void unavailable()
{
    throw platform::FileRefusal(QStringLiteral("Server ledgers are not available in this build."), false);
}
} // namespace

ServerBackend::ServerBackend() = default;
ServerBackend::~ServerBackend() = default;

void ServerBackend::open(const QString&) { unavailable(); }
long long ServerBackend::execute(const QString&) { unavailable(); }
std::unique_ptr<Rows> ServerBackend::query(const QString&) { unavailable(); }
void ServerBackend::begin() { unavailable(); }
void ServerBackend::commit() { unavailable(); }

} // namespace data::postgres
